// Reading an atom sequence whose events may not sit where LV2 says they
// should: some hosts hand over buffers that are only 4-byte aligned, so every
// header is copied out before it is read. Audio thread; no allocation.
#pragma once

#include <lv2/atom/atom.h>

#include <cstdint>
#include <cstring>

namespace norv::lv2 {

struct AtomEvent {
    int64_t Frame;
    LV2_URID Type;
    uint32_t Size;
    const uint8_t* Body;
};

// Calls f(event) for each event of the sequence at `port`, in order; stops at
// an event that would run past the sequence's end.
template <class F>
void ForEachEvent(const void* port, F&& f) {
    if (!port) return;
    const auto* base = static_cast<const uint8_t*>(port);
    LV2_Atom atom;
    std::memcpy(&atom, base, sizeof atom);
    const uint8_t* end = base + sizeof(LV2_Atom) + atom.size;
    const uint8_t* at = base + sizeof(LV2_Atom) + sizeof(LV2_Atom_Sequence_Body);
    while (at + sizeof(LV2_Atom_Event) <= end) {
        LV2_Atom_Event header;
        std::memcpy(&header, at, sizeof header);
        const uint8_t* body = at + sizeof header;
        if (header.body.size > static_cast<size_t>(end - body)) return;
        f(AtomEvent{header.time.frames, header.body.type, header.body.size, body});
        at = body + lv2_atom_pad_size(header.body.size);
    }
}

// The event's atom, header and body, copied into `scratch` (8-byte aligned);
// nullptr when it does not fit.
template <size_t N>
const LV2_Atom* AlignedAtom(const AtomEvent& e, uint8_t (&scratch)[N]) {
    if (sizeof(LV2_Atom) + static_cast<size_t>(e.Size) > N) return nullptr;
    const LV2_Atom header{e.Size, e.Type};
    std::memcpy(scratch, &header, sizeof header);
    std::memcpy(scratch + sizeof header, e.Body, e.Size);
    return reinterpret_cast<const LV2_Atom*>(scratch);
}

}  // namespace norv::lv2
