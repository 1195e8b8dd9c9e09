#include "Playback.h"

#include <cmath>
#include <complex>
#include <numbers>

#include "SetLayout.h"
#include "engine/VoiceShape.h"
#include "engine/WorkingValues.h"

namespace norv::defaultset {
namespace {

// The level of a parameter as the engine holds it once the preset is applied.
long double PresetLevel(int index) {
    for (const PresetValue& p : kPreset) {
        if (p.index == index)
            return ParamLevelOf(index, ParamFromHostScale(index, static_cast<int32_t>(std::nearbyint(p.fraction * 65536))));
    }
    return ParamLevelOf(index, kParams[static_cast<size_t>(index)].Initial);
}

// The working values the preset drives.
const TWorkingValues& Working() {
    static const TWorkingValues w = [] {
        TWorkingValues v;
        for (int i = 0; i < kParamCount; ++i)
            if (kParams[static_cast<size_t>(i)].Derive) kParams[static_cast<size_t>(i)].Derive(v, PresetLevel(i));
        return v;
    }();
    return w;
}

}  // namespace

int EngineVelocity(int midiVelocity) {
    return static_cast<int>(norv::EngineVelocity(static_cast<float>(midiVelocity) / 100.0f));
}

int LayerOf(int engineVelocity) {
    for (int i = 0; i + 1 < kLayerCount; ++i) {
        if (engineVelocity <= kLayers[static_cast<size_t>(i)].topVelocity) return i;
    }
    return kLayerCount - 1;
}

int HighestMidiVelocity(int layer) {
    for (int m = 127; m >= 1; --m) {
        if (LayerOf(EngineVelocity(m)) <= layer) return m;
    }
    return 1;
}

double VoiceLevel(int midiVelocity) {
    return std::pow(midiVelocity / 100.0, static_cast<double>(Working().VelSensExponent));
}

double MuffleCoefficient(int engineVelocity, int key, double rate) {
    const float cut = MuffleCutoff(static_cast<float>(key), static_cast<float>(engineVelocity), PresetLevel(kMuffle),
                                   Working().VelMuffleScale, kMuffleScale);
    return norv::MuffleCoefficient(cut, static_cast<float>(1.0 / rate));
}

double MuffleGain(double frequency, double coefficient, double rate) {
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * frequency / rate);
    return std::abs(coefficient * (1.0 + z) / (1.0 - (1.0 - coefficient) * z)) / 2;
}

std::vector<double> Muffled(const std::vector<double>& x, size_t begin, size_t end, double coefficient) {
    std::vector<double> y;
    y.reserve(end - begin);
    double state = 0, previous = 0;
    for (size_t i = begin; i < end; ++i) {
        state += (x[i] + previous - state) * coefficient;
        previous = x[i];
        y.push_back(state);
    }
    return y;
}

double EngineDecayRate(int key) { return static_cast<double>(HoldRate(static_cast<float>(key), PresetLevel(kDecay))); }

}  // namespace norv::defaultset
