#include "engine/Parameters.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "base/NumberFormat.h"
#include "engine/WorkingValues.h"

namespace norv {
namespace {

using L = long double;

constexpr float kKeySpreadLimit = std::bit_cast<float>(0x3CF5C28Fu);  // 0.03
constexpr float kTrebleCoefHigh = std::bit_cast<float>(0x3E8B442Au);  // 1 - e^(-14000/44100)
constexpr float kTrebleCoefLow = std::bit_cast<float>(0x3DDB851Fu);   // 1 - e^(-5000/44100)
// Past a step of 2 radians a sample the oscillator's rotation grows without
// bound; no knob setting at a real rate comes near 1.
constexpr L kMaxLfoStep = 1.0L;

// Value texts.
std::string OfMax(const TParamInfo& p, int32_t v) { return PercentText(v, p.Max); }
std::string OfThousand(const TParamInfo&, int32_t v) { return PercentText(v, 1000); }
std::string DecayText(const TParamInfo& p, int32_t v) { return v == p.Min ? "无衰减(持续)" : PercentText(v, p.Max); }
std::string MuffleText(const TParamInfo&, int32_t v) { return PercentText(1000 - v, 1000); }
std::string TuneText(const TParamInfo&, int32_t v) { return FormatFixed(v / 10.0, 7, 0) + " 音分"; }
std::string DetuneText(const TParamInfo& p, int32_t v) {
    return FormatFixed(static_cast<double>(v) * v * 50 / (static_cast<double>(p.Max) * p.Max), 7, 1);
}
std::string StretchText(const TParamInfo&, int32_t v) { return FormatFixed(v / 10.0, 7, 1) + " 音分"; }
std::string PanTremText(const TParamInfo&, int32_t v) {
    if (v < 0) return FormatFixed(std::fabs(v / 10.0), 0, 0) + "% (声像)";
    if (v == 0) return "关";
    return FormatFixed(v / 10.0, 0, 0) + "% (颤音)";
}
std::string LfoRateText(const TParamInfo&, int32_t v) {
    return FormatFixed(std::exp(v / 65536.0 * 9.22 - 4.61), 7, 2) + " Hz";
}
std::string OverdriveText(const TParamInfo&, int32_t v) { return FormatFixed(v / 10.0, 7, 1) + "%"; }

// What each parameter drives: evaluated in extended precision, rounded once.
void DeriveHardness(TWorkingValues& w, L h) { w.HardnessOffset = static_cast<int32_t>(std::llrint(12.0L * h - 6.0L)); }
void DeriveVelHard(TWorkingValues& w, L v) { w.VelHardScale = static_cast<float>(0.12L * v); }
void DeriveVelMuffle(TWorkingValues& w, L v) { w.VelMuffleScale = static_cast<float>(5.0L * v * v); }
void DeriveVelSens(TWorkingValues& w, L v) {
    const L e = v < 0.25L ? 1.0L + 2.0L * v - (0.75L - 3.0L * v) : 1.0L + 2.0L * v;
    // A negative exponent would make the softest notes the loudest, without bound.
    w.VelSensExponent = static_cast<float>(std::max(e, 0.0L));
}
void DeriveStereo(TWorkingValues& w, L s) {
    w.Width = static_cast<float>(s * s);
    w.WidthGain = static_cast<float>(1.0L - 0.53L * static_cast<L>(w.Width.load()));
    const float spread = static_cast<float>(0.04L * s);
    w.KeySpread = spread > kKeySpreadLimit ? kKeySpreadLimit : spread;
}
void DeriveTune(TWorkingValues& w, L t) { w.FineTune = static_cast<float>(2.0L * t - 1.0L); }
void DeriveDetune(TWorkingValues& w, L d) { w.RandomDetune = static_cast<float>(0.077L * d * d); }
void DeriveStretch(TWorkingValues& w, L s) { w.StretchTune = static_cast<float>((s - 0.5L) * 0.000434L); }
void DeriveTreble(TWorkingValues& w, L t) {
    w.TrebleGain = static_cast<float>(4.0L * t * t - 1.0L);
    w.TrebleCoef = t > 0.5L ? kTrebleCoefHigh : kTrebleCoefLow;
}
void DerivePanTrem(TWorkingValues& w, L p) {
    const float depth = static_cast<float>(2.0L * p - 1.0L);
    w.LfoDepthR = depth;
    w.LfoDepthL = depth;
    if (p < 0.5L) w.LfoDepthR = -depth;
}
void DeriveLfoRate(TWorkingValues& w, L r) {
    const L step = std::exp(9.22L * r - 4.61L) * (6.283L * static_cast<L>(w.InvSampleRate.load()));
    w.LfoStep = static_cast<float>(std::min(step, kMaxLfoStep));
}
void DeriveOverdrive(TWorkingValues& w, L o) { w.OverdriveAmount = static_cast<float>(1.8L * o); }

}  // namespace

const std::array<TParamInfo, kParamCount> kParams = {{
    {"^b^a衰减", "decay", -1000, 1000, 0, 0, DecayText, nullptr},
    {"^b^a释放", "release", -1000, 1000, 0, 0, OfMax, nullptr},
    {"^b^a硬度", "hardness", -1000, 1000, 0, 0, OfMax, DeriveHardness},
    {"^b^a力度到硬度", "velhard", -1000, 1000, -1000, 0, OfMax, DeriveVelHard},
    {"^b^a消声", "muffle", 0, 1000, 784, 784, MuffleText, nullptr},
    {"^b^a力度到消声", "velmuffle", 0, 2000, 502, 502, OfThousand, DeriveVelMuffle},
    {"^b^a力度灵敏度", "velsens", -1000, 1000, -248, 0, OfMax, DeriveVelSens},
    {"^b^a立体声", "stereo", 0, 2000, 1000, 1000, OfThousand, DeriveStereo},
    {"^b^a调谐", "tune", -1000, 1000, 0, 0, TuneText, DeriveTune},
    {"^b^a失谐", "detune", 0, 500, 123, 123, DetuneText, DeriveDetune},
    {"^b^a拉伸", "stretch", -500, 500, 0, 0, StretchText, DeriveStretch},
    {"^b^a高音", "treble", -1000, 1000, 0, 0, OfMax, DeriveTreble},
    {"^b^a声像/颤音", "pantrem", -1000, 1000, 0, 0, PanTremText, DerivePanTrem},
    {"^b^aLFO 速率", "lforate", 0, 65536, 0, 0, LfoRateText, DeriveLfoRate},
    {"^b^a过激励", "overdrive", 0, 1000, 0, 0, OverdriveText, DeriveOverdrive},
}};

float ParamLevelOf(int32_t index, int32_t value) {
    const TParamInfo& p = kParams[static_cast<size_t>(index)];
    return static_cast<float>(static_cast<L>(static_cast<int64_t>(value) - p.Min) / (static_cast<L>(p.Max) - p.Min));
}

int32_t ParamFromHostScale(int32_t index, int32_t hostValue) {
    const TParamInfo& p = kParams[static_cast<size_t>(index)];
    const long long r = std::llrint(static_cast<double>(hostValue) / 65536.0 * (static_cast<double>(p.Max) - p.Min));
    // Wraps like the 32-bit sum it is, for host values far outside the scale.
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<long long>(p.Min) + r));
}

long double SoundLevel(float level) { return std::clamp<L>(level, -kLevelReach, 1.0L + kLevelReach); }

}  // namespace norv
