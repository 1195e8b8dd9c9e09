// Choosing a sound set from the command line. An instance shows its library
// only through the saved state: a state naming a set makes the instance load
// it. So a set is chosen by restoring a state that names it, with the set's
// own preset in the parameter block, as choosing it in the selector would.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "host/HostServices.h"
#include "wavetable/Library.h"

namespace norv::tool {

// The library an instance of the bundle at `plugin` sees, in the order of `norvkeys list`.
std::vector<TLibraryEntry> InstalledSets(const std::string& plugin);

// The entry `text` names: a set name without regard to letter case (as UTF-8
// or as the set's own bytes), else an index into the list. Throws
// std::runtime_error listing the installed sets when there is no such set, and
// when a saved state cannot name it (an earlier set has the same name, or the
// name is too long for the state).
size_t FindSet(const std::vector<TLibraryEntry>& sets, const std::string& text);

// The definition's preset: per parameter a fraction 0..1, or nullopt where
// the set leaves the parameter alone.
std::vector<std::optional<double>> SetPreset(const TLibraryEntry& set, int paramCount);

// Loads `set` into the instance: its preset where it has one, every other
// parameter as it was. Throws std::runtime_error when the instance could not
// load the set (it keeps its previous set then).
void ChooseSet(host::Host& host, TQuirraPlug* plug, const TLibraryEntry& set);

// The name of the set the instance plays, as UTF-8.
std::string CurrentSetName(TQuirraPlug* plug);

}  // namespace norv::tool
