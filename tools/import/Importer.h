// norvkeys import: a SoundFont or SFZ piano made into a set the instrument
// loads as it stands.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace norv::import {

struct ImportOptions {
    std::string Source;
    std::string Folder;  // where NAME.wti and NAME/ go
    std::string Preset;  // SoundFonts: "BANK:PROGRAM" or a name; empty: 0:0, else the first
    std::string Name, ShortName, Author;  // empty: from the source
    int Layers = 0;  // at most this many velocity layers; 0: as many as the source has
    int Bits = 16;   // 16 or 24
    int Rate = 0;    // the set's rate; 0: the source's most common
    bool Force = false;  // replace a set of the same file name
};

struct LayerSummary {
    int LoVel = 1, HiVel = 127;  // MIDI velocities
    int Limit = 0;               // the set's limit for the layer
};

// A preset value the import chose, and what it was fitted to.
struct PresetLine {
    std::string Parameter;  // the parameter's short name
    int Value = 0;          // in its knob's range
    std::string From;
};

struct ImportSummary {
    std::string Source, Kind, Preset;
    std::string Name, ShortName, Definition;
    int Zones = 0;
    std::vector<LayerSummary> Layers;
    int LowKey = 0, HighKey = 0;  // the keys the source's regions cover
    int Rate = 0, Channels = 0, Bits = 16;
    int Files = 0;              // WAVE files written
    int64_t Bytes = 0;          // of the definition and the WAVE files
    int64_t SourceBytes = 0;    // of the source's samples that were read
    double GainDb = 0;          // applied to the whole set to peak at -1 dBFS
    std::vector<PresetLine> Parameters;  // the set's preset
    double VelocityFactor = 1.0;
    std::string VelocityFactorFrom;
    std::vector<std::string> LeftOut, Notes;
};

// Called with the fraction done, 0..1; returning false stops the import,
// which then throws ImportError and leaves nothing behind.
using ImportProgress = std::function<bool(double fraction)>;

// Throws ImportError naming the file and the reason; nothing is written then.
ImportSummary ImportSet(const ImportOptions& options, const ImportProgress& progress = {});

// The peak of an imported set's samples.
inline constexpr double kPeakDbfs = -1.0;

}  // namespace norv::import
