#include "tools/import/ChordHeadroom.h"

#include <algorithm>
#include <cmath>

#include "engine/Parameters.h"
#include "engine/VoiceShape.h"
#include "engine/WorkingValues.h"
#include "tools/import/VelocityMeasure.h"

namespace norv::import {
namespace {

// Four eight-note chords at velocity 110, 0.6 s apart, the pedal down.
constexpr int kChords[4][8] = {
    {36, 48, 55, 60, 64, 67, 72, 76},
    {41, 53, 60, 65, 69, 72, 77, 81},
    {43, 55, 62, 67, 71, 74, 79, 83},
    {36, 48, 55, 60, 64, 67, 72, 84},
};
constexpr int kChordVelocity = 110;
constexpr double kChordSpacing = 0.6, kRing = 1.5;

}  // namespace

Headroom ChooseHeadroom(const HeadroomInput& in) {
    TWorkingValues w;
    const auto level = [&](int p) { return ParamLevelOf(p, in.Fit->KnobValue(p)); };
    for (int p = 0; p < kParamCount; ++p)
        if (kParams[static_cast<size_t>(p)].Derive) kParams[static_cast<size_t>(p)].Derive(w, level(p));
    const double volume = static_cast<double>(kVoiceVolume) * w.WidthGain;
    const double host = std::pow(kChordVelocity / 100.0, static_cast<double>(w.VelSensExponent));
    const float vel = static_cast<float>(InstrumentVelocity(kChordVelocity));

    static_assert(3 * kChordSpacing + kRing <= kChordSeconds);
    const size_t frames = static_cast<size_t>(std::ceil(kChordSeconds * in.Rate));
    std::vector<double> left(frames, 0.0), right(frames, 0.0);
    for (int c = 0; c < 4; ++c) {
        const size_t start = static_cast<size_t>(std::llround(c * kChordSpacing * in.Rate));
        for (int key : kChords[c]) {
            const std::vector<float>& data = in.Sample(key, kChordVelocity);
            const float cut = MuffleCutoff(static_cast<float>(key), vel, level(kMuffle), w.VelMuffleScale, kMuffleScale);
            const double a = MuffleCoefficient(cut, static_cast<float>(1.0 / in.Rate));
            const double kp = std::clamp(key, 12, 108);
            const double gainR = volume * (1.0 + w.KeySpread * (kp - 60.0)) * host, gainL = 2 * volume * host - gainR;
            double filterL = 0, filterR = 0, prevL = 0, prevR = 0;
            const size_t n = std::min(frames - start, data.size() / static_cast<size_t>(in.Channels));
            for (size_t i = 0; i < n; ++i) {
                const double l = data[i * static_cast<size_t>(in.Channels)];
                const double r = data[i * static_cast<size_t>(in.Channels) + static_cast<size_t>(in.Channels - 1)];
                filterL += (l + prevL - filterL) * a;
                filterR += (r + prevR - filterR) * a;
                prevL = l, prevR = r;
                left[start + i] += gainL * filterL;
                right[start + i] += gainR * filterR;
            }
        }
    }
    double peak = 0;
    for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    Headroom h;
    h.PeakDbfs = 20.0 * std::log10(std::max(peak, 1e-9));
    h.VelocityFactor = std::clamp(std::pow(10.0, (kChordPeakDbfs - h.PeakDbfs) / 20.0), 0.1, 4.0);
    return h;
}

}  // namespace norv::import
