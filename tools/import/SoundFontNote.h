// How a SoundFont player plays one zone of a preset: the generators and
// modulators of the preset zone and the instrument zone combined as the
// format lays down, and the note they give at a key and velocity. Where the
// format leaves room, this follows FluidSynth, the player most SoundFonts are
// made for and heard with: a zone's initialAttenuation counts 0.4 of its
// centibels, and the velocity-to-cutoff default modulator is its reading.
#pragma once

#include <array>
#include <vector>

#include "tools/import/NoteShape.h"
#include "tools/import/SoundFontFile.h"

namespace norv::import {

struct SfVoiceRecipe {
    // The instrument's values (its global zone's where the zone has none,
    // else the format's defaults) plus the preset's.
    std::array<double, kGeneratorCount> Gen{};
    std::vector<SfModulator> Mods;  // amounts final
};

// Global zones may be null.
SfVoiceRecipe CombineZones(const SfZone* presetGlobal, const SfZone& presetZone, const SfZone* instrumentGlobal,
                           const SfZone& instrumentZone);

// MIDI key and velocity 1..127. Controllers stand at their reset values.
NoteShape ShapeSoundFontNote(const SfVoiceRecipe& recipe, int key, int velocity);

}  // namespace norv::import
