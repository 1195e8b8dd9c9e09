#include <gtest/gtest.h>

#include <vector>

#include "host/Performer.h"
#include "hostlib_notes/FakePlug.h"

namespace norv::host {
namespace {

using test::FakeCall;
using test::FakePlug;

class Notes : public ::testing::Test {
protected:
    void SetUp() override {
        host.Status.Quiet = true;
        plug = host.CreateInstance();
        fake = FakePlug::last;
        performer = std::make_unique<Performer>(host, plug);
    }

    void Block(int32_t frames = 16) {
        std::vector<float> buffer(2 * static_cast<size_t>(frames), 9.0f);  // not zero: the host must clear it
        performer->RenderBlock(buffer.data(), frames);
        for (float x : buffer) ASSERT_EQ(x, 0.25f);
    }

    // The handle of the n-th voice started.
    intptr_t Started(size_t n) const { return fake->CallsOf(FakeCall::Start).at(n).handle; }
    test::RecordSnapshot StartRecord(size_t n) const { return fake->CallsOf(FakeCall::Start).at(n).record; }
    std::vector<intptr_t> Released() const {
        std::vector<intptr_t> r;
        for (const FakeCall& c : fake->CallsOf(FakeCall::Release)) r.push_back(c.handle);
        return r;
    }

    Host host{&FakePlug::Create};
    TQuirraPlug* plug = nullptr;
    FakePlug* fake = nullptr;
    std::unique_ptr<Performer> performer;
};

TEST_F(Notes, NoteOnFillsTheVoiceRecord) {
    performer->NoteOn(0, 60, 100);
    const auto a = StartRecord(0);
    EXPECT_EQ(a.InitVolume, 1.0f);
    EXPECT_EQ(a.InitPitch, 6000.0f);
    EXPECT_EQ(a.CurPitch, 0.0f);
    EXPECT_EQ(a.CurPan, 0.0f);
    EXPECT_EQ(a.CurVolume, 1.0f);

    performer->NoteOn(1, 21, 127);
    const auto b = StartRecord(1);
    EXPECT_FLOAT_EQ(b.InitVolume, 1.27f);
    EXPECT_EQ(b.InitPitch, 2100.0f);
    EXPECT_EQ(b.CurPitch, -3900.0f);
    EXPECT_FLOAT_EQ(b.CurVolume, 1.27f);

    // Volume, expression and pan of the channel at the time of the note.
    performer->ControlChange(2, 7, 64);
    performer->ControlChange(2, 11, 100);
    performer->ControlChange(2, 10, 0);
    performer->NoteOn(2, 108, 50);
    const auto c = StartRecord(2);
    EXPECT_EQ(c.InitVolume, 0.5f);
    EXPECT_FLOAT_EQ(c.CurVolume, 0.5f * 64.0f / 127.0f * 100.0f / 127.0f);
    EXPECT_EQ(c.CurPan, -1.0f);
    EXPECT_EQ(c.CurPitch, 4800.0f);

    // Pan: 64 is the centre, 127 is one step short of hard right.
    performer->ControlChange(3, 10, 127);
    performer->NoteOn(3, 60, 1);
    EXPECT_EQ(StartRecord(3).CurPan, 63.0f / 64.0f);
    EXPECT_EQ(StartRecord(3).InitVolume, 0.01f);

    // Bend: +-2 semitones at the extremes.
    performer->PitchBend(4, -8192);
    performer->NoteOn(4, 60, 80);
    EXPECT_EQ(StartRecord(4).CurPitch, -200.0f);
    EXPECT_EQ(StartRecord(4).InitPitch, 6000.0f);
    performer->PitchBend(5, 8191);
    performer->NoteOn(5, 72, 80);
    EXPECT_FLOAT_EQ(StartRecord(5).CurPitch, 1200.0f + 8191.0f * 200.0f / 8192.0f);
    performer->PitchBend(6, 4096);
    performer->NoteOn(6, 60, 80);
    EXPECT_EQ(StartRecord(6).CurPitch, 100.0f);

    EXPECT_EQ(performer->VoicesStarted(), 7);
    EXPECT_EQ(performer->LiveVoices(), 7u);
}

TEST_F(Notes, ChannelChangesReachSoundingVoicesAtTheNextBlock) {
    performer->NoteOn(0, 60, 100);
    performer->NoteOn(1, 64, 100);
    const intptr_t a = Started(0), b = Started(1);
    Block();
    EXPECT_EQ(fake->blocks.back().at(a).CurVolume, 1.0f);

    performer->ControlChange(0, 7, 0);
    performer->ControlChange(0, 10, 32);
    performer->PitchBend(0, -4096);
    // Nothing reaches the record before the block.
    EXPECT_EQ(fake->voices.at(a).record->CurVolume, 1.0f);
    Block();
    const auto& seen = fake->blocks.back();
    EXPECT_EQ(seen.at(a).CurVolume, 0.0f);
    EXPECT_EQ(seen.at(a).CurPan, -0.5f);
    EXPECT_EQ(seen.at(a).CurPitch, -100.0f);
    // The other channel keeps its values.
    EXPECT_EQ(seen.at(b).CurVolume, 1.0f);
    EXPECT_EQ(seen.at(b).CurPan, 0.0f);
    EXPECT_EQ(seen.at(b).CurPitch, 400.0f);

    performer->ControlChange(0, 7, 127);
    performer->ControlChange(0, 11, 0);
    Block();
    EXPECT_EQ(fake->blocks.back().at(a).CurVolume, 0.0f);
    performer->ControlChange(0, 11, 127);
    Block();
    EXPECT_EQ(fake->blocks.back().at(a).CurVolume, 1.0f);
    EXPECT_TRUE(fake->everyBufferZeroed);
}

TEST_F(Notes, NoteOffAndVelocityZero) {
    performer->NoteOn(0, 60, 100);
    performer->NoteOn(0, 62, 100);
    performer->NoteOff(0, 61);  // no such note
    performer->NoteOff(1, 60);  // other channel
    EXPECT_TRUE(Released().empty());
    performer->NoteOn(0, 60, 0);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(0)}));
    performer->Apply({0.0, 0, 0, MidiType::NoteOff, 0, 62, 64});
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(0), Started(1)}));
    // A second note-off changes nothing.
    performer->NoteOff(0, 62);
    EXPECT_EQ(Released().size(), 2u);
    EXPECT_EQ(performer->VoicesStarted(), 2);
}

TEST_F(Notes, SustainPedalHoldsNoteOffsUntilItGoesUp) {
    performer->ControlChange(0, 64, 64);
    EXPECT_TRUE(performer->Channel(0).Sustain);
    performer->NoteOn(0, 60, 100);
    performer->NoteOn(0, 64, 100);
    performer->NoteOn(1, 67, 100);  // channel 1 has no pedal
    performer->NoteOff(0, 60);
    performer->NoteOff(1, 67);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(2)}));

    performer->ControlChange(0, 64, 100);  // still down
    EXPECT_EQ(Released().size(), 1u);
    performer->ControlChange(0, 64, 63);  // up: only the key already let go is released
    EXPECT_FALSE(performer->Channel(0).Sustain);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(2), Started(0)}));
    performer->NoteOff(0, 64);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(2), Started(0), Started(1)}));

    // Reset all controllers lifts the pedal too.
    performer->ControlChange(0, 64, 127);
    performer->PitchBend(0, 1000);
    performer->ControlChange(0, 11, 5);
    performer->ControlChange(0, 7, 90);
    performer->NoteOn(0, 70, 100);
    performer->NoteOff(0, 70);
    EXPECT_EQ(Released().size(), 3u);
    performer->ControlChange(0, 121, 0);
    EXPECT_EQ(Released().back(), Started(3));
    EXPECT_FALSE(performer->Channel(0).Sustain);
    EXPECT_EQ(performer->Channel(0).Bend, 0);
    EXPECT_EQ(performer->Channel(0).Expression, 127);
    EXPECT_EQ(performer->Channel(0).Volume, 90);
}

TEST_F(Notes, KeyStruckAgainUnderThePedalReleasesItsOldVoiceFirst) {
    performer->ControlChange(0, 64, 127);
    performer->NoteOn(0, 60, 100);
    performer->NoteOff(0, 60);
    performer->NoteOn(0, 60, 90);
    ASSERT_EQ(fake->CallsOf(FakeCall::Start).size(), 2u);
    // The release of the old voice comes before the new start.
    std::vector<FakeCall::Kind> order;
    for (const FakeCall& c : fake->calls) order.push_back(c.kind);
    EXPECT_EQ(order, (std::vector<FakeCall::Kind>{FakeCall::Start, FakeCall::Release, FakeCall::Start}));
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(0)}));

    // Pedal up: the old voice is not released twice, the held key not at all.
    performer->ControlChange(0, 64, 0);
    EXPECT_EQ(Released().size(), 1u);
    performer->NoteOff(0, 60);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(0), Started(1)}));

    // The same without the pedal: a repeated note-on also releases the sounding voice.
    performer->NoteOn(0, 50, 100);
    performer->NoteOn(0, 50, 100);
    EXPECT_EQ(Released().back(), Started(2));
    EXPECT_EQ(Released().size(), 3u);
    performer->NoteOff(0, 50);
    EXPECT_EQ(Released().back(), Started(3));
}

TEST_F(Notes, AllNotesOffAndAllSoundOff) {
    performer->ControlChange(0, 64, 127);
    performer->NoteOn(0, 60, 100);
    performer->NoteOn(0, 62, 100);
    performer->NoteOff(0, 62);  // held by the pedal
    performer->NoteOn(1, 64, 100);
    // All notes off is a note-off for every key: the pedal that is down keeps them all.
    performer->ControlChange(0, 123, 0);
    EXPECT_TRUE(Released().empty());
    performer->ControlChange(0, 64, 0);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(0), Started(1)}));
    performer->ControlChange(0, 123, 0);  // nothing left to release, channel 1 untouched
    EXPECT_EQ(Released().size(), 2u);

    performer->ControlChange(1, 120, 0);
    EXPECT_EQ(fake->CallsOf(FakeCall::EndAll).size(), 1u);
    EXPECT_EQ(performer->LiveVoices(), 3u);  // ended voices are reported after the next block
    Block();
    EXPECT_EQ(performer->LiveVoices(), 0u);
    EXPECT_EQ(fake->CallsOf(FakeCall::Kill).size(), 3u);
    for (const FakeCall& c : fake->CallsOf(FakeCall::Kill)) EXPECT_TRUE(c.insideRender);

    // Mode messages end the channel's notes as well.
    performer->NoteOn(2, 40, 100);
    performer->ControlChange(2, 126, 1);
    EXPECT_EQ(Released().back(), Started(3));
}

TEST_F(Notes, ContinuousPedalHoldsFromHalfWayAndStrayNoteOffsAreIgnored) {
    performer->NoteOff(0, 61);  // never struck
    performer->NoteOn(0, 60, 100);
    for (int value = 0; value <= 127; value += 3) performer->ControlChange(0, 64, value);  // 126 at the top
    performer->NoteOff(0, 60);
    performer->NoteOff(0, 60);  // a second note-off changes nothing
    EXPECT_TRUE(Released().empty());
    for (int value = 126; value >= 64; value -= 2) performer->ControlChange(0, 64, value);
    EXPECT_TRUE(Released().empty()) << "held while the pedal stays at 64 or above";
    performer->ControlChange(0, 64, 63);
    EXPECT_EQ(Released(), (std::vector<intptr_t>{Started(0)}));
    performer->ControlChange(0, 64, 10);
    EXPECT_EQ(Released().size(), 1u);
}

TEST_F(Notes, VoiceEndedInsideRenderIsForgotten) {
    performer->NoteOn(0, 60, 100);
    performer->NoteOn(0, 64, 100);
    const intptr_t a = Started(0), b = Started(1);
    fake->endAfterBlock = {a};
    Block();
    EXPECT_EQ(fake->voices.count(a), 0u);
    EXPECT_EQ(performer->LiveVoices(), 1u);

    // The note-off of the ended voice goes nowhere; the other voice still follows the channel.
    performer->NoteOff(0, 60);
    EXPECT_TRUE(Released().empty());
    performer->ControlChange(0, 7, 0);
    Block();
    EXPECT_EQ(fake->blocks.back().size(), 1u);
    EXPECT_EQ(fake->blocks.back().at(b).CurVolume, 0.0f);

    // The key plays again; no stale voice is released for it.
    performer->NoteOn(0, 60, 100);
    EXPECT_TRUE(Released().empty());
    EXPECT_EQ(performer->LiveVoices(), 2u);

    // Voices the instance refuses are counted, not kept.
    fake->refuseStarts = true;
    performer->NoteOn(0, 70, 100);
    EXPECT_EQ(performer->VoicesRefused(), 1);
    EXPECT_EQ(performer->VoicesStarted(), 3);
    EXPECT_EQ(performer->LiveVoices(), 2u);
}

TEST_F(Notes, OutOfRangeMessagesAreIgnored) {
    performer->NoteOn(16, 60, 100);
    performer->NoteOn(-1, 60, 100);
    performer->NoteOn(0, 128, 100);
    performer->NoteOn(0, 60, 128);
    performer->ControlChange(0, 7, 200);
    performer->PitchBend(0, 100000);
    EXPECT_TRUE(fake->calls.empty());
    EXPECT_EQ(performer->Channel(0).Volume, 127);
    EXPECT_EQ(performer->Channel(0).Bend, 8191);
}

}  // namespace
}  // namespace norv::host
