// The engine's working values from the normalised parameters and the rate.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "engine/AudioRenderer.h"
#include "engine/WorkingValues.h"

namespace norv {
namespace {

struct Levels {
    ParamLevelArray a{};
    Levels() {
        for (auto& l : a) l = 0.5f;
    }
    Levels& Set(int i, float v) {
        a[static_cast<size_t>(i)] = v;
        return *this;
    }
};

TWorkingValues Compute(const Levels& l, int32_t index = -1, float inv = 1.0f / 44100) {
    TWorkingValues w;
    w.InvSampleRate = inv;
    UpdateWorkingValues(w, l.a, index);
    return w;
}

TEST(WorkingValues, HardnessVelocityAndStereo) {
    EXPECT_EQ(Compute(Levels().Set(kHardness, 0)).HardnessOffset.load(), -6);
    EXPECT_EQ(Compute(Levels().Set(kHardness, 0.5f)).HardnessOffset.load(), 0);
    EXPECT_EQ(Compute(Levels().Set(kHardness, 1)).HardnessOffset.load(), 6);
    EXPECT_EQ(Compute(Levels().Set(kHardness, 0.625f)).HardnessOffset.load(), 2);  // 1.5: ties to even

    EXPECT_FLOAT_EQ(Compute(Levels().Set(kVelSens, 0)).VelSensExponent.load(), 0.25f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kVelSens, 0.25f)).VelSensExponent.load(), 1.5f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kVelSens, 1)).VelSensExponent.load(), 3.0f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kVelSens, 0.1f)).VelSensExponent.load(), 0.75f);

    TWorkingValues half = Compute(Levels().Set(kStereo, 0.5f));
    EXPECT_FLOAT_EQ(half.KeySpread.load(), 0.02f);
    TWorkingValues full = Compute(Levels().Set(kStereo, 1));
    EXPECT_EQ(std::bit_cast<uint32_t>(full.KeySpread.load()), 0x3CF5C28Fu);
    EXPECT_EQ(full.Width.load(), 1.0f);
    EXPECT_FLOAT_EQ(full.WidthGain.load(), 0.47f);
    EXPECT_EQ(std::bit_cast<uint32_t>(Compute(Levels().Set(kStereo, 0.75f)).KeySpread.load()), 0x3CF5C28Fu);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kVelHard, 1)).VelHardScale.load(), 0.12f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kVelMuffle, 0.251f)).VelMuffleScale.load(), 5 * 0.251f * 0.251f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kOverdrive, 1)).OverdriveAmount.load(), 1.8f);
}

TEST(WorkingValues, TuningTrebleAndLfo) {
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kTune, 0)).FineTune.load(), -1.0f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kTune, 1)).FineTune.load(), 1.0f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kDetune, 1)).RandomDetune.load(), 0.077f);
    // Stretch at its ends: key 108 moves by about half a semitone.
    EXPECT_NEAR(Compute(Levels().Set(kStretch, 1)).StretchTune.load() * 48 * 48, 0.49997, 1e-5);
    EXPECT_NEAR(Compute(Levels().Set(kStretch, 0)).StretchTune.load() * 48 * 48, -0.49997, 1e-5);

    TWorkingValues middle = Compute(Levels().Set(kTreble, 0.5f));
    EXPECT_EQ(middle.TrebleGain.load(), 0.0f);
    EXPECT_EQ(std::bit_cast<uint32_t>(middle.TrebleCoef.load()), 0x3DDB851Fu);
    TWorkingValues above = Compute(Levels().Set(kTreble, std::nextafter(0.5f, 1.0f)));
    EXPECT_EQ(std::bit_cast<uint32_t>(above.TrebleCoef.load()), 0x3E8B442Au);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kTreble, 1)).TrebleGain.load(), 3.0f);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kTreble, 0)).TrebleGain.load(), -1.0f);

    TWorkingValues pan = Compute(Levels().Set(kPanTrem, 0.25f));
    EXPECT_FLOAT_EQ(pan.LfoDepthL.load(), -0.5f);
    EXPECT_FLOAT_EQ(pan.LfoDepthR.load(), 0.5f);
    TWorkingValues trem = Compute(Levels().Set(kPanTrem, 0.75f));
    EXPECT_FLOAT_EQ(trem.LfoDepthL.load(), 0.5f);
    EXPECT_FLOAT_EQ(trem.LfoDepthR.load(), 0.5f);
    TWorkingValues still = Compute(Levels().Set(kPanTrem, 0.5f));
    EXPECT_EQ(still.LfoDepthL.load(), 0.0f);
    EXPECT_EQ(still.LfoDepthR.load(), 0.0f);

    const float inv = static_cast<float>(1.0 / 44100);
    EXPECT_FLOAT_EQ(Compute(Levels().Set(kLFORate, 0.5f), -1, inv).LfoStep.load(), static_cast<float>(6.283 * inv));
    EXPECT_NEAR(Compute(Levels().Set(kLFORate, 0), -1, inv).LfoStep.load() / (6.283 * inv), 0.00995, 1e-5);
    // Without a rate the LFO stands still.
    EXPECT_EQ(Compute(Levels(), -1, 0.0f).LfoStep.load(), 0.0f);
}

TEST(WorkingValues, OnlyTheNamedParameterIsRecomputed) {
    Levels l;
    TWorkingValues w = Compute(l);
    const TWorkingValues before = w;
    auto same = [&](const TWorkingValues& a, const TWorkingValues& b) {
        return a.HardnessOffset.load() == b.HardnessOffset.load() && a.VelHardScale.load() == b.VelHardScale.load() &&
               a.VelMuffleScale.load() == b.VelMuffleScale.load() && a.VelSensExponent.load() == b.VelSensExponent.load() &&
               a.Width.load() == b.Width.load() && a.WidthGain.load() == b.WidthGain.load() &&
               a.KeySpread.load() == b.KeySpread.load() && a.FineTune.load() == b.FineTune.load() &&
               a.RandomDetune.load() == b.RandomDetune.load() && a.StretchTune.load() == b.StretchTune.load() &&
               a.TrebleGain.load() == b.TrebleGain.load() && a.TrebleCoef.load() == b.TrebleCoef.load() &&
               a.LfoDepthL.load() == b.LfoDepthL.load() && a.LfoDepthR.load() == b.LfoDepthR.load() &&
               a.LfoStep.load() == b.LfoStep.load() && a.OverdriveAmount.load() == b.OverdriveAmount.load();
    };
    for (int i = 0; i < 15; ++i) l.Set(i, 0.9f);
    for (int index : {int{kDecay}, int{kRelease}, int{kMuffle}, 15, 99, -2}) {
        UpdateWorkingValues(w, l.a, index);
        EXPECT_TRUE(same(w, before)) << index;
    }
    UpdateWorkingValues(w, l.a, kTune);
    EXPECT_FLOAT_EQ(w.FineTune.load(), 0.8f);
    EXPECT_EQ(w.HardnessOffset.load(), before.HardnessOffset.load());
    UpdateWorkingValues(w, l.a, kHardness);
    EXPECT_EQ(w.HardnessOffset.load(), 5);
}

TEST(AudioRenderer, RateAndGainStep) {
    TAudioRenderer r;
    EXPECT_EQ(r.Rate, 44100);
    EXPECT_FLOAT_EQ(r.MaxGainStep, 0.001f);
    r.SetRate(88200);
    EXPECT_EQ(r.Rate, 88200);
    EXPECT_DOUBLE_EQ(r.InvRate, 1.0 / 88200);
    EXPECT_DOUBLE_EQ(r.RateRatio, 0.5);
    EXPECT_FLOAT_EQ(r.MaxGainStep, 0.0005f);
    EXPECT_FLOAT_EQ(r.MaxGainStep10, 0.005f);
    EXPECT_FLOAT_EQ(r.MaxGainStepPcm, 0.0005f * 32768);
    EXPECT_FLOAT_EQ(r.NyquistLimit, 0.4999f * 88200);
    r.SetRate(0);
    EXPECT_EQ(r.Rate, 88200);
}

}  // namespace
}  // namespace norv
