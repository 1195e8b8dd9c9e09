// The live host's audio side: sample-accurate pieces, a busy processing lock,
// notes from the panel, controller messages for the GUI.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "hostlib_notes/FakePlug.h"
#include "host/LivePlayer.h"

namespace norv::test {
namespace {

struct Period {
    std::vector<float> left, right;
};

class LiveTest : public ::testing::Test {
protected:
    host::Host host{&FakePlug::Create};
    TQuirraPlug* plug = host.CreateInstance();
    FakePlug& fake = *FakePlug::last;
    host::LivePlayer player{host, plug};

    struct Msg {
        int32_t frame;
        std::vector<uint8_t> bytes;
    };
    Period Play(int32_t frames, const std::vector<Msg>& messages = {}) {
        Period p{std::vector<float>(static_cast<size_t>(frames), -1.0f), std::vector<float>(static_cast<size_t>(frames), -1.0f)};
        player.Begin(p.left.data(), p.right.data(), frames);
        for (const Msg& m : messages) player.Midi(m.frame, m.bytes.data(), m.bytes.size());
        player.End();
        return p;
    }
    // Holds the processing lock on another thread while `f` runs here.
    template <class F>
    void WhileBusy(F f) {
        std::atomic<bool> taken{false}, done{false};
        std::thread other([&] {
            host.LockProcessing();
            taken = true;
            while (!done) std::this_thread::yield();
            host.UnlockProcessing();
        });
        while (!taken) std::this_thread::yield();
        f();
        done = true;
        other.join();
    }
};

TEST_F(LiveTest, MessagesActAtTheirFrameAndPeriodsGoInPieces) {
    const Period p = Play(600, {{100, {0x90, 60, 100}}, {350, {0x80, 60, 0}}, {350, {0xE0, 0, 0x60}}});
    EXPECT_EQ(fake.BlockSizes(), (std::vector<int32_t>{100, 250, 250}));
    ASSERT_EQ(fake.CallsOf(FakeCall::Start).size(), 1u);
    EXPECT_EQ(fake.CallsOf(FakeCall::Start)[0].frame, 100);
    EXPECT_EQ(fake.CallsOf(FakeCall::Release)[0].frame, 350);
    // Both channels of every frame, from the interleaved mix.
    for (size_t i = 0; i < 600; ++i) ASSERT_TRUE(p.left[i] == 0.25f && p.right[i] == 0.25f) << i;

    fake.calls.clear();
    Play(1000);
    EXPECT_EQ(fake.BlockSizes(), (std::vector<int32_t>{256, 256, 256, 232}));
    fake.calls.clear();
    Play(64, {{70, {0x90, 62, 1}}});  // past the end: at the end
    EXPECT_EQ(fake.BlockSizes(), (std::vector<int32_t>{64}));
    EXPECT_EQ(player.SkippedPeriods(), 0);
}

TEST_F(LiveTest, ABusyLockGivesSilenceAndKeepsOnlyWhatLetsNotesGo) {
    Play(64, {{0, {0x90, 60, 100}}, {0, {0xB0, 64, 127}}, {1, {0x90, 64, 100}}});
    ASSERT_EQ(host.Voices(plug).size(), 2u);
    fake.calls.clear();
    WhileBusy([&] {
        const Period p = Play(128, {{0, {0x90, 62, 90}}, {5, {0x80, 60, 0}}, {6, {0x90, 64, 0}}, {7, {0xB0, 64, 10}}});
        for (size_t i = 0; i < 128; ++i) ASSERT_TRUE(p.left[i] == 0.0f && p.right[i] == 0.0f) << i;
    });
    EXPECT_TRUE(fake.calls.empty());  // nothing reached the instance
    EXPECT_EQ(player.SkippedPeriods(), 1);
    EXPECT_EQ(player.Periods(), 2);

    // Next period: the two note-offs and the pedal lift, in their order, at
    // its start; the note-on struck while busy is gone.
    Play(32);
    EXPECT_TRUE(fake.CallsOf(FakeCall::Start).empty());
    const auto released = fake.CallsOf(FakeCall::Release);
    ASSERT_EQ(released.size(), 2u);
    EXPECT_EQ(released[0].frame, 64);
    for (host::HostVoice* v : host.Voices(plug)) EXPECT_TRUE(v->Released);
}

TEST_F(LiveTest, TooManyLostReleasesLetEveryNoteGo) {
    Play(16, {{0, {0x90, 40, 100}}, {0, {0x91, 41, 100}}});
    WhileBusy([&] {
        std::vector<Msg> offs;
        for (int i = 0; i < 300; ++i) offs.push_back({0, {0x82, static_cast<uint8_t>(i % 128), 0}});
        Play(16, offs);
    });
    Play(16);
    for (host::HostVoice* v : host.Voices(plug)) EXPECT_TRUE(v->Released) << v->Key;
}

TEST_F(LiveTest, PanelNotesPlayNextPeriodAndControllersGoBackToTheGui) {
    player.PanelNote(64, 90);
    EXPECT_TRUE(fake.CallsOf(FakeCall::Start).empty());
    Play(32, {{3, {0xB2, 1, 77}}, {4, {0xB2, 7, 100}}, {5, {0xC0, 5}}});
    ASSERT_EQ(host.Voices(plug).size(), 1u);
    host::HostVoice* v = host.Voices(plug)[0];
    EXPECT_EQ(v->Key, 64);
    EXPECT_FLOAT_EQ(v->InitVolume, 0.9f);
    EXPECT_EQ(fake.CallsOf(FakeCall::Start)[0].frame, 0);
    player.PanelNote(64, 0);
    Play(32);
    EXPECT_TRUE(v->Released);

    host::MidiMessage m;
    ASSERT_TRUE(player.PopControl(m));
    EXPECT_EQ((std::vector<uint8_t>{m.Bytes[0], m.Bytes[1], m.Bytes[2]}), (std::vector<uint8_t>{0xB2, 1, 77}));
    ASSERT_TRUE(player.PopControl(m));
    EXPECT_EQ(m.Bytes[1], 7);
    EXPECT_FALSE(player.PopControl(m));  // the program change is not a controller
}

}  // namespace
}  // namespace norv::test
