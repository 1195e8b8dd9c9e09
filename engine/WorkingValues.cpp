#include "engine/WorkingValues.h"

#include <bit>
#include <cmath>

namespace norv {
namespace {

constexpr float kKeySpreadLimit = std::bit_cast<float>(0x3CF5C28Fu);      // 0.03
constexpr float kTrebleCoefHigh = std::bit_cast<float>(0x3E8B442Au);      // 1 - e^(-14000/44100)
constexpr float kTrebleCoefLow = std::bit_cast<float>(0x3DDB851Fu);       // 1 - e^(-5000/44100)

bool Wants(int32_t index, int32_t param) { return index == -1 || index == param; }

}  // namespace

void UpdateWorkingValues(TWorkingValues& w, const ParamLevelArray& levels, int32_t index) {
    using L = long double;
    auto level = [&](int32_t i) -> L { return levels[static_cast<size_t>(i)].load(); };

    if (Wants(index, kHardness))
        w.HardnessOffset = static_cast<int32_t>(std::llrint(12.0L * level(kHardness) - 6.0L));
    if (Wants(index, kVelHard)) w.VelHardScale = static_cast<float>(0.12L * level(kVelHard));
    if (Wants(index, kVelMuffle)) w.VelMuffleScale = static_cast<float>(5.0L * level(kVelMuffle) * level(kVelMuffle));
    if (Wants(index, kTreble)) {
        L t = level(kTreble);
        w.TrebleGain = static_cast<float>(4.0L * t * t - 1.0L);
        w.TrebleCoef = t > 0.5L ? kTrebleCoefHigh : kTrebleCoefLow;
    }
    if (Wants(index, kPanTrem)) {
        L p = level(kPanTrem);
        float depth = static_cast<float>(2.0L * p - 1.0L);
        w.LfoDepthR = depth;
        w.LfoDepthL = depth;
        if (p < 0.5L) w.LfoDepthR = -depth;
    }
    if (Wants(index, kLFORate))
        w.LfoStep = static_cast<float>(std::exp(9.22L * level(kLFORate) - 4.61L) *
                                       (6.283L * static_cast<L>(w.InvSampleRate.load())));
    if (Wants(index, kVelSens)) {
        L v = level(kVelSens);
        w.VelSensExponent = static_cast<float>(v < 0.25L ? 1.0L + 2.0L * v - (0.75L - 3.0L * v) : 1.0L + 2.0L * v);
    }
    if (Wants(index, kTune)) w.FineTune = static_cast<float>(2.0L * level(kTune) - 1.0L);
    if (Wants(index, kDetune)) w.RandomDetune = static_cast<float>(0.077L * level(kDetune) * level(kDetune));
    if (Wants(index, kStretch)) w.StretchTune = static_cast<float>((level(kStretch) - 0.5L) * 0.000434L);
    if (Wants(index, kOverdrive)) w.OverdriveAmount = static_cast<float>(1.8L * level(kOverdrive));
    if (Wants(index, kStereo)) {
        L s = level(kStereo);
        w.Width = static_cast<float>(s * s);
        w.WidthGain = static_cast<float>(1.0L - 0.53L * static_cast<L>(w.Width.load()));
        float spread = static_cast<float>(0.04L * s);
        w.KeySpread = spread > kKeySpreadLimit ? kKeySpreadLimit : spread;
    }
}

void InitEngineConstants(TWorkingValues& w, TEffectState& fx) {
    w.Volume = std::bit_cast<float>(0x3E4CCCCDu);  // 0.2
    w.MuffleScale = 160.0f;
    w.LfoStep = 0;
    fx.DelayIndex = 0;
    fx.TrebleStateL = 0;
    fx.TrebleStateR = 0;
    fx.LfoSin = 0;
    fx.LfoCos = 1.0f;
    fx.DelayMask = 127;
    fx.DelayLine.assign(256, 0.0f);
}

}  // namespace norv
