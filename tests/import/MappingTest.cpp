// Regions mapped onto zones and layers, and samples baked for the set.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "tools/import/SampleBaker.h"
#include "tools/import/ZonePlan.h"

namespace norv::test {
namespace {

using namespace norv::import;

SourceRegion Region(int loKey, int hiKey, int loVel, int hiVel, int sample) {
    SourceRegion r;
    r.Where = "region " + std::to_string(sample);
    r.LoKey = loKey, r.HiKey = hiKey, r.LoVel = loVel, r.HiVel = hiVel, r.Sample = sample;
    return r;
}

bool Says(const ZonePlan& plan, const std::string& text) {
    for (const std::string& n : plan.Notes)
        if (n.find(text) != std::string::npos) return true;
    return false;
}

TEST(ZonePlan, ZonesRiseLayersAreSharedGapsAreFilledAndSplitsConverted) {
    // Two zones with a gap at 50-53; layers split at 64 and 101 (nothing above 100 in the lower zone).
    // MIDI 63 and 64 give one instrument velocity, as do 100 and 101: the
    // splits move to the nearest velocity that can split, down on a tie.
    const std::vector<SourceRegion> regions = {
        Region(21, 49, 1, 63, 0),  Region(21, 49, 64, 100, 1), Region(54, 108, 1, 63, 2),
        Region(54, 108, 64, 100, 3), Region(54, 108, 101, 127, 4), Region(60, 70, 1, 63, 5),
    };
    const ZonePlan plan = PlanZones(regions, 0);
    ASSERT_EQ(plan.Layers.size(), 3u);
    EXPECT_EQ(plan.Layers[1].LoVel, 63);
    EXPECT_EQ(plan.Layers[1].Limit, 82);  // the instrument's velocity of MIDI 62
    EXPECT_EQ(plan.Layers[2].LoVel, 102);
    EXPECT_EQ(plan.Layers[2].Limit, 100);  // of MIDI 101
    // Zones that play the same regions in every layer are one zone.
    ASSERT_EQ(plan.Zones.size(), 2u);
    EXPECT_EQ(plan.Zones[0].HiKey, 51);  // half the gap each way
    EXPECT_EQ(plan.Zones[1].LoKey, 52);
    EXPECT_EQ(plan.Zones[0].Regions, (std::vector<int>{0, 1, 1}));  // the lower zone's loud layer fills 101-127
    EXPECT_EQ(plan.Zones[1].Regions, (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(plan.Zones[1].HiKey, 108);  // region 5 overlaps region 2: the first plays
    EXPECT_TRUE(Says(plan, "keys 50-53 have no region: keys 50-51 play the zone below, keys 52-53 the zone above"));
    EXPECT_TRUE(Says(plan, "velocities 101-127 have no region in 1 zone(s)"));
    EXPECT_TRUE(Says(plan, "regions overlap"));
    EXPECT_TRUE(Says(plan, "MIDI velocities 100 and 101 both give the instrument's velocity 100: the layer of velocities 101 up starts at 102"));

    // At most two layers: the narrowest (101-127) goes into its neighbour.
    const ZonePlan two = PlanZones(regions, 2);
    ASSERT_EQ(two.Layers.size(), 2u);
    EXPECT_EQ(two.Layers[1].LoVel, 63);
    EXPECT_EQ(two.Layers[1].HiVel, 127);
    EXPECT_EQ(two.Zones[1].Regions, (std::vector<int>{2, 3}));

    // A layer all of whose MIDI velocities share its lower limit never plays.
    const ZonePlan top = PlanZones({Region(0, 127, 1, 126, 0), Region(0, 127, 127, 127, 1)}, 0);
    EXPECT_EQ(top.Layers.size(), 1u);
    EXPECT_TRUE(Says(top, "velocities 127 all give the instrument's velocity 109 or less"));

    // Layers playing the same recording are one layer.
    SourceRegion soft = Region(0, 127, 1, 20, 0), loud = Region(0, 127, 21, 127, 0);
    loud.GainDb = 6;
    const ZonePlan same = PlanZones({soft, loud}, 0);
    ASSERT_EQ(same.Layers.size(), 1u);
    EXPECT_EQ(same.Zones[0].Regions, std::vector<int>{1});  // the wider one's gain
}

std::vector<float> Sine(double cycles, int frames, double amplitude) {
    std::vector<float> x(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) x[static_cast<size_t>(i)] = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * cycles * i));
    return x;
}

TEST(SampleBaker, LoopsStaySeamlessWhenRetunedAndUnloopedEndsFade) {
    // 441 Hz at 44100 Hz: 100 frames a period; the loop holds 3 periods.
    const std::vector<float> source = Sine(0.01, 2000, 0.5);
    BakeRequest req;
    req.Frames = {100, 1900};
    req.Looped = true;
    req.Loop = {1000, 1300};
    BakedSample same = BakeSample(source, 1, req);
    EXPECT_EQ(same.LoopStart, 900);
    EXPECT_EQ(same.LoopEnd, 1199);
    EXPECT_EQ(same.FrameCount(), 1200);  // nothing after the loop

    req.ShiftCents = 37;
    req.GainDb = -6;
    req.Channels = 2;
    const BakedSample tuned = BakeSample(source, 1, req);
    const int64_t length = tuned.LoopEnd - tuned.LoopStart + 1;
    EXPECT_GE(length, kMinResampledLoop);
    EXPECT_EQ(tuned.FrameCount(), tuned.LoopEnd + 1);
    // The period shrank by 37 cents, and the loop holds whole periods of it.
    const double period = 100 / std::exp2(37 / 1200.0);
    EXPECT_NEAR(std::remainder(static_cast<double>(length), period), 0.0, 0.5);
    // Past its end the data carries on at its start as the sine does.
    const double w = 2 * std::numbers::pi / period;
    const auto at = [&](int64_t f) { return tuned.Frames[static_cast<size_t>(2 * f)]; };
    const double next = 2 * std::cos(w) * at(tuned.LoopEnd) - at(tuned.LoopEnd - 1);
    EXPECT_NEAR(at(tuned.LoopStart), next, 2e-3);
    EXPECT_EQ(tuned.Frames[static_cast<size_t>(2 * tuned.LoopStart + 1)], at(tuned.LoopStart));  // mono doubled
    float peak = 0;
    for (float v : tuned.Frames) peak = std::max(peak, std::fabs(v));
    EXPECT_NEAR(20 * std::log10(peak / 0.5), -6.0, 0.05);

    req.Looped = false;
    req.ShiftCents = 0;
    const BakedSample unlooped = BakeSample(source, 1, req);
    ASSERT_EQ(unlooped.FrameCount(), 1800);
    EXPECT_EQ(unlooped.Frames.back(), 0.0f);
    const int64_t fade = std::llround(kEndFadeSeconds * 44100);
    EXPECT_EQ(unlooped.Frames[static_cast<size_t>(2 * (1800 - fade - 1))], source[1900 - fade - 1] * std::pow(10.0f, -6 / 20.0f));
}

}  // namespace
}  // namespace norv::test
