// The bundle in a real LV2 host: jalv on a JACK server of the test's own
// (the dummy driver, no sound card), a note sent into jalv's MIDI input by a
// JACK client of the test, which records jalv's outputs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "lv2/Protocol.h"
#include "lv2/Signal.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"
#include "support/jack/JackRig.h"

namespace norv::test {
namespace {

using namespace std::chrono_literals;

TEST(Lv2Jalv, JalvPlaysANoteSentToItsMidiInput) {
    const auto jackd = FindProgram("jackd");
    const auto jalv = FindProgram("jalv");
    ASSERT_TRUE(jackd && jalv) << "jackd (jackd2) and jalv must be installed";

    const std::string client = "norv_jalv_" + std::to_string(getpid());
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("LV2_PATH", std::filesystem::path(NORV_LV2_BUNDLE).parent_path().parent_path().c_str(), 1);

    JackServer jack;
    ASSERT_FALSE(jack.Name().empty()) << "jackd did not start";
    setenv("JACK_DEFAULT_SERVER", jack.Name().c_str(), 1);
    JackProbe recorder(jack.Name());
    ASSERT_TRUE(recorder.Ok()) << "no JACK server " << jack.Name();

#ifdef NORV_SANITIZER_RUNTIMES
    // jalv itself is not instrumented: the sanitizers' runtimes must come first.
    setenv("LD_PRELOAD", NORV_SANITIZER_RUNTIMES, 1);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
#endif
    ChildProgram host({*jalv, "-n", client, "-x", lv2::kPluginUri}, "", true);
    unsetenv("LD_PRELOAD");
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(recorder.Connect(recorder.MidiOut(), client + ":events")) << "jalv did not come up";
    ASSERT_TRUE(recorder.Connect(client + ":out_left", recorder.InLeft()));
    ASSERT_TRUE(recorder.Connect(client + ":out_right", recorder.InRight()));

    recorder.Record(3 * 48000);
    recorder.Send(0x90, 69, 100);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Recorded(); })) << "the JACK server stopped running";

    const std::vector<float>& left = recorder.Left();
    EXPECT_GT(Peak(left, 0, left.size()), 0.02) << "the note was silent";
    EXPECT_GT(Peak(recorder.Right(), 0, left.size()), 0.02);
    // jalv's period or two of latency aside, it is the note asked for.
    const size_t from = left.size() / 4, to = left.size() / 2;
    EXPECT_NEAR(Cents(PitchHz(left, from, to, 48000, 300, 600), 440.0), 0.0, 15.0);
    EXPECT_TRUE(host.Alive()) << "jalv ended while playing";
}

}  // namespace
}  // namespace norv::test
