#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "host/MidiFile.h"
#include "host/MidiWriter.h"
#include "hostlib_midi/SmfBytes.h"
#include "support/TempDir.h"

namespace norv::host {
namespace {

using test::Bytes;

TEST(MidiWriter, ExactBytesWithRunningStatus) {
    MidiWriter w(0, 96);
    size_t t = w.AddTrack();
    w.Note(t, 0, 96, 0, 60, 100);
    w.Note(t, 0, 96, 0, 64, 90);             // running status after the first note-on
    w.Tempo(t, 48, 400000);                  // a meta event cancels running status
    w.Channel(t, 48, MidiType::NoteOn, 0, 67, 80);
    w.Channel(t, 96 + 16384, MidiType::ProgramChange, 3, 9);
    w.EndTrack(t, 20000);
    const Bytes expected = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
        'M', 'T', 'r', 'k', 0, 0, 0, 35,
        0x00, 0x90, 60, 100,
        0x00, 64, 90,
        0x30, 0xFF, 0x51, 0x03, 0x06, 0x1A, 0x80,
        0x00, 0x90, 67, 80,
        0x30, 0x80, 60, 0,                    // the note-offs at 96, in the order added
        0x00, 64, 0,
        0x81, 0x80, 0x00, 0xC3, 9,            // delta 16384 needs three bytes
        0x9B, 0x40, 0xFF, 0x2F, 0x00,         // end of track at 20000
    };
    EXPECT_EQ(w.Bytes(), expected);

    w.SetRunningStatus(false);
    Bytes plain = w.Bytes();
    EXPECT_EQ(plain.size(), expected.size() + 2);
    EXPECT_EQ(ParseMidi(plain).events.size(), ParseMidi(expected).events.size());
}

TEST(MidiWriter, DeltaTimeLimits) {
    // Delta times at the edges of each byte count read back to the same ticks.
    MidiWriter w(0, 480);
    size_t t = w.AddTrack();
    std::vector<uint64_t> ticks;
    uint64_t tick = 0;
    for (uint64_t delta : {0ull, 127ull, 128ull, 16383ull, 16384ull, 2097151ull, 2097152ull, 0x0FFFFFFFull}) {
        tick += delta;
        ticks.push_back(tick);
        w.Control(t, tick, 0, 1, 0);
    }
    MidiSong song = ParseMidi(w.Bytes());
    ASSERT_EQ(song.events.size(), ticks.size());
    for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(song.events[i].tick, ticks[i]);

    w.Control(t, tick + 0x10000000, 0, 1, 0);
    EXPECT_THROW(w.Bytes(), std::invalid_argument);
}

TEST(MidiWriter, RoundTripFormatOne) {
    MidiWriter w(1, 240);
    size_t conductor = w.AddTrack(), right = w.AddTrack(), left = w.AddTrack();
    w.Tempo(conductor, 0, 750000);
    w.Tempo(conductor, 480, 1000000);
    w.Text(conductor, 0, 0x03, "Round trip");
    // Added out of order: each track comes out sorted, equal ticks in adding order.
    w.Note(right, 480, 240, 0, 72, 1);
    w.Note(right, 0, 240, 0, 76, 127);
    w.Control(left, 0, 0, 64, 127);
    w.Channel(left, 0, MidiType::NoteOn, 0, 48, 0);  // velocity 0 is written as it is
    w.Channel(left, 240, MidiType::PolyPressure, 1, 48, 33);
    w.Channel(left, 240, MidiType::ChannelPressure, 2, 44);
    w.Channel(left, 720, MidiType::PitchBend, 15, 0x7F, 0x7F);
    const uint8_t sysex[] = {0x41, 0x10, 0xF7};
    w.SysEx(left, 240, sysex);
    w.Control(left, 720, 0, 64, 0);
    w.EndTrack(left, 1200);

    MidiSong song = ParseMidi(w.Bytes());
    EXPECT_EQ(song.format, 1);
    EXPECT_EQ(song.trackCount, 3);
    EXPECT_EQ(song.ticksPerQuarter, 240);
    struct Want {
        uint64_t tick;
        double seconds;
        uint16_t track;
        MidiType type;
        int channel, data1, data2;
    };
    const Want want[] = {
        {0, 0.0, 1, MidiType::NoteOn, 0, 76, 127},
        {0, 0.0, 2, MidiType::ControlChange, 0, 64, 127},
        {0, 0.0, 2, MidiType::NoteOn, 0, 48, 0},
        {240, 0.75, 1, MidiType::NoteOff, 0, 76, 0},
        {240, 0.75, 2, MidiType::PolyPressure, 1, 48, 33},
        {240, 0.75, 2, MidiType::ChannelPressure, 2, 44, 0},
        {480, 1.5, 1, MidiType::NoteOn, 0, 72, 1},
        {720, 2.5, 1, MidiType::NoteOff, 0, 72, 0},
        {720, 2.5, 2, MidiType::PitchBend, 15, 0x7F, 0x7F},
        {720, 2.5, 2, MidiType::ControlChange, 0, 64, 0},
    };
    ASSERT_EQ(song.events.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        const MidiEvent& e = song.events[i];
        EXPECT_EQ(e.tick, want[i].tick) << i;
        EXPECT_EQ(e.seconds, want[i].seconds) << i;
        EXPECT_EQ(e.track, want[i].track) << i;
        EXPECT_EQ(e.type, want[i].type) << i;
        EXPECT_EQ(e.channel, want[i].channel) << i;
        EXPECT_EQ(e.data1, want[i].data1) << i;
        EXPECT_EQ(e.data2, want[i].data2) << i;
    }
    EXPECT_EQ(song.endTick, 1200u);
    EXPECT_EQ(song.endSeconds, 4.5);

    // The events read back, written again, read back the same.
    MidiWriter again(1, 240);
    for (int i = 0; i < 3; ++i) again.AddTrack();
    again.Tempo(0, 0, 750000);
    again.Tempo(0, 480, 1000000);
    for (const MidiEvent& e : song.events) again.Add(e.track, e);
    again.EndTrack(2, song.endTick);
    MidiSong second = ParseMidi(again.Bytes());
    ASSERT_EQ(second.events.size(), song.events.size());
    for (size_t i = 0; i < song.events.size(); ++i) {
        EXPECT_EQ(second.events[i].Status(), song.events[i].Status());
        EXPECT_EQ(second.events[i].seconds, song.events[i].seconds);
        EXPECT_EQ(second.events[i].data1, song.events[i].data1);
        EXPECT_EQ(second.events[i].data2, song.events[i].data2);
    }
}

TEST(MidiWriter, RefusesWhatAFileCannotHold) {
    EXPECT_THROW(MidiWriter(2, 96), std::invalid_argument);
    EXPECT_THROW(MidiWriter(1, 0), std::invalid_argument);
    EXPECT_THROW(MidiWriter(1, 0x8000), std::invalid_argument);
    MidiWriter w(0, 96);
    EXPECT_THROW(w.Bytes(), std::invalid_argument);  // no track yet
    size_t t = w.AddTrack();
    EXPECT_THROW(w.AddTrack(), std::invalid_argument);
    EXPECT_THROW(w.Channel(t, 0, MidiType::NoteOn, 16, 60, 1), std::invalid_argument);
    EXPECT_THROW(w.Channel(t, 0, MidiType::NoteOn, 0, 128, 1), std::invalid_argument);
    EXPECT_THROW(w.Channel(t, 0, MidiType::NoteOn, 0, 60, -1), std::invalid_argument);
    EXPECT_THROW(w.Note(t, 0, 10, 0, 60, 0), std::invalid_argument);
    EXPECT_THROW(w.Control(1, 0, 0, 64, 0), std::invalid_argument);
    EXPECT_THROW(w.Tempo(t, 0, 0), std::invalid_argument);
    EXPECT_THROW(w.Tempo(t, 0, 0x1000000), std::invalid_argument);
    EXPECT_THROW(w.Meta(t, 0, 0x2F, {}), std::invalid_argument);
    // Nothing refused was kept.
    EXPECT_TRUE(ParseMidi(w.Bytes()).events.empty());
}

TEST(MidiWriter, SaveReplacesTheFileWholly) {
    test::TempDir dir;
    auto path = dir.Write("out.mid", std::string_view("old contents"));
    MidiWriter w(0, 96);
    w.Note(w.AddTrack(), 0, 96, 0, 60, 100);
    w.Save(path);
    EXPECT_EQ(ReadMidiFile(path).events.size(), 2u);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 1u);  // no temporary left behind
    try {
        w.Save(dir.path() / "no-such-folder" / "out.mid");
        FAIL() << "no error for a folder that does not exist";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("no-such-folder/out.mid: cannot write"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace norv::host
