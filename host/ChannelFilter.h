// Which MIDI channels a render plays. Hosts route a file's channels to their
// instruments; a piano plays the melodic ones, so channel 10, the General
// MIDI drum channel, stays out unless asked for.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/MidiFile.h"

namespace norv::host {

// Bit c is channel c + 1.
using ChannelSet = std::bitset<16>;

// Every channel but 10.
ChannelSet DefaultChannels();

// "all", or channels 1..16 and ranges joined by commas: "1-9,11-16", "1,2".
// Throws std::invalid_argument with the reason.
ChannelSet ParseChannelList(std::string_view text);

// The shortest list ParseChannelList reads back as `channels`: "1-9, 11-16".
std::string FormatChannelList(const ChannelSet& channels);

struct SkippedNotes {
    std::array<int64_t, 16> PerChannel{};  // note-ons, by channel 0..15
    int64_t Total() const;
    ChannelSet Channels() const;  // those with a skipped note
};

// Removes the channel messages of the channels not in `keep` from `song`.
SkippedNotes KeepChannels(MidiSong& song, const ChannelSet& keep);

}  // namespace norv::host
