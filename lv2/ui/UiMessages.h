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

namespace norv::lv2 {

struct UiUrids {
    explicit UiUrids(LV2_URID_Map& map);
    LV2_URID EventTransfer, Object, Blank, String, Urid, MidiEvent;
    LV2_URID PatchSet, PatchGet, PatchProperty, PatchValue, SetProperty;
};

// One atom (header and body), as atom:eventTransfer carries it.
using AtomBytes = std::vector<uint8_t>;

// A note-on (velocity 1..127) or, for velocity 0, a note-off on channel 1.
AtomBytes MidiNoteAtom(const UiUrids& u, int key, int velocity);
// patch:Set of the set property to a UTF-8 name.
AtomBytes SetSetAtom(const UiUrids& u, const std::string& utf8Name);
// patch:Get of the set property.
AtomBytes GetSetAtom(const UiUrids& u);

// The UTF-8 name a patch:Set of the set property carries; nullopt for any
// other atom, a short one included.
std::optional<std::string> SetNameOf(const UiUrids& u, const void* atom, uint32_t size);

}  // namespace norv::lv2
