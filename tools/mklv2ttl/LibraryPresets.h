// LV2 presets for a library of sets: one per set, named after it, holding
// the set and the parameter values choosing it gives (its preset, the other
// parameters at their defaults), so that a host's preset menu picks sets.
// Written into the LV2 bundle at build time, and again by norvkeys import
// when it adds a set to a bundle's library or to the user library.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "wavetable/Library.h"

namespace norv::lv2 {

// The definition's preset: per parameter a fraction 0..1, or nullopt where
// the set leaves the parameter alone.
std::vector<std::optional<double>> SetPreset(const TLibraryEntry& set, int paramCount);

// The knob values choosing `set` from the defaults gives.
std::vector<int32_t> ChosenValues(const TLibraryEntry& set);

// Where a library's presets go.
struct PresetBundle {
    std::filesystem::path Folder;  // the LV2 bundle
    std::string UriPrefix;         // each preset's URI is this followed by the set's file name
    bool WithPlugin = false;       // the bundle also describes the plug-in (its manifest names it)
};

// The plug-in's own bundle: presets.ttl beside norv-keys.ttl, listed in its manifest.
PresetBundle PluginBundle(const std::filesystem::path& folder);
// The presets of the user library: a bundle of their own in ~/.lv2, where hosts look.
std::optional<PresetBundle> UserPresetBundle();

// Writes the bundle's presets.ttl and manifest.ttl for `sets`; each file
// under a temporary name, then renamed. Sets a saved state cannot name
// (nameless, or named too long) get none. Throws std::runtime_error naming the file.
void WritePresets(const PresetBundle& bundle, const std::vector<TLibraryEntry>& sets);

}  // namespace norv::lv2
