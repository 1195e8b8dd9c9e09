#include "lv2/Uris.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

#include "lv2/Protocol.h"

namespace norv::lv2 {

Uris::Uris(const LV2_URID_Map& map)
    : AtomBlank(map.map(map.handle, LV2_ATOM__Blank)),
      AtomChunk(map.map(map.handle, LV2_ATOM__Chunk)),
      AtomInt(map.map(map.handle, LV2_ATOM__Int)),
      AtomObject(map.map(map.handle, LV2_ATOM__Object)),
      AtomSequence(map.map(map.handle, LV2_ATOM__Sequence)),
      AtomString(map.map(map.handle, LV2_ATOM__String)),
      AtomUrid(map.map(map.handle, LV2_ATOM__URID)),
      EventTransfer(map.map(map.handle, LV2_ATOM__eventTransfer)),
      MidiEvent(map.map(map.handle, LV2_MIDI__MidiEvent)),
      PatchGet(map.map(map.handle, LV2_PATCH__Get)),
      PatchSet(map.map(map.handle, LV2_PATCH__Set)),
      PatchProperty(map.map(map.handle, LV2_PATCH__property)),
      PatchValue(map.map(map.handle, LV2_PATCH__value)),
      MaxBlockLength(map.map(map.handle, LV2_BUF_SIZE__maxBlockLength)),
      NominalBlockLength(map.map(map.handle, LV2_BUF_SIZE__nominalBlockLength)),
      SetProperty(map.map(map.handle, kSetProperty)),
      StateKey(map.map(map.handle, kStateKey)) {}

}  // namespace norv::lv2
