// The player's state file: the instance's own state and the MIDI links.
//
// A text file, one item a line; blank lines and lines starting with '#' are
// skipped:
//   norvkeys-play-state 1           first line: the format and its version
//   instance 01000000094e6f7276...  the bytes of the instance's ExchangeState, in hex
//   link 4 1 74                     knob 4 follows controller 74 on channel 1 (1..16)
// Exactly one instance line; any number of link lines. A later version of
// the format is refused rather than half read.
//
// Any thread: the functions keep no state of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/play/MidiLinks.h"

namespace norv::play {

inline constexpr int kStateFileVersion = 1;

struct PlayState {
    std::vector<uint8_t> Instance;
    std::vector<MidiLink> Links;
};

std::string FormatPlayState(const PlayState& state);

// Throws std::runtime_error "NAME: line N: reason" (or "NAME: reason") when
// the text is not a whole state of this version for an instrument with
// `paramCount` parameters.
PlayState ParsePlayState(const std::string& text, const std::string& name, int paramCount);

// nullopt when the file does not exist; throws as ParsePlayState, or naming
// the file when it cannot be read.
std::optional<PlayState> ReadPlayStateFile(const std::string& path, int paramCount);

}  // namespace norv::play
