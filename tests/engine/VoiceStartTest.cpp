// What a voice gets at its start, and the per-sample rules, against the
// values the instrument documents.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/MixReference.h"
#include "engine/VoiceStart.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

constexpr float kInv44100 = static_cast<float>(1.0 / 44100);

struct Rig {
    ParamLevelArray levels{};
    TWorkingValues w;
    TPianoWaveTable table{"/nonexistent/", 15};
    std::vector<int16_t> data = std::vector<int16_t>(64, 1000);

    Rig() {
        for (auto& l : levels) l = 0.5f;
        w.InvSampleRate = kInv44100;
        w.Volume = 0.2f;
        w.MuffleScale = 160.0f;
        Recompute();
        // Two zones (high 59 and 999), two layers split at 90.
        table.LayerCount = 2;
        table.VelocityLimits = {0, 90};
        for (int i = 0; i < 4; ++i) {
            TWaveTableSample s;
            s.Root = i < 2 ? 48 : 72;
            s.High = i < 2 ? 59 : 999;
            s.StartFrame = 10 * i;
            s.EndFrame = 10 * i + 9;
            s.LoopLength = 5;
            table.Samples.push_back(s);
        }
        table.SampleData = data.data();
        table.SampleDataSize = static_cast<int32_t>(data.size() * 2);
        table.SampleRate = 44100.0f;
    }
    ~Rig() { table.SampleData = nullptr; }
    void Set(int i, float v) {
        levels[static_cast<size_t>(i)] = v;
        Recompute();
    }
    void Recompute() { UpdateWorkingValues(w, levels, -1); }
    TPianoVoice Start(float initVolume, float curPitch) {
        TPianoVoice v;
        SetupVoice(v, initVolume, curPitch, w, levels, table);
        return v;
    }
    // Which record a voice plays, told by its start frame.
    int Record(const TPianoVoice& v) { return v.Pos / 10; }
};

TEST(VoiceStart, VelocityAndKey) {
    EXPECT_EQ(EngineVelocity(1.0f), 100.0f);
    EXPECT_EQ(EngineVelocity(0.5f), 75.0f);
    EXPECT_EQ(EngineVelocity(0.1f), 29.0f);
    EXPECT_EQ(EngineVelocity(0.0f), 0.0f);
    EXPECT_EQ(EngineVelocity(1.2f), 107.0f);
    EXPECT_EQ(EngineVelocity(100.0f), 127.0f);
    EXPECT_EQ(EngineVelocity(-5.0f), 0.0f);  // no NaN from a nonsense level

    Rig s;
    TPianoVoice v = s.Start(1.0f, 0);
    EXPECT_EQ(v.PitchCents, 6000.0f);
    EXPECT_EQ(v.Key, 60.0f);
    EXPECT_EQ(s.Start(1.0f, -7000).Key, 0.0f);
    EXPECT_EQ(s.Start(1.0f, 8000).Key, 127.0f);
    EXPECT_FLOAT_EQ(s.Start(1.0f, 50).Key, 60.5f);
}

TEST(VoiceStart, ZonesAndLayers) {
    Rig s;
    // Velocity 90 plays layer 0, 91 layer 1 (levels chosen to give those velocities).
    auto levelFor = [](int vel) {
        for (float x = 0; x < 2; x += 0.0001f)
            if (EngineVelocity(x) == static_cast<float>(vel)) return x;
        return -1.0f;
    };
    s.Set(kVelHard, 0.0f);
    EXPECT_EQ(s.Record(s.Start(levelFor(90), -1000)), 0);
    EXPECT_EQ(s.Record(s.Start(levelFor(91), -1000)), 1);
    EXPECT_EQ(s.Record(s.Start(levelFor(91), 1200)), 3);

    // A zone whose High + offset equals the key is taken; 60.5 passes High 60.
    EXPECT_EQ(s.Record(s.Start(0.5f, -100)), 0);   // key 59
    EXPECT_EQ(s.Record(s.Start(0.5f, 0)), 2);      // key 60
    s.Set(kHardness, 0.0f);                         // offset -6: move on 6 keys earlier
    EXPECT_EQ(s.Record(s.Start(0.5f, -700)), 0);   // key 53
    EXPECT_EQ(s.Record(s.Start(0.5f, -600)), 2);   // key 54
    s.Set(kHardness, 1.0f);                         // +6: stay 6 keys past High
    EXPECT_EQ(s.Record(s.Start(0.5f, 500)), 0);    // key 65
    EXPECT_EQ(s.Record(s.Start(0.5f, 550)), 2);    // key 65.5 passes 59 + 6
    // Velocity 40 adds no offset, 41 adds Round(VelHardScale).
    s.Set(kHardness, 0.5f);
    s.Set(kVelHard, 1.0f);  // VelHardScale 0.12: 41 -> +0, 45 -> +1 (0.6 rounds to 1)
    EXPECT_EQ(s.Record(s.Start(levelFor(45), 0)), 0);   // key 60 stays in zone 0 (59 + 1)
    EXPECT_EQ(s.Record(s.Start(levelFor(41), 0)), 2);
    // Above every zone: the last zone plays, nothing is read past the records.
    s.table.Samples[2].High = 70;
    EXPECT_EQ(s.Record(s.Start(1.0f, 5000)), 3);
}

TEST(VoiceStart, Tuning) {
    Rig s;
    s.Set(kDetune, 1.0f);
    s.Set(kTune, 0.75f);
    s.Set(kStretch, 1.0f);
    using L = long double;
    const L rd = s.w.RandomDetune.load(), ft = s.w.FineTune.load(), st = s.w.StretchTune.load();
    // The pattern term and the fine tune are rounded once, the stretch added after.
    auto d = [&](L pattern) { return static_cast<float>(pattern * rd + ft); };
    EXPECT_EQ(TuningOffset(60, s.w), d(-6.5L));
    EXPECT_EQ(TuningOffset(59, s.w), d(-5.5L));
    EXPECT_EQ(TuningOffset(61, s.w), static_cast<float>(st + d(-5.5L)));
    EXPECT_EQ(TuningOffset(73, s.w), static_cast<float>(169 * st + d(-6.5L)));
    EXPECT_EQ(TuningOffset(47, s.w), d(-6.5L));  // no stretch below 60

    // Step: the root's own key plays at the recorded pitch; an octave up doubles it.
    s.Set(kDetune, 0);
    s.Set(kTune, 0.5f);
    s.Set(kStretch, 0.5f);
    TPianoVoice v = s.Start(0.5f, -1200);  // key 48, root 48, soft layer
    EXPECT_EQ(v.Step, 65536);
    EXPECT_EQ(v.Frac, 0u);
    EXPECT_EQ(v.Pos, 0);
    EXPECT_EQ(v.LoopEnd, 9);
    EXPECT_EQ(v.LoopLength, 5);
    EXPECT_NEAR(s.Start(1.0f, 1200 + 1200).Step, 131072, 1);  // key 84, root 72
    s.table.SampleRate = 22050;
    EXPECT_EQ(s.Start(1.0f, -1200).Step, 32768);

    // No sample rate yet: silent voice.
    s.w.InvSampleRate = 0;
    s.Recompute();
    TPianoVoice silent = s.Start(1.0f, 0);
    EXPECT_EQ(silent.Step, 0);
    EXPECT_EQ(silent.FilterCoef, 0.0f);
    EXPECT_EQ(silent.DecayCoef, 1.0f);
    // Even with a set rate no float holds.
    s.table.SampleRate = std::numeric_limits<float>::infinity();
    EXPECT_EQ(s.Start(1.0f, 0).Step, 0);
}

TEST(VoiceStart, DecayMuffleAndPlace) {
    Rig s;
    s.Set(kDecay, 0.0f);
    EXPECT_EQ(s.Start(1.0f, 0).DecayCoef, 1.0f);
    s.Set(kDecay, 0.5f);
    EXPECT_NEAR(s.Start(1.0f, 0).DecayCoef, 0.99996686f, 2e-8);
    EXPECT_NEAR(s.Start(1.0f, 4000).DecayCoef, 0.99987590f, 2e-8);
    EXPECT_EQ(s.Start(1.0f, -3000).DecayCoef, s.Start(1.0f, -1600).DecayCoef);  // keys below 44 as 44
    float at = s.Start(1.0f, 0).DecayCoef;
    s.Set(kDecay, std::nextafter(0.5f, 0.0f));
    EXPECT_NEAR(s.Start(1.0f, 0).DecayCoef, at, 1e-7);
    s.Set(kDecay, 1.0f);
    EXPECT_NEAR(s.Start(1.0f, 0).DecayCoef, 0.99998778f, 2e-8);

    s.Set(kMuffle, 0.784f);
    s.Set(kVelMuffle, 0.251f);
    TPianoVoice m = s.Start(1.0f, 0);
    EXPECT_NEAR(std::sqrt(m.FilterCoef / kInv44100), 159.685, 0.01);
    EXPECT_NEAR(m.FilterCoef, 0.57822f, 1e-5);
    s.Set(kMuffle, 0);
    s.Set(kVelMuffle, 0);
    EXPECT_FLOAT_EQ(s.Start(1.0f, 0).FilterCoef, static_cast<float>(79.0 * 79.0 * kInv44100));
    s.Set(kMuffle, 1);
    s.Set(kVelMuffle, 1);
    EXPECT_EQ(s.Start(1.0f, 0).FilterCoef, 1.0f);  // the 210 limit

    const float v = s.w.Volume * s.w.WidthGain;
    TPianoVoice centre = s.Start(1.0f, 0);
    EXPECT_FLOAT_EQ(centre.PanGainL, v);
    EXPECT_FLOAT_EQ(centre.PanGainR, v);
    EXPECT_EQ(s.Start(1.0f, -5500).PanGainR, s.Start(1.0f, -4800).PanGainR);  // key 5 as 12
    EXPECT_EQ(s.Start(1.0f, 5500).PanGainR, s.Start(1.0f, 4800).PanGainR);    // key 115 as 108
    TPianoVoice high = s.Start(1.0f, 2400);
    EXPECT_GT(high.PanGainR, high.PanGainL);
    EXPECT_FLOAT_EQ(high.PanGainR + high.PanGainL, 2 * v);
}

TEST(VoiceStart, ReleaseCoefficients) {
    const float inv = kInv44100;
    EXPECT_NEAR(ReleaseCoefficient(60, 0.5f, false, inv), 0.99982905f, 2e-8);
    EXPECT_NEAR(ReleaseCoefficient(100, 0.5f, false, inv), 0.99796087f, 2e-8);
    EXPECT_NEAR(ReleaseCoefficient(60, 0.5f, true, inv), 0.99863267f, 2e-8);
    // 93.9 takes the 0.017 rule, 94 the 0.01 rule.
    auto rule = [&](float key, bool high) {
        long double e = high ? 0.01L * key + 6 - 2.5L : 0.017L * key + 2 - 1.0L;
        return static_cast<float>(std::exp(-static_cast<long double>(inv) * std::exp(e)));
    };
    EXPECT_EQ(ReleaseCoefficient(93.9f, 0.5f, false, inv), rule(93.9f, false));
    EXPECT_EQ(ReleaseCoefficient(94.0f, 0.5f, false, inv), rule(94.0f, true));
}

TEST(VoiceRender, SamplesOverdriveAndFilter) {
    // -32768 followed by -32768 gives exactly -1; 32767 gives 32767/32768.
    std::vector<int16_t> data = {-32768, -32768, -32768, 32767, 32767, 32767, 0, 0};
    TPianoVoice v;
    v.Step = 65536;
    v.Pos = -1;
    v.LoopEnd = 6;
    v.LoopLength = 0;
    v.Level = 1;
    v.DecayCoef = 1;
    v.FilterCoef = 1;
    v.GainL = v.GainR = 1;
    v.PanGainL = v.PanGainR = 1;
    std::vector<float> mix(8, 0.0f);
    RenderVoiceReference(v, data.data(), false, 0.0f, mix.data(), 1);
    EXPECT_EQ(v.PrevL, -1.0f);
    v.Pos = 2;
    RenderVoiceReference(v, data.data(), false, 0.0f, mix.data(), 1);
    EXPECT_EQ(v.PrevL, 32767.0f / 32768.0f);
    EXPECT_EQ(v.FilterL, v.FilterR);  // mono: both channels the same

    // Overdrive changes positive samples only.
    TPianoVoice a = v, b = v;
    a.Pos = b.Pos = 3;
    RenderVoiceReference(a, data.data(), false, 1.8f, mix.data(), 1);
    EXPECT_LT(a.PrevL, 32767.0f / 32768.0f);
    a.Pos = -1;
    RenderVoiceReference(a, data.data(), false, 1.8f, mix.data(), 1);
    EXPECT_EQ(a.PrevL, -1.0f);

    // Without a loop the voice stops on its last frame, silent, and never
    // reads past it, however long the step.
    TPianoVoice c = v;
    c.Pos = 0;
    c.Step = 65536 * 50;
    RenderVoiceReference(c, data.data(), false, 0.0f, mix.data(), 4);
    EXPECT_EQ(c.Pos, 6);
    EXPECT_EQ(c.Level, 0.0f);
    EXPECT_TRUE(LevelHasFaded(c.Level));
    // A step longer than the loop ends it the same way.
    TPianoVoice d = v;
    d.Pos = 0;
    d.LoopLength = 2;
    d.Step = 65536 * 5;
    RenderVoiceReference(d, data.data(), false, 0.0f, mix.data(), 3);
    EXPECT_LE(d.Pos, d.LoopEnd);
    EXPECT_EQ(d.Level, 0.0f);
}

TEST(VoiceRender, GainRampsAndFadeRule) {
    // 0 -> 1 at 44100 Hz in blocks of 256: 0.256, 0.512, 0.768, then 1.
    float end = 0, start = 0, inc = 0;
    const float maxStep = 0.001f;
    float expected[] = {0.256f, 0.512f, 0.768f, 1.0f};
    for (float e : expected) {
        PlanGainRamp(1.0f, end, 256, maxStep, start, inc);
        EXPECT_FLOAT_EQ(end, e);
    }
    EXPECT_FLOAT_EQ(inc, 0.232f / 256);
    // An unchanged target: no increment, end unchanged.
    PlanGainRamp(1.0f, end, 256, maxStep, start, inc);
    EXPECT_EQ(inc, 0.0f);
    EXPECT_EQ(end, 1.0f);
    EXPECT_EQ(start, 1.0f);
    // Nearly silent: lands on exactly 0.
    end = 0.0001f;
    PlanGainRamp(0.0f, end, 100, 1e-6f, start, inc);
    EXPECT_EQ(end, 0.0f);
    EXPECT_FLOAT_EQ(inc, -0.0001f / 100);
    // Strictly below 0.0001 ends a voice; 0.0001 itself does not.
    EXPECT_FALSE(LevelHasFaded(std::bit_cast<float>(0x38D1B717u)));
    EXPECT_TRUE(LevelHasFaded(std::bit_cast<float>(0x38D1B716u)));
    EXPECT_TRUE(LevelHasFaded(-0.5f));
}

}  // namespace
}  // namespace norv
