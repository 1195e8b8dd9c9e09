#include "lv2/ui/PortWriter.h"

#include "engine/Parameters.h"
#include "lv2/Protocol.h"

namespace norv::lv2 {

void PortWriter::Parameter(int32_t index, int32_t value) const {
    if (index < 0 || index >= kParamCount || !write_) return;
    const float v = static_cast<float>(value);
    write_(controller_, kFirstParam + static_cast<uint32_t>(index), sizeof v, 0, &v);
}

void PortWriter::MidiNote(int key, int velocity) const { Event(MidiNoteAtom(urids_, key, velocity)); }

void PortWriter::SetSet(const std::string& utf8Name) const { Event(SetSetAtom(urids_, utf8Name)); }

void PortWriter::GetSet() const { Event(GetSetAtom(urids_)); }

void PortWriter::Event(const AtomBytes& atom) const {
    if (!write_) return;
    write_(controller_, kMidiIn, static_cast<uint32_t>(atom.size()), urids_.EventTransfer, atom.data());
}

}  // namespace norv::lv2
