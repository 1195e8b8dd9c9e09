// RIFF WAVE bytes with a sampler chunk (unity note and an optional forward
// loop), written here because sound-file libraries do not write "smpl"
// chunks portably.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace norv::import {

struct WaveLoop {
    uint32_t Start = 0, End = 0;  // frames, End inclusive
};

// Integer PCM of `bits` (16 or 24) bits; `values` are interleaved and lie
// in the range of `bits`.
std::vector<uint8_t> EncodeWave(std::span<const int32_t> values, int channels, int bits, int rate, int rootKey,
                                std::optional<WaveLoop> loop);

}  // namespace norv::import
