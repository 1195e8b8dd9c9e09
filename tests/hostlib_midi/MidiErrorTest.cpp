#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "host/MidiFile.h"
#include "host/MidiWriter.h"
#include "hostlib_midi/SmfBytes.h"

namespace norv::host {
namespace {

using test::Bytes;
using test::Chunk;
using test::Header;
using test::Join;
using test::kFirstBody;
using test::SingleTrack;

// The error's offset, with its reason containing `reason`.
void ExpectError(const Bytes& bytes, size_t offset, const std::string& reason) {
    try {
        ParseMidi(bytes, "song.mid");
        ADD_FAILURE() << "no error; expected \"" << reason << "\" at " << offset;
    } catch (const MidiFileError& e) {
        EXPECT_EQ(e.Offset(), offset) << e.what();
        EXPECT_NE(e.Reason().find(reason), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()), "song.mid: offset " + std::to_string(offset) + ": " + e.Reason());
    }
}

TEST(MidiErrors, Header) {
    ExpectError({}, 0, "not a standard MIDI file");
    ExpectError({'R', 'I', 'F', 'F', 0, 0, 0, 0}, 0, "not a standard MIDI file");
    ExpectError({'M', 'T', 'h', 'd', 0, 0}, 4, "truncated header chunk");
    ExpectError({'M', 'T', 'h', 'd', 0, 0, 0, 2, 0, 0}, 4, "header chunk length 2 is shorter than 6");
    ExpectError({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1}, 4, "header chunk length 6 runs past the end");
    ExpectError(Header(2, 1, 96), 8, "format 2 (independent sequences) is not supported");
    ExpectError(Header(7, 1, 96), 8, "unknown format 7");
    ExpectError(Header(1, 0, 96), 10, "no tracks");
    ExpectError(Header(0, 2, 96), 10, "format 0 with 2 tracks");
    ExpectError(Header(0, 1, 0), 12, "division of 0 ticks");
    ExpectError(Header(0, 1, 0xE900), 12, "unknown SMPTE frame rate 23");
    ExpectError(Header(0, 1, 0xE700), 12, "0 ticks per frame");
}

TEST(MidiErrors, Chunks) {
    Bytes header = Header(1, 2, 96);
    Bytes track = Chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00});
    ExpectError(header, 14, "file ends after 0 of 2 track chunks");
    ExpectError(Join({header, track}), 26, "file ends after 1 of 2 track chunks");
    ExpectError(Join({header, {'M', 'T', 'r', 'k', 0}}), 14, "truncated chunk header");
    // A length that runs past the end, small or absurd, for tracks and for unknown chunks.
    Bytes cut = Chunk("MTrk", {0x00, 0x90, 60, 100, 0x00, 0x80, 60, 0});
    cut.resize(cut.size() - 3);
    ExpectError(Join({header, cut}), 14, "track chunk length 8 runs past the end of the file (5 bytes left)");
    ExpectError(Join({header, track, {'M', 'T', 'r', 'k', 0xFF, 0xFF, 0xFF, 0xFF, 0}}), 26,
                "track chunk length 4294967295 runs past the end");
    ExpectError(Join({header, {'X', 'Y', 'Z', 'W', 0x7F, 0xFF, 0xFF, 0xFF}, track, track}), 14,
                "chunk length 2147483647 runs past the end");
}

TEST(MidiErrors, Events) {
    const size_t b = kFirstBody;
    // A data byte where the track's first status should be.
    ExpectError(SingleTrack({0x00, 0x3C, 0x40}), b + 1, "data byte 0x3C where a status byte is required");
    // Delta times that run past the end of the chunk: cut inside, or with no event after.
    ExpectError(SingleTrack({0x00, 0x90, 60, 100, 0x81}), b + 4, "delta time runs past the end");
    ExpectError(SingleTrack({0x00, 0x90, 60, 100, 0x10}), b + 4, "delta time runs past the end");
    ExpectError(SingleTrack({0x00, 0x90, 60, 100, 0x81, 0x80, 0x80, 0x80, 0x00}), b + 4,
                "delta time is longer than 4 bytes");
    // Events cut off by the chunk's end.
    ExpectError(SingleTrack({0x00, 0x90, 60}), b + 1, "event runs past the end");
    ExpectError(SingleTrack({0x00, 0xC0}), b + 1, "event runs past the end");
    ExpectError(SingleTrack({0x00, 0xFF}), b + 1, "meta event runs past the end");
    ExpectError(SingleTrack({0x00, 0xFF, 0x01, 0x85}), b + 1, "meta event length runs past the end");
    // Absurd lengths of skipped data.
    ExpectError(SingleTrack({0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0x7F, 'x'}), b + 1,
                "meta event length 268435455 runs past the end of the track chunk");
    ExpectError(SingleTrack({0x00, 0x90, 60, 1, 0x00, 0xF0, 0x8F, 0x00, 0xF7}), b + 5,
                "system exclusive length 1920 runs past the end");
    // Tempo events that cannot be honoured.
    ExpectError(SingleTrack({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}), b + 1, "tempo meta event of length 2");
    ExpectError(SingleTrack({0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), b + 1, "tempo of 0 microseconds");
    // Status bytes where they cannot be.
    ExpectError(SingleTrack({0x00, 0x90, 60, 0x90}), b + 3, "status byte 0x90 inside a 0x90 message");
    ExpectError(SingleTrack({0x00, 0xF8}), b + 1, "status byte 0xF8 is not allowed");
    // The error is in the second track: offsets count from the file's start.
    Bytes two = Join({Header(1, 2, 96), Chunk("MTrk", {0x00, 0xFF, 0x2F, 0x00}), Chunk("MTrk", {0x00, 0x40})});
    ExpectError(two, b + 12 + 1, "data byte 0x40");
}

// Every prefix of a valid file, and pseudo-random damage to it, either reads
// or gives a MidiFileError pointing inside the bytes; nothing else escapes.
TEST(MidiErrors, TruncatedAndGarbledFiles) {
    MidiWriter writer(1, 480);
    size_t t0 = writer.AddTrack(), t1 = writer.AddTrack();
    writer.Tempo(t0, 0, 600000);
    writer.Tempo(t0, 960, 400000);
    writer.Text(t1, 0, 0x03, "Piano");
    for (int i = 0; i < 24; ++i) writer.Note(t1, static_cast<uint64_t>(i) * 240, 200, 0, 40 + i, 30 + 4 * i);
    writer.Control(t1, 100, 0, 64, 127);
    writer.Channel(t1, 3000, MidiType::PitchBend, 0, 0, 64);
    const uint8_t sysex[] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
    writer.SysEx(t1, 10, sysex);
    Bytes good = writer.Bytes();
    ASSERT_EQ(ParseMidi(good).events.size(), 50u);

    for (size_t n = 0; n < good.size(); ++n) {
        Bytes prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        try {
            ParseMidi(prefix);
            ADD_FAILURE() << "a file cut at " << n << " bytes was read";
        } catch (const MidiFileError& e) {
            EXPECT_LE(e.Offset(), n);
        }
    }

    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    int read = 0, rejected = 0;
    for (int round = 0; round < 3000; ++round) {
        Bytes bytes = good;
        int hits = 1 + static_cast<int>(next() % 4);
        for (int h = 0; h < hits; ++h) bytes[14 + (next() >> 8) % (bytes.size() - 14)] = static_cast<uint8_t>(next() >> 24);
        try {
            MidiSong song = ParseMidi(bytes);
            EXPECT_LE(song.events.size(), bytes.size() / 2);
            ++read;
        } catch (const MidiFileError& e) {
            EXPECT_LE(e.Offset(), bytes.size());
            ++rejected;
        }
    }
    // Both outcomes happen, so the damage reaches past the checks and into events.
    EXPECT_GT(read, 100);
    EXPECT_GT(rejected, 100);
}

}  // namespace
}  // namespace norv::host
