#include "lv2/ui/UiMessages.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

#include <algorithm>
#include <cstring>

#include "lv2/Protocol.h"

namespace norv::lv2 {
namespace {

void Append(AtomBytes& out, const void* data, size_t size) {
    const size_t at = out.size();
    out.resize(at + size);
    std::memcpy(out.data() + at, data, size);
}

// Atoms inside an object start on 64-bit boundaries.
void Pad(AtomBytes& out) { out.resize(lv2_atom_pad_size(static_cast<uint32_t>(out.size()))); }

// An object of type `otype` whose properties the caller appends; Finish sets its size.
AtomBytes BeginObject(const Uris& u, LV2_URID otype) {
    AtomBytes out;
    const LV2_Atom_Object object{{0, u.AtomObject}, {0, otype}};
    Append(out, &object, sizeof object);
    return out;
}

void AddProperty(AtomBytes& out, LV2_URID key, LV2_URID type, const void* body, uint32_t size) {
    const LV2_Atom_Property_Body head{key, 0, {size, type}};
    Append(out, &head, sizeof head);
    Append(out, body, size);
    Pad(out);
}

AtomBytes Finish(AtomBytes out) {
    auto* atom = reinterpret_cast<LV2_Atom*>(out.data());
    atom->size = static_cast<uint32_t>(out.size() - sizeof(LV2_Atom));
    return out;
}

}  // namespace

AtomBytes MidiNoteAtom(const Uris& u, int key, int velocity) {
    const uint8_t k = static_cast<uint8_t>(std::clamp(key, 0, 127));
    const uint8_t v = static_cast<uint8_t>(std::clamp(velocity, 0, 127));
    const uint8_t body[3] = {static_cast<uint8_t>(v > 0 ? LV2_MIDI_MSG_NOTE_ON : LV2_MIDI_MSG_NOTE_OFF), k, v};
    const LV2_Atom header{sizeof body, u.MidiEvent};
    AtomBytes out;
    Append(out, &header, sizeof header);
    Append(out, body, sizeof body);
    return out;
}

AtomBytes SetSetAtom(const Uris& u, const std::string& utf8Name) {
    AtomBytes out = BeginObject(u, u.PatchSet);
    AddProperty(out, u.PatchProperty, u.AtomUrid, &u.SetProperty, sizeof u.SetProperty);
    // An atom:String's body ends with its zero byte.
    AddProperty(out, u.PatchValue, u.AtomString, utf8Name.c_str(), static_cast<uint32_t>(utf8Name.size() + 1));
    return Finish(std::move(out));
}

AtomBytes GetSetAtom(const Uris& u) {
    AtomBytes out = BeginObject(u, u.PatchGet);
    AddProperty(out, u.PatchProperty, u.AtomUrid, &u.SetProperty, sizeof u.SetProperty);
    return Finish(std::move(out));
}

std::optional<std::string> SetNameOf(const Uris& u, const void* data, uint32_t size) {
    if (!data || size < sizeof(LV2_Atom_Object)) return std::nullopt;
    const auto* atom = static_cast<const LV2_Atom*>(data);
    if ((atom->type != u.AtomObject && atom->type != u.AtomBlank) || sizeof(LV2_Atom) + atom->size > size ||
        atom->size < sizeof(LV2_Atom_Object_Body))
        return std::nullopt;
    const auto* object = static_cast<const LV2_Atom_Object*>(data);
    if (object->body.otype != u.PatchSet) return std::nullopt;
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    LV2_ATOM_OBJECT_FOREACH(object, p) {
        // A property running past the object is not read.
        const auto end = reinterpret_cast<const uint8_t*>(data) + sizeof(LV2_Atom) + atom->size;
        const auto* last = reinterpret_cast<const uint8_t*>(&p->value) + sizeof(LV2_Atom);
        if (last > end || last + p->value.size > end) return std::nullopt;
        if (p->key == u.PatchProperty) property = &p->value;
        if (p->key == u.PatchValue) value = &p->value;
    }
    if (!property || property->type != u.AtomUrid || property->size < sizeof(LV2_URID)) return std::nullopt;
    if (reinterpret_cast<const LV2_Atom_URID*>(property)->body != u.SetProperty) return std::nullopt;
    if (!value || value->type != u.AtomString || value->size == 0) return std::nullopt;
    const char* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
    return std::string(text, strnlen(text, value->size));
}

}  // namespace norv::lv2
