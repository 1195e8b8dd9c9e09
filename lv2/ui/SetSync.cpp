#include "lv2/ui/SetSync.h"

#include "base/Cp936.h"
#include "base/TextCase.h"
#include "host/StateStream.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"

namespace norv::lv2 {

std::string InstanceSetName(TQuirraPlug* plug) {
    const std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    return state ? state->Name : std::string();
}

std::string SetPropertyName(const std::string& setName) { return DisplayText(setName); }

std::optional<std::string> LibrarySetName(const std::string& wavTables, const std::string& utf8) {
    const TPianoWaveTable table(wavTables, 0);
    const std::vector<TLibraryEntry> sets = ScanLibrary(table);
    // The instance itself finds a name without regard to letter case.
    for (const bool exact : {true, false})
        for (const TLibraryEntry& e : sets) {
            const std::string shown = DisplayText(e.Name);
            if (exact ? shown == utf8 : EqualsIgnoreCase(shown, utf8)) return e.Name;
        }
    return std::nullopt;
}

bool LoadSetNamed(host::Host& host, TQuirraPlug* plug, const std::string& setName) {
    std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    if (!state) return false;
    state->Version = 1;
    state->Name = setName;
    host::RestoreInstanceState(host, plug, host::StateBytes(*state));
    return EqualsIgnoreCase(InstanceSetName(plug), setName);
}

}  // namespace norv::lv2
