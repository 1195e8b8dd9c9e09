#include <gtest/gtest.h>

#include <vector>

#include "host/MidiWriter.h"
#include "host/SongPlayer.h"
#include "hostlib_notes/FakePlug.h"

namespace norv::host {
namespace {

using test::FakeCall;
using test::FakePlug;

MidiEvent Event(double seconds, MidiType type, int data1, int data2 = 0, int channel = 0) {
    MidiEvent e;
    e.seconds = seconds;
    e.type = type;
    e.channel = static_cast<uint8_t>(channel);
    e.data1 = static_cast<uint8_t>(data1);
    e.data2 = static_cast<uint8_t>(data2);
    return e;
}

class Song : public ::testing::Test {
protected:
    void SetUp() override {
        host.Status.Quiet = true;
        plug = host.CreateInstance();
        fake = FakePlug::last;
        performer = std::make_unique<Performer>(host, plug);
    }

    // Plays the whole song; returns the frames rendered. Gives up past
    // `bound` frames, so a song that would never end fails instead of hanging.
    int64_t Play(double rate, int32_t block, double tail, int64_t bound = int64_t{1} << 40) {
        SongPlayer player(*performer, song, rate, block, tail);
        std::vector<float> buffer(2 * static_cast<size_t>(block));
        int64_t total = 0;
        while (int32_t n = player.Next(buffer.data())) {
            EXPECT_GE(n, 1);
            EXPECT_LE(n, block);
            total += n;
            if (total > bound) {
                ADD_FAILURE() << "still playing after " << total << " frames";
                return total;
            }
        }
        EXPECT_EQ(total, player.Position());
        EXPECT_EQ(player.Next(buffer.data()), 0);
        return total;
    }

    Host host{&FakePlug::Create};
    TQuirraPlug* plug = nullptr;
    FakePlug* fake = nullptr;
    std::unique_ptr<Performer> performer;
    MidiSong song;
};

TEST_F(Song, BlocksAreCutAtEveryEventFrame) {
    // At 1000 Hz a second is 1000 frames.
    song.events = {Event(0.0, MidiType::NoteOn, 60, 100),     Event(0.1, MidiType::NoteOn, 62, 100),
                   Event(0.3, MidiType::ControlChange, 7, 64), Event(0.3, MidiType::NoteOn, 64, 100),
                   Event(0.301, MidiType::NoteOff, 60),         Event(0.5, MidiType::NoteOff, 62),
                   Event(0.5, MidiType::NoteOff, 64)};
    song.endSeconds = 0.75;  // the end of track: no event of the song is there
    fake->endReleasedAfterBlocks = 1;
    const int64_t total = Play(1000.0, 64, 30.0);

    const std::vector<FakeCall> starts = fake->CallsOf(FakeCall::Start);
    ASSERT_EQ(starts.size(), 3u);
    EXPECT_EQ(starts[0].frame, 0);
    EXPECT_EQ(starts[1].frame, 100);
    EXPECT_EQ(starts[2].frame, 300);
    EXPECT_FLOAT_EQ(starts[2].record.CurVolume, 64.0f / 127.0f);  // the controller came first
    const std::vector<FakeCall> releases = fake->CallsOf(FakeCall::Release);
    ASSERT_EQ(releases.size(), 3u);
    EXPECT_EQ(releases[0].frame, 301);
    EXPECT_EQ(releases[1].frame, 500);
    EXPECT_EQ(releases[2].frame, 500);

    // Each block ends at the next event or after 64 frames. The song ends at
    // its last note-offs (0.5 s); the voices released there end in the next
    // block, and nothing is rendered up to the end of track.
    const std::vector<int32_t> expected = {64, 36, 64, 64, 64, 8, 1, 64, 64, 64, 7, 64};
    EXPECT_EQ(fake->BlockSizes(), expected);
    EXPECT_EQ(total, 564);
    EXPECT_EQ(performer->LiveVoices(), 0u);
    EXPECT_EQ(performer->PeakVoices(), 3u);
    EXPECT_TRUE(fake->everyBufferZeroed);
}

TEST_F(Song, TailLimitCutsVoicesThatNeverEnd) {
    song.events = {Event(0.0, MidiType::ControlChange, 64, 127), Event(0.010, MidiType::NoteOn, 60, 100),
                   Event(0.020, MidiType::NoteOff, 60)};
    song.endSeconds = 0.5;
    // The pedal never goes up: the voice sounds until the tail limit after
    // the last event, exactly.
    EXPECT_EQ(Play(48000.0, 256, 1.25), 960 + 60000);
    EXPECT_EQ(performer->LiveVoices(), 1u);
    EXPECT_TRUE(fake->CallsOf(FakeCall::Release).empty());
}

TEST_F(Song, ZeroTailEndsAtTheLastControllerOrNote) {
    // A controller counts; a program change after it changes no sound and
    // does not lengthen the song.
    song.events = {Event(0.0, MidiType::NoteOn, 60, 100), Event(0.01, MidiType::ControlChange, 7, 100),
                   Event(0.5, MidiType::ProgramChange, 3)};
    song.endSeconds = 0.5;
    EXPECT_EQ(Play(44100.0, 100, 0.0), 441);
    EXPECT_EQ(fake->BlockSizes(), (std::vector<int32_t>{100, 100, 100, 100, 41}));
}

TEST_F(Song, EndOfTrackHoursAfterTheLastNote) {
    // The end of track follows the note-off by a delta of 0x0FFFFFFF ticks:
    // over 77 hours at 480 ticks a quarter and 120 beats a minute.
    MidiWriter w(0, 480);
    const size_t t = w.AddTrack();
    w.Note(t, 0, 480, 0, 60, 100);
    w.EndTrack(t, 480 + 0x0FFFFFFF);
    song = ParseMidi(w.Bytes());
    ASSERT_GT(song.endSeconds, 77 * 3600.0);
    fake->endReleasedAfterBlocks = 1;
    SongPlayer player(*performer, song, 48000.0, 256, 30.0);
    EXPECT_EQ(player.SongEndFrame(), 24000);
    EXPECT_EQ(player.LimitFrame(), 24000 + 30 * 48000);
    // The note-off at 0.5 s, then one block until the voice ends.
    EXPECT_EQ(Play(48000.0, 256, 30.0, 48000 * 60), 24000 + 256);
}

TEST_F(Song, EndsWhenNoVoiceIsLeft) {
    // Silence after the end of the song is not rendered.
    song.events = {Event(0.0, MidiType::NoteOn, 60, 100), Event(0.0, MidiType::NoteOff, 60)};
    song.endSeconds = 0.0;
    fake->endReleasedAfterBlocks = 2;
    EXPECT_EQ(Play(1000.0, 10, 30.0), 20);
    EXPECT_EQ(performer->LiveVoices(), 0u);

    // An empty song renders nothing.
    MidiSong empty;
    SongPlayer player(*performer, empty, 1000.0, 10, 30.0);
    float buffer[20];
    EXPECT_EQ(player.Next(buffer), 0);
    EXPECT_TRUE(player.Finished());
}

}  // namespace
}  // namespace norv::host
