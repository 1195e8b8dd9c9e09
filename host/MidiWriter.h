// Standard MIDI files (formats 0 and 1) made from events placed at ticks.
//
// Events may be added in any order; each track is written sorted by tick,
// events at an equal tick in the order they were added. Invalid arguments
// (bad channel, data byte above 127, unknown track) throw std::invalid_argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "host/MidiFile.h"

namespace norv::host {

class MidiWriter {
public:
    // format 0 (one track) or 1; ticksPerQuarter 1..32767.
    MidiWriter(int format, int ticksPerQuarter);

    // Returns the new track's index.
    size_t AddTrack();
    size_t TrackCount() const { return tracks_.size(); }
    int TicksPerQuarter() const { return ticksPerQuarter_; }

    void Channel(size_t track, uint64_t tick, MidiType type, int channel, int data1, int data2 = 0);
    // Adds a MidiEvent at its own tick (its seconds are ignored).
    void Add(size_t track, const MidiEvent& event);
    // A note-on at `tick` and its note-off (0x80, velocity 0) `length` ticks later.
    void Note(size_t track, uint64_t tick, uint64_t length, int channel, int key, int velocity);
    void Control(size_t track, uint64_t tick, int channel, int controller, int value);

    void Tempo(size_t track, uint64_t tick, uint32_t microsPerQuarter);
    void Meta(size_t track, uint64_t tick, uint8_t type, std::span<const uint8_t> data);
    void Text(size_t track, uint64_t tick, uint8_t type, std::string_view text);
    // F0, the length, then `data` (which should end with F7).
    void SysEx(size_t track, uint64_t tick, std::span<const uint8_t> data);
    // The end-of-track marker goes at this tick or after the last event, whichever is later.
    void EndTrack(size_t track, uint64_t tick);

    // Omit repeated channel status bytes (on by default).
    void SetRunningStatus(bool on) { runningStatus_ = on; }

    std::vector<uint8_t> Bytes() const;
    // Writes a temporary file beside `path`, then renames it; throws
    // std::runtime_error naming the file and the reason.
    void Save(const std::filesystem::path& path) const;

private:
    struct Item {
        uint64_t tick;
        std::vector<uint8_t> message;  // starting with its status byte
    };
    struct Track {
        std::vector<Item> items;
        uint64_t end = 0;
    };

    Track& At(size_t track);
    void Put(size_t track, uint64_t tick, std::vector<uint8_t> message);

    int format_;
    int ticksPerQuarter_;
    bool runningStatus_ = true;
    std::vector<Track> tracks_;
};

}  // namespace norv::host
