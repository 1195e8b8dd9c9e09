// Hand-made MIDI file bytes, so that tests can build files the writer never would.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace norv::test {

using Bytes = std::vector<uint8_t>;

inline void AppendBe(Bytes& out, uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline Bytes Chunk(std::string_view id, const Bytes& body) {
    Bytes out(id.begin(), id.end());
    AppendBe(out, static_cast<uint32_t>(body.size()), 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline Bytes Header(int format, int tracks, int division) {
    Bytes body;
    AppendBe(body, static_cast<uint32_t>(format), 2);
    AppendBe(body, static_cast<uint32_t>(tracks), 2);
    AppendBe(body, static_cast<uint32_t>(division), 2);
    return Chunk("MThd", body);
}

inline Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A format-0 file at 96 ticks per quarter note with one track of this body.
inline Bytes SingleTrack(const Bytes& body) { return Join({Header(0, 1, 96), Chunk("MTrk", body)}); }

// File offset of a track body's first byte when the track directly follows a 14-byte header.
constexpr size_t kFirstBody = 22;

}  // namespace norv::test
