// The URIDs the instrument and its UI read and write, mapped once at instantiate.
#pragma once

#include <lv2/urid/urid.h>

namespace norv::lv2 {

struct Uris {
    // Instantiate thread (the UI's, for the UI).
    explicit Uris(const LV2_URID_Map& map);

    LV2_URID AtomBlank, AtomChunk, AtomInt, AtomObject, AtomSequence, AtomString, AtomUrid;
    LV2_URID EventTransfer;  // how a UI writes atoms to a port
    LV2_URID MidiEvent;
    LV2_URID PatchGet, PatchSet, PatchProperty, PatchValue;
    LV2_URID MaxBlockLength, NominalBlockLength;
    LV2_URID SetProperty, StateKey;
};

}  // namespace norv::lv2
