// A SoundFont preset turned into regions: the preset's zones applied to its
// instruments' zones, generators combined as the format lays down, stereo
// pairs joined, and what a set cannot carry counted.
#pragma once

#include <string>
#include <vector>

#include "tools/import/SoundFontFile.h"
#include "tools/import/SourceRegion.h"

namespace norv::import {

// One sample of the regions: a sample header, or a left and a right one.
struct SoundFontVoice {
    int Left = -1;
    int Right = -1;  // -1: mono
    bool operator==(const SoundFontVoice&) const = default;
};

struct PresetRegions {
    std::vector<SourceRegion> Regions;  // Sample indexes Voices
    std::vector<SoundFontVoice> Voices;
};

// Regions of preset `preset`. Throws ImportError naming `file`, the zone and
// the generator when a zone cannot be read (an empty key or velocity range,
// an instrument or sample that does not exist).
PresetRegions ResolvePreset(const SoundFontFile& sf, size_t preset, LeftOutList& leftOut, const std::string& file);

// `choice`: "BANK:PROGRAM", a preset's name (any letter case), or empty for
// bank 0 program 0 (else the first preset). Throws ImportError when absent.
size_t FindPreset(const SoundFontFile& sf, const std::string& choice, const std::string& file);

}  // namespace norv::import
