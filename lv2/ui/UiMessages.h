// The atoms the UI sends to the instrument's event input and reads from its
// notify output: MIDI notes, patch:Set and patch:Get of the sound set.
// Pure functions over bytes; any thread.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lv2/Uris.h"

namespace norv::lv2 {

// One atom (header and body), as atom:eventTransfer carries it.
using AtomBytes = std::vector<uint8_t>;

// A note-on (velocity 1..127) or, for velocity 0, a note-off on channel 1.
AtomBytes MidiNoteAtom(const Uris& u, int key, int velocity);
// patch:Set of the set property to a UTF-8 name.
AtomBytes SetSetAtom(const Uris& u, const std::string& utf8Name);
// patch:Get of the set property.
AtomBytes GetSetAtom(const Uris& u);

// The UTF-8 name a patch:Set of the set property carries; nullopt for any
// other atom, a short one included.
std::optional<std::string> SetNameOf(const Uris& u, const void* atom, uint32_t size);

}  // namespace norv::lv2
