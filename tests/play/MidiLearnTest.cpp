// MIDI learn through the player's host, in this process: a knob's menu item
// starts learning, a controller from a JACK client links and moves it, and
// the link and the knob survive the state file and a new session.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "engine/Parameters.h"
#include "support/jack/JackRig.h"
#include "host/StateStream.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "tools/play/PlaySession.h"

namespace norv {
namespace {

using namespace std::chrono_literals;
using play::MidiLink;
using play::PlaySession;

constexpr int kKnob = kMuffle;
constexpr uint8_t kChannel2Control = 0xB1;

int KnobOf(PlaySession& s) { return static_cast<int>(s.Plug()->HandleParameter(kKnob, 0, ParamFlag::Get)); }

const THostMenuItem* Item(PlaySession& s, int param, int item) {
    return reinterpret_cast<const THostMenuItem*>(
        s.Host().HostDispatch(s.Plug()->HostTag, HostOpcode::GetParamMenuItem, param, item));
}

// Polls the session (as the GUI loop does) until `done` holds.
template <typename Done>
bool PollUntil(PlaySession& s, Done done) {
    return test::WaitUntil([&] {
        s.Poll();
        return done();
    });
}

class MidiLearn : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(server_.Name().empty()) << "jackd did not start"; }

    std::unique_ptr<PlaySession> Start(const std::optional<play::PlayState>& initial, const std::string& name) {
        auto s = std::make_unique<PlaySession>(NORV_PLUGIN_PATH, play::JackOptions{name, server_.Name()}, initial);
        s->Host().Log = [this](const std::string& line) { log_.push_back(line); };
        s->Start();
        return s;
    }

    test::JackServer server_;
    test::TempDir dir_;
    std::vector<std::string> log_;
};

TEST_F(MidiLearn, ALearnedControllerMovesTheKnobAcrossASaveAndARestart) {
    const TParamInfo& p = kParams[kKnob];
    const std::string file = (dir_.path() / "links.state").string();
    {
        auto s = Start(std::nullopt, "learner");
        test::JackProbe probe(server_.Name());
        ASSERT_TRUE(probe.ConnectTo(s->Client().Name()));
        ASSERT_EQ(Item(*s, kKnob, play::kForgetItem)->Flags & 1, 1) << "nothing to forget yet";

        s->Host().HostDispatch(s->Plug()->HostTag, HostOpcode::RunParamMenuItem, kKnob, play::kLearnItem);
        EXPECT_EQ(Item(*s, kKnob, play::kLearnItem)->Flags & 2, 2) << "learn is checked while waiting";
        // The pedal stays with the notes: learning goes on.
        probe.Send(kChannel2Control, 64, 127);
        probe.Send(kChannel2Control, 74, 127);
        ASSERT_TRUE(PollUntil(*s, [&] { return s->Host().Links.LinkOf(kKnob).has_value(); }));
        EXPECT_EQ(*s->Host().Links.LinkOf(kKnob), (MidiLink{kKnob, 1, 74}));
        EXPECT_EQ(KnobOf(*s), p.Max);
        EXPECT_EQ(Item(*s, kKnob, play::kLearnItem)->Flags & 2, 0);
        EXPECT_EQ(Item(*s, kKnob, play::kForgetItem)->Flags & 1, 0);
        EXPECT_NE(std::find(log_.begin(), log_.end(), "learn " + std::to_string(kKnob) + " 2 74"), log_.end());

        probe.Send(kChannel2Control, 74, 0);
        ASSERT_TRUE(PollUntil(*s, [&] { return KnobOf(*s) == p.Min; }));
        EXPECT_EQ(s->Host().LastParamValue[kKnob], p.Min) << "the host hears of it as of a knob move";
        // Another channel's controller 74 is not the linked one.
        probe.Send(0xB0, 74, 127);
        probe.Send(kChannel2Control, 74, 32);
        ASSERT_TRUE(PollUntil(*s, [&] { return KnobOf(*s) != p.Min; }));
        EXPECT_EQ(KnobOf(*s), play::PlayerHost::KnobValue(kKnob, 32));

        std::ofstream(file) << play::FormatPlayState(s->State());
    }
    log_.clear();
    auto again = Start(play::ReadPlayStateFile(file, kParamCount), "learner-again");
    EXPECT_EQ(KnobOf(*again), play::PlayerHost::KnobValue(kKnob, 32));
    ASSERT_EQ(again->Host().Links.All(), (std::vector<MidiLink>{{kKnob, 1, 74}}));
    test::JackProbe probe(server_.Name());
    ASSERT_TRUE(probe.ConnectTo(again->Client().Name()));
    probe.Send(kChannel2Control, 74, 100);
    ASSERT_TRUE(PollUntil(*again, [&] { return KnobOf(*again) == play::PlayerHost::KnobValue(kKnob, 100); }));

    // Forgotten, the controller moves nothing.
    again->Host().HostDispatch(again->Plug()->HostTag, HostOpcode::RunParamMenuItem, kKnob, play::kForgetItem);
    EXPECT_FALSE(again->Host().Links.LinkOf(kKnob));
    probe.Send(kChannel2Control, 74, 0);
    // A marker: messages come in order, so once it moved its knob the one before is through.
    ASSERT_TRUE(again->Host().Links.Link({kDecay, 0, 21}));
    probe.Send(0xB0, 21, 127);
    ASSERT_TRUE(PollUntil(*again, [&] {
        return again->Plug()->HandleParameter(kDecay, 0, ParamFlag::Get) == kParams[kDecay].Max;
    }));
    EXPECT_EQ(KnobOf(*again), play::PlayerHost::KnobValue(kKnob, 100));
}

// A set switch holds the processing lock from the GUI thread: those periods
// are silence and counted, and the held note sounds again after.
TEST_F(MidiLearn, PeriodsUnderASetSwitchAreSilentAndCounted) {
    auto s = Start(std::nullopt, "switcher");
    test::JackProbe probe(server_.Name());
    ASSERT_TRUE(probe.ConnectTo(s->Client().Name()));
    probe.Send(0x90, 60, 100);
    EXPECT_GT(probe.ListenPeak(4800), 0.01f);
    EXPECT_EQ(s->Live().SkippedPeriods(), 0);
    const int locks = s->Host().ProcessingLocks;
    s->Host().LockProcessing();
    EXPECT_EQ(probe.ListenPeak(4800), 0.0f);
    s->Host().UnlockProcessing();
    EXPECT_GE(s->Live().SkippedPeriods(), 4800 / 256);
    EXPECT_EQ(s->Host().ProcessingLocks, locks + 1) << "the panel's window names the set again";
    EXPECT_GT(probe.ListenPeak(4800), 0.001f);
}

TEST(MidiLinks, OneControllerOneKnobAndTheNoteSideKeepsItsOwn) {
    play::MidiLinks links(kParamCount);
    EXPECT_TRUE(links.Link({1, 0, 74}));
    EXPECT_TRUE(links.Link({2, 0, 74}));  // relinking moves it
    EXPECT_FALSE(links.LinkOf(1));
    EXPECT_TRUE(links.Link({2, 3, 20}));  // a knob follows one controller
    EXPECT_EQ(links.All(), (std::vector<MidiLink>{{2, 3, 20}}));
    for (int cc : {0, 6, 7, 10, 11, 32, 38, 64, 98, 101, 120, 121, 123, 127}) EXPECT_FALSE(links.Link({4, 0, cc})) << cc;
    EXPECT_FALSE(links.Link({kParamCount, 0, 20}));
    EXPECT_FALSE(links.Link({4, 16, 20}));
    links.Learn(5);
    EXPECT_EQ(links.Hear(0, 7).What, play::HeardControl::Refused);
    EXPECT_EQ(links.Learning(), 5);
    EXPECT_EQ(links.Hear(3, 20).What, play::HeardControl::Learned);
    EXPECT_FALSE(links.LinkOf(2));
    const play::HeardControl moved = links.Hear(3, 20);
    EXPECT_EQ(moved.What, play::HeardControl::Moved);
    EXPECT_EQ(moved.Param, 5);
    EXPECT_EQ(links.Hear(4, 20).What, play::HeardControl::Nothing);
}

TEST(StateFile, RefusalsNameTheLineAndTheReason) {
    auto refusal = [](const std::string& text) {
        try {
            play::ParsePlayState(text, "f.state", kParamCount);
        } catch (const std::runtime_error& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal(""), "f.state: empty; not a player state file");
    EXPECT_EQ(refusal("norvkeys-play-state 2\n"), "f.state: line 1: version 2 is newer than this program reads (1)");
    EXPECT_EQ(refusal("# hand-made\nsomething else\n").rfind("f.state: line 2: not a player state file", 0), 0u);
    EXPECT_EQ(refusal("norvkeys-play-state 1\n"), "f.state: no instance line");
    EXPECT_EQ(refusal("norvkeys-play-state 1\ninstance 0100000000\n"),
              "f.state: line 2: the instance's state holds 0 parameter values; the instrument has " +
                  std::to_string(kParamCount));
    EXPECT_EQ(refusal("norvkeys-play-state 1\nlink 1 17 74\n"), "f.state: line 2: channel \"17\" is not 1..16");
    EXPECT_EQ(refusal("norvkeys-play-state 1\nlink 1 1 64\n"),
              "f.state: line 2: controller 64 cannot be linked to a knob");
    EXPECT_EQ(refusal("norvkeys-play-state 1\nlink 1 1 74\nlink 2 1 74\n"),
              "f.state: line 3: controller 74 on channel 1 is linked twice");
    EXPECT_EQ(refusal("norvkeys-play-state 1\nvolume 3\n"), "f.state: line 2: unknown item \"volume\"");
}

TEST(StateFile, WhatIsWrittenReadsBack) {
    host::SavedState instance;
    instance.Name = "Norv Grand";
    instance.Values.assign(kParamCount, 7);
    const play::PlayState state{host::StateBytes(instance), {{3, 15, 74}, {0, 0, 1}}};
    const std::string text = play::FormatPlayState(state);
    EXPECT_EQ(text.rfind("norvkeys-play-state 1\ninstance ", 0), 0u);
    EXPECT_NE(text.find("\nlink 3 16 74\n"), std::string::npos) << "channels are written 1..16";
    const play::PlayState back = play::ParsePlayState(text, "f.state", kParamCount);
    EXPECT_EQ(back.Instance, state.Instance);
    EXPECT_EQ(back.Links, state.Links);
}

}  // namespace
}  // namespace norv
