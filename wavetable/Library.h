// The library of installed sets: every .wti definition of a folder, the
// default set first, with the label the selector shows.
#pragma once

#include <string>
#include <vector>

namespace norv {

class TPianoWaveTable;

struct TLibraryEntry {
    std::string Name;   // info name, or the file's base name
    std::string Label;  // "<short> (Norv)" or "<short> (<size>)"
    std::string File;   // folder + the name as listed
};

// Scans `table`'s folder. Sorted by file name; the set that "default.wti"
// points to (in any letter case) comes first; "default.wti" itself is not listed.
std::vector<TLibraryEntry> ScanFolder(const TPianoWaveTable& table);

// The user's own library, where a user without rights to the bundle keeps
// imported sets: $NORVKEYS_USER_SETS (set but empty: none), else
// $XDG_DATA_HOME/norvkeys/WavTables/, else ~/.local/share/norvkeys/WavTables/.
// With a trailing slash; empty when there is none.
std::string UserLibraryFolder();

// The library an instance offers: `table`'s folder (the bundle's) as
// ScanFolder gives it, then the user library's sets in file-name order. A
// set whose name the bundle already has is left out: states name sets, and
// the bundle's plays.
std::vector<TLibraryEntry> ScanLibrary(const TPianoWaveTable& table);

}  // namespace norv
