// The URIDs the instrument reads and writes, mapped once at instantiate.
#pragma once

#include <lv2/urid/urid.h>

namespace norv::lv2 {

struct Uris {
    // Instantiate thread.
    explicit Uris(const LV2_URID_Map& map);

    LV2_URID AtomChunk, AtomInt, AtomObject, AtomSequence, AtomString, AtomUrid;
    LV2_URID MidiEvent;
    LV2_URID PatchGet, PatchSet, PatchProperty, PatchValue;
    LV2_URID MaxBlockLength, NominalBlockLength;
    LV2_URID SetProperty, StateKey;
};

}  // namespace norv::lv2
