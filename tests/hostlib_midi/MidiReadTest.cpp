#include <gtest/gtest.h>

#include "host/MidiFile.h"
#include "hostlib_midi/SmfBytes.h"
#include "support/TempDir.h"

namespace norv::host {
namespace {

using test::Bytes;
using test::Chunk;
using test::Header;
using test::Join;
using test::SingleTrack;

void ExpectEvent(const MidiEvent& e, uint64_t tick, MidiType type, int channel, int data1, int data2) {
    EXPECT_EQ(e.tick, tick);
    EXPECT_EQ(e.type, type);
    EXPECT_EQ(e.channel, channel);
    EXPECT_EQ(e.data1, data1);
    EXPECT_EQ(e.data2, data2);
}

TEST(MidiRead, EveryChannelMessageWithRunningStatus) {
    Bytes body = {
        0x00, 0x90, 0x3C, 0x64,              // note on, channel 0
        0x00, 0x40, 0x50,                    // running status: another note on
        0x60, 0x3C, 0x00,                    // running status, velocity 0 stays a note on
        0x00, 0x8F, 0x3C, 0x40,              // note off, channel 15
        0x00, 0xA3, 0x3C, 0x20,              // poly pressure
        0x00, 0xB1, 0x40, 0x7F,              // sustain down on channel 1
        0x00, 0xC2, 0x05,                    // program change: one data byte
        0x00, 0x07,                          // running status with one data byte
        0x00, 0xD4, 0x30,                    // channel pressure
        0x00, 0xE5, 0x00, 0x40,              // pitch bend centre
        0x00, 0xF0, 0x03, 0x7E, 0x01, 0xF7,  // sysex, skipped
        0x00, 0x7F, 0x7F,                    // running status survives it: bend up fully
        0x00, 0xFF, 0x01, 0x03, 'a', 'b', 'c',  // text, skipped
        0x00, 0xF7, 0x01, 0x00,              // sysex continuation, skipped
        0x30, 0x00, 0x00,                    // bend down fully
        0x00, 0xFF, 0x2F, 0x00,              // end of track
        0x90, 0x3C,                          // padding after the end is ignored
    };
    MidiSong song = ParseMidi(SingleTrack(body), "all.mid");
    EXPECT_EQ(song.format, 0);
    EXPECT_EQ(song.trackCount, 1);
    EXPECT_EQ(song.ticksPerQuarter, 96);
    ASSERT_EQ(song.events.size(), 12u);
    ExpectEvent(song.events[0], 0, MidiType::NoteOn, 0, 0x3C, 0x64);
    ExpectEvent(song.events[1], 0, MidiType::NoteOn, 0, 0x40, 0x50);
    ExpectEvent(song.events[2], 96, MidiType::NoteOn, 0, 0x3C, 0x00);
    ExpectEvent(song.events[3], 96, MidiType::NoteOff, 15, 0x3C, 0x40);
    ExpectEvent(song.events[4], 96, MidiType::PolyPressure, 3, 0x3C, 0x20);
    ExpectEvent(song.events[5], 96, MidiType::ControlChange, 1, 64, 127);
    ExpectEvent(song.events[6], 96, MidiType::ProgramChange, 2, 5, 0);
    ExpectEvent(song.events[7], 96, MidiType::ProgramChange, 2, 7, 0);
    ExpectEvent(song.events[8], 96, MidiType::ChannelPressure, 4, 0x30, 0);
    ExpectEvent(song.events[9], 96, MidiType::PitchBend, 5, 0x00, 0x40);
    EXPECT_EQ(song.events[9].Bend(), 0);
    EXPECT_EQ(song.events[10].Bend(), 8191);
    EXPECT_EQ(song.events[11].Bend(), -8192);
    EXPECT_EQ(song.events[11].tick, 144u);
    EXPECT_EQ(song.events[3].Status(), 0x8F);
    // 120 beats per minute until told otherwise.
    EXPECT_EQ(song.events[2].seconds, 0.5);
    EXPECT_EQ(song.events[11].seconds, 0.75);
    EXPECT_EQ(song.endTick, 144u);
    EXPECT_EQ(song.endSeconds, 0.75);
    EXPECT_TRUE(song.tempos.empty());
}

Bytes Tempo(uint32_t micros) {
    return {0xFF, 0x51, 0x03, static_cast<uint8_t>(micros >> 16), static_cast<uint8_t>(micros >> 8),
            static_cast<uint8_t>(micros)};
}

TEST(MidiRead, TempoChangesGiveExactSeconds) {
    // Division 480: a beat takes 0.5 s, from tick 960 1 s, from tick 1920
    // 0.25 s (the change to 2 s there is overridden by one at the same tick).
    Bytes body = Join({{0x00}, Tempo(500000), {0x83, 0x60, 0x90, 60, 100},  // tick 480
                       {0x83, 0x60}, Tempo(1000000),                         // tick 960
                       {0x83, 0x60, 0x80, 60, 0},                            // tick 1440
                       {0x83, 0x60}, Tempo(2000000), {0x00}, Tempo(250000),  // tick 1920
                       {0x83, 0x60, 0x90, 62, 90},                           // tick 2400
                       {0x83, 0x60, 0xFF, 0x2F, 0x00}});                     // tick 2880
    MidiSong song = ParseMidi(Join({Header(0, 1, 480), Chunk("MTrk", body)}));
    ASSERT_EQ(song.events.size(), 3u);
    EXPECT_EQ(song.events[0].seconds, 0.5);
    EXPECT_EQ(song.events[1].seconds, 2.0);
    EXPECT_EQ(song.events[2].seconds, 3.25);
    EXPECT_EQ(song.endSeconds, 3.5);
    ASSERT_EQ(song.tempos.size(), 3u);
    EXPECT_EQ(song.tempos[2].tick, 1920u);
    EXPECT_EQ(song.tempos[2].microsPerQuarter, 250000u);
    EXPECT_EQ(song.tempos[2].seconds, 3.0);

    // 100 beats per minute, restated every beat for 2000 beats: each time is the
    // double nearest to 0.6 k, with no drift from adding up.
    Bytes longBody = Join({{0x00}, Tempo(600000)});
    for (int k = 1; k <= 2000; ++k) longBody = Join({longBody, {0x83, 0x60, 0x90, 60, 1}, {0x00}, Tempo(600000)});
    song = ParseMidi(Join({Header(0, 1, 480), Chunk("MTrk", longBody)}));
    ASSERT_EQ(song.events.size(), 2000u);
    for (int k = 1; k <= 2000; ++k) ASSERT_EQ(song.events[k - 1].seconds, 6.0 * k / 10.0) << k;
}

TEST(MidiRead, FormatOneMergesTracksAndTempoMap) {
    // Tempo in track 0, notes in tracks 1 and 2, a further tempo change in track 2.
    Bytes conductor = Join({{0x00}, Tempo(1000000), {0x00, 0xFF, 0x2F, 0x00}});
    Bytes one = {0x00, 0x90, 60, 100,  0x83, 0x60, 0x90, 64, 90,  0x00, 0x80, 60, 0,
                 0x83, 0x60, 0x80, 64, 0,  0x00, 0xFF, 0x2F, 0x00};
    Bytes two = Join({{0x83, 0x60, 0x91, 67, 80}, {0x00}, Tempo(500000), {0x83, 0x60, 0x81, 67, 0},
                      {0x87, 0x40, 0xFF, 0x2F, 0x00}});
    MidiSong song = ParseMidi(Join({Header(1, 3, 480), Chunk("MTrk", conductor), Chunk("MTrk", one),
                                    Chunk("MTrk", two)}));
    EXPECT_EQ(song.format, 1);
    EXPECT_EQ(song.trackCount, 3);
    ASSERT_EQ(song.events.size(), 6u);
    // Tick 480: track 1's events in file order, then track 2's.
    ExpectEvent(song.events[0], 0, MidiType::NoteOn, 0, 60, 100);
    ExpectEvent(song.events[1], 480, MidiType::NoteOn, 0, 64, 90);
    ExpectEvent(song.events[2], 480, MidiType::NoteOff, 0, 60, 0);
    ExpectEvent(song.events[3], 480, MidiType::NoteOn, 1, 67, 80);
    EXPECT_EQ(song.events[3].track, 2);
    EXPECT_EQ(song.events[1].seconds, 1.0);
    EXPECT_EQ(song.events[4].seconds, 1.5);  // track 1 at tick 960 follows track 2's tempo
    EXPECT_EQ(song.events[5].seconds, 1.5);
    EXPECT_EQ(song.endTick, 1920u);
    EXPECT_EQ(song.endSeconds, 2.5);
}

TEST(MidiRead, ChunksAroundTheTracks) {
    Bytes header = Header(1, 2, 96);
    header[7] = 8;  // a longer header: the two extra bytes are skipped
    header.insert(header.end(), {0xAB, 0xCD});
    Bytes note = {0x00, 0x90, 60, 1, 0x60, 0x90, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    MidiSong song = ParseMidi(Join({header, Chunk("XFIH", {}), Chunk("MTrk", {}),
                                    Chunk("Junk", {1, 2, 3, 0xFF, 0x2F}), Chunk("MTrk", note),
                                    Chunk("MTrk", note)}));  // beyond the declared two: not read
    EXPECT_EQ(song.trackCount, 2);
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.events[1].track, 1);
    EXPECT_EQ(song.events[1].data2, 0);
    EXPECT_EQ(song.endTick, 96u);

    // A track without an end marker ends at its last event.
    song = ParseMidi(SingleTrack({0x00, 0x90, 60, 1, 0x81, 0x00, 0x80, 60, 0}));
    EXPECT_EQ(song.endTick, 128u);
}

TEST(MidiRead, SmpteDivision) {
    // 25 frames of 40 ticks: 1000 ticks a second, tempo ignored.
    Bytes body = Join({{0x00}, Tempo(1000000), {0x8B, 0x5C, 0x90, 60, 100}});  // tick 1500
    MidiSong song = ParseMidi(Join({Header(0, 1, 0xE728), Chunk("MTrk", body)}));
    EXPECT_EQ(song.smpteRate, 25);
    EXPECT_EQ(song.ticksPerFrame, 40);
    EXPECT_EQ(song.ticksPerQuarter, 0);
    ASSERT_EQ(song.events.size(), 1u);
    EXPECT_EQ(song.events[0].seconds, 1.5);
    // 29.97 frames a second ("30 drop-frame"): 30 frames take 1.001 s.
    song = ParseMidi(Join({Header(0, 1, 0xE302), Chunk("MTrk", {60, 0x90, 60, 100})}));
    EXPECT_EQ(song.events[0].seconds, 1.001);
}

TEST(MidiRead, FramesAndFiles) {
    EXPECT_EQ(SecondsToFrames(0.5, 44100), 22050);
    EXPECT_EQ(SecondsToFrames(2.25, 48000), 108000);
    EXPECT_EQ(SecondsToFrames(0.5, 1), 0);  // ties to even
    EXPECT_EQ(SecondsToFrames(1.5, 1), 2);
    EXPECT_EQ(SecondsToFrames(2.5, 1), 2);

    test::TempDir dir;
    auto path = dir.Write("song.mid", SingleTrack({0x00, 0x90, 60, 100}));
    EXPECT_EQ(ReadMidiFile(path).events.size(), 1u);
    try {
        ReadMidiFile(dir.path() / "missing.mid");
        FAIL() << "no error for a missing file";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("missing.mid: cannot open"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ReadMidiFile(dir.path()), std::runtime_error);
    auto bad = dir.Write("bad.mid", std::string_view("MThd"));
    try {
        ReadMidiFile(bad);
        FAIL() << "no error for a cut header";
    } catch (const MidiFileError& e) {
        EXPECT_EQ(std::string(e.what()), bad.string() + ": offset 4: truncated header chunk");
    }
}

}  // namespace
}  // namespace norv::host
