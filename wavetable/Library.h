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
std::vector<TLibraryEntry> ScanLibrary(const TPianoWaveTable& table);

}  // namespace norv
