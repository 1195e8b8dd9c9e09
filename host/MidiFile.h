// Standard MIDI files (formats 0 and 1) read into one time-ordered event list.
//
// Only what a piano host plays is kept: the channel messages of all sixteen
// channels, with their times in ticks and in seconds. Tempo changes are
// honoured from any track; every other meta event and all system-exclusive
// data are skipped. Malformed input never crashes: it raises MidiFileError,
// whose message names the file, the byte offset and the reason, e.g.
// "song.mid: offset 1234: track chunk length 9000 runs past the end of the file".
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace norv::host {

// The upper nibble of a channel message's status byte.
enum class MidiType : uint8_t {
    NoteOff = 0x80,
    NoteOn = 0x90,  // velocity 0 is kept as it stands; the player treats it as a note-off
    PolyPressure = 0xA0,
    ControlChange = 0xB0,
    ProgramChange = 0xC0,
    ChannelPressure = 0xD0,
    PitchBend = 0xE0,
};

// Program change and channel pressure carry one data byte, the others two.
int MidiDataLength(MidiType type);

struct MidiEvent {
    double seconds = 0.0;  // from the start of the song, through the tempo map
    uint64_t tick = 0;     // in the file's division
    uint16_t track = 0;    // index of the track chunk it came from
    MidiType type = MidiType::NoteOn;
    uint8_t channel = 0;   // 0..15
    uint8_t data1 = 0;
    uint8_t data2 = 0;     // 0 for one-byte messages

    uint8_t Status() const { return static_cast<uint8_t>(static_cast<uint8_t>(type) | channel); }
    // Pitch bend as a signed offset from the centre: -8192..8191.
    int Bend() const { return (data1 | (data2 << 7)) - 8192; }
};

// A tempo in force from `tick` on (metrical division only).
struct MidiTempo {
    uint64_t tick = 0;
    double seconds = 0.0;
    uint32_t microsPerQuarter = 500000;
};

struct MidiSong {
    int format = 0;           // 0 or 1
    int trackCount = 0;       // track chunks read
    int ticksPerQuarter = 0;  // metrical division; 0 with a SMPTE division
    int smpteRate = 0;        // 24, 25, 29 (30 drop-frame, 29.97/s) or 30; 0 when metrical
    int ticksPerFrame = 0;    // SMPTE division only
    // Channel messages in time order; at equal ticks, by track, then file order.
    std::vector<MidiEvent> events;
    // Effective tempo changes in order; a change at an equal tick overrides the
    // earlier one. Empty: 120 beats per minute throughout.
    std::vector<MidiTempo> tempos;
    // The latest end of track (or last event where a track has no end marker).
    uint64_t endTick = 0;
    double endSeconds = 0.0;
};

class MidiFileError : public std::runtime_error {
public:
    MidiFileError(const std::string& name, size_t offset, const std::string& reason);
    const std::string& Name() const { return name_; }
    size_t Offset() const { return offset_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string name_;
    size_t offset_;
    std::string reason_;
};

// Throws std::runtime_error when the file cannot be read, MidiFileError when
// its contents are malformed; `path` as given names the file in messages.
MidiSong ReadMidiFile(const std::filesystem::path& path);
// `name` stands for the file in error messages.
MidiSong ParseMidi(std::span<const uint8_t> bytes, const std::string& name = "<memory>");

// The sample frame of a time at a rate, rounded to nearest, ties to even.
int64_t SecondsToFrames(double seconds, double sampleRate);

}  // namespace norv::host
