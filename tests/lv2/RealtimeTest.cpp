// run() and the worker's answer on the audio thread allocate nothing: every
// allocation this thread makes inside them is counted, through notes,
// controller messages, moved ports, questions and a set switch.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "lv2/LilvRig.h"
#include "support/AllocationCounter.h"
#include "support/WaitUntil.h"

namespace norv::test {
namespace {

TEST(Lv2Realtime, RunAndWorkerAnswersNeverAllocate) {
    if (!NORV_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizers own malloc";
    TestBundle bundle;
    Lv2World world(bundle.Path());
    Lv2Instance in(world);
    ASSERT_TRUE(in.Ok());

    // Every buffer grows to its size first.
    std::vector<float> left, right;
    in.Midi(0, 0x90, 60, 100);
    in.Render(8192, 256, left, right);
    in.SettleWorker(left, right);

    int allocations = 0;
    auto counted = [&](auto call) {
        tAllocations = 0;
        tCounting = true;
        call();
        tCounting = false;
        allocations += tAllocations;
    };
    in.Midi(0, 0x90, 64, 100);
    in.Midi(10, 0xB0, 64, 127);
    in.Midi(20, 0xE0, 0, 70);
    in.Midi(30, 0xB0, 7, 90);
    in.SetControl("tune", 300.0f);
    in.SetControl("polyphony", 8.0f);
    in.PatchGet();
    for (int i = 0; i < 20; ++i) in.RunOnce(256, counted);

    // A set switch: periods skipped while it loads, note-offs kept for later.
    in.PatchSet("Test Set");
    in.RunOnce(256, counted);
    in.Midi(0, 0x80, 60, 0);
    in.Midi(1, 0x80, 64, 0);
    in.Midi(2, 0xB0, 64, 0);
    // The worker loads it meanwhile; runs go on until the plug-in says so.
    ASSERT_TRUE(WaitUntil([&] {
        in.RunOnce(256, counted);
        return !in.SetsHeard().empty() && in.SetsHeard().back() == "Test Set";
    }));
    EXPECT_EQ(in.SetsHeard().back(), "Test Set");
    in.Midi(0, 0x90, 72, 100);
    for (int i = 0; i < 20; ++i) in.RunOnce(256, counted);
    EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace norv::test
