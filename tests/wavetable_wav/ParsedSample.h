// A WAVE file parsed from memory, and its frames as plain vectors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wavetable/WAV.h"

namespace norv {

struct Parsed {
    int result;
    TWAVSample sample;
};

inline Parsed ParseBytes(const std::string& bytes) {
    Parsed p{};
    TParseWAV parser;
    p.result = parser.Parse(p.sample, bytes.data(), bytes.size());
    return p;
}

inline std::vector<int16_t> Values16(const TWAVSample& s) {
    const auto* v = static_cast<const int16_t*>(s.Data.Data());
    return std::vector<int16_t>(v, v + static_cast<size_t>(s.Frames) * s.Channels);
}

inline std::vector<float> Floats(const TWAVSample& s) {
    const auto* v = static_cast<const float*>(s.Data.Data());
    return std::vector<float>(v, v + static_cast<size_t>(s.Frames) * s.Channels);
}

}  // namespace norv
