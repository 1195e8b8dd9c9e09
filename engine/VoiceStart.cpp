#include "engine/VoiceStart.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/VoiceShape.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

using L = long double;

constexpr float kCentsToKey = std::bit_cast<float>(0x3C23D70Au);  // 0.01f
constexpr L kSemitone = 0.05776226505L;                            // ln 2 / 12

float Clamp(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }

// The integer zone offset for loud notes.
int32_t ZoneOffset(float vel, const TWorkingValues& w) {
    int32_t o = w.HardnessOffset;
    if (vel > 40.0f) o += static_cast<int32_t>(std::llrint((static_cast<L>(vel) - 40.0L) * w.VelHardScale.load()));
    return o;
}

int32_t StepFor(float k, const TWaveTableSample& s, float d, float sampleRate, float invSampleRate) {
    float e = static_cast<float>(static_cast<L>(k) - s.Root + d);
    float r = static_cast<float>(std::exp(static_cast<L>(e) * kSemitone) *
                                 (static_cast<L>(sampleRate) * s.RateScale * static_cast<L>(invSampleRate)));
    L step = std::nearbyint(static_cast<L>(r) * 65536.0L);
    // Absurd pitches cannot overflow the 16.16 step; an absurd set rate
    // before the host's rate is known gives no number at all.
    if (!(step >= 0.0L)) return 0;
    return static_cast<int32_t>(std::min<L>(step, 2147483647.0L));
}

}  // namespace

float KeyFromPitchCents(float pitchCents) {
    float k = static_cast<float>(static_cast<L>(pitchCents) * static_cast<L>(kCentsToKey));
    if (!(k >= 0.0f)) k = 0.0f;
    return Clamp(k, 0.0f, 127.0f);
}

float TuningOffset(float k, const TWorkingValues& w) {
    L diff = static_cast<L>(k) - 60.0L;
    int32_t s = static_cast<int32_t>(std::llrint(diff * diff));
    float d = static_cast<float>((static_cast<L>(s % 13) - 6.5L) * w.RandomDetune.load() + w.FineTune.load());
    if (k > 60.0f) d = static_cast<float>(static_cast<L>(s) * w.StretchTune.load() + d);
    return d;
}

int32_t FindZone(const TPianoWaveTable& table, float k, int32_t o) {
    const int32_t count = static_cast<int32_t>(table.Samples.size());
    const int32_t layers = std::max<int32_t>(table.LayerCount, 1);
    int32_t g = 0;
    while (static_cast<float>(static_cast<int64_t>(table.Samples[static_cast<size_t>(g)].High) + o) < k) {
        if (g + layers >= count) break;  // above the last zone: the last zone plays
        g += layers;
    }
    return g;
}

void SetupVoice(TPianoVoice& v, float initVolume, float curPitch, const TWorkingValues& w,
                const ParamLevelArray& levels, const TPianoWaveTable& table) {
    const float inv = w.InvSampleRate;

    v.PitchCents = static_cast<float>(6000.0L + curPitch);
    const float k = KeyFromPitchCents(v.PitchCents);
    const float vel = EngineVelocity(initVolume);
    const float d = TuningOffset(k, w);
    const int32_t o = ZoneOffset(vel, w);

    int32_t g = FindZone(table, k, o);
    for (int32_t i = 1; i < table.LayerCount; ++i) {
        if (static_cast<float>(table.VelocityLimits[static_cast<size_t>(i)]) >= vel) break;
        if (g + 1 >= static_cast<int32_t>(table.Samples.size())) break;
        ++g;
    }
    const TWaveTableSample& s = table.Samples[static_cast<size_t>(g)];

    v.Step = StepFor(k, s, d, table.SampleRate, inv);
    v.Frac = 0;
    v.Pos = s.StartFrame;
    v.LoopEnd = s.EndFrame;
    v.LoopLength = s.LoopLength;

    v.Level = table.VelocityFactor;
    v.VelSensExp = w.VelSensExponent;

    const float c = MuffleCutoff(k, vel, SoundLevel(levels[kMuffle]), w.VelMuffleScale, w.MuffleScale);
    v.FilterCoef = MuffleCoefficient(c, inv);

    v.Key = k;

    const float kp = Clamp(k, 12.0f, 108.0f);
    const float vol = static_cast<float>(static_cast<L>(w.Volume) * w.WidthGain.load());
    v.PanGainR = static_cast<float>(static_cast<L>(vol) * w.KeySpread.load() * (static_cast<L>(kp) - 60.0L) + vol);
    v.PanGainL = static_cast<float>(static_cast<L>(vol) + vol - v.PanGainR);

    v.DecayCoef = HoldCoefficient(k, SoundLevel(levels[kDecay]), inv);
}

bool PitchChanged(const TPianoVoice& v) {
    // At full precision: a sum that float cannot hold recomputes every block.
    return 6000.0L + *v.Link.CurPitch != static_cast<L>(v.PitchCents);
}

void RecomputeStep(TPianoVoice& v, const TWorkingValues& w, const TPianoWaveTable& table) {
    v.PitchCents = static_cast<float>(6000.0L + *v.Link.CurPitch);
    const float k = KeyFromPitchCents(v.PitchCents);
    const float vel = EngineVelocity(*v.Link.InitVolume);
    const float d = TuningOffset(k, w);
    const int32_t o = ZoneOffset(vel, w);
    const int32_t g = FindZone(table, v.Key, o);
    v.Step = StepFor(k, table.Samples[static_cast<size_t>(g)], d, table.SampleRate, w.InvSampleRate);
}

}  // namespace norv
