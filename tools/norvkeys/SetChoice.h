// Choosing a sound set from the command line. An instance shows its library
// only through the saved state: a state naming a set makes the instance load
// it. So a set is chosen by restoring a state that names it, with the set's
// own preset in the parameter block, as choosing it in the selector would.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/HostServices.h"
#include "tools/norvkeys/SetBundle.h"
#include "wavetable/Library.h"

namespace norv::tool {

// The folder an instance of the bundle at `plugin` scans: WavTables/ beside the plug-in.
std::string BundleFolder(const std::string& plugin);

// The library an instance of the bundle at `plugin` sees, in the order of `norvkeys list`.
std::vector<TLibraryEntry> InstalledSets(const std::string& plugin);

// The entry `text` names: a set name without regard to letter case (as UTF-8
// or as the set's own bytes), else its label ("Grand (Norv)"), else a
// definition's file name with or without ".wti", else an index into the
// list. nullopt when none matches.
std::optional<size_t> MatchSet(const std::vector<TLibraryEntry>& sets, const std::string& text);

// "--set TEXT: no such set; installed sets: ..."
std::string NoSuchSet(const std::vector<TLibraryEntry>& sets, const std::string& text);

// Whether a state naming sets[index] makes the instance load that set: not
// when an earlier set has the same name in some letter case (the instance
// takes the first), nor when the name is too long for the state.
bool FoundByName(const std::vector<TLibraryEntry>& sets, size_t index);

// The name an instance playing `set` reports in its state: the definition's
// own, empty when it has none (the library lists such a set under its file name).
std::string LoadedName(const TLibraryEntry& set);

// What --set came to: the plug-in to load and the set. Sets that a state
// cannot reach by their name (shadowed by an earlier namesake, or named too
// long) and definitions outside the library play from a SetBundle, whose
// link is then the plug-in to load.
struct ChosenSet {
    std::unique_ptr<SetBundle> Bundle;
    std::string Plugin;
    std::optional<TLibraryEntry> Entry;  // none without --set
    std::string Given;                   // the path given, for a definition outside the library
};

// `text` is what MatchSet takes, or the path of a .wti file; a text with a
// '/' is always a path. Throws std::runtime_error naming the set or the file
// and the reason.
ChosenSet ResolveSet(const std::string& plugin, const std::string& text);

// Loads `set` into the instance: its preset where it has one; every other
// parameter as it was when `keepOthers` (values a restored state gave), else
// at its default, as the panel's selector does: what a new instance took
// from its first set's preset is no choice of the user's. Throws
// std::runtime_error when the instance could not load the set (it keeps its
// previous set then).
void ChooseSet(host::Host& host, TQuirraPlug* plug, const TLibraryEntry& set, bool keepOthers);

}  // namespace norv::tool
