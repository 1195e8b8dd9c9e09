#include "lv2/SetSwitch.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "base/Cp936.h"
#include "base/TextCase.h"
#include "host/StateStream.h"
#include "lv2/SetLoader.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"

namespace norv::lv2 {
namespace {

bool Names(const TLibraryEntry& e, std::string_view utf8) {
    return EqualsIgnoreCase(DisplayText(e.Name), utf8) || EqualsIgnoreCase(e.Name, Utf8ToCp936(utf8)) ||
           EqualsIgnoreCase(DisplayText(e.Label), utf8);
}

}  // namespace

void SetName::Assign(std::string_view text) {
    Size = static_cast<uint32_t>(std::min(text.size(), kCapacity));
    std::memcpy(Bytes, text.data(), Size);
}

bool ChooseSetByName(host::Host& host, TQuirraPlug* plug, const std::string& folder, std::string_view utf8,
                     std::string& playing, std::string& error, SetLoader* loader) {
    const TPianoWaveTable table(folder, 0);
    const std::vector<TLibraryEntry> sets = ScanLibrary(table);
    const auto match = std::find_if(sets.begin(), sets.end(), [&](const TLibraryEntry& e) { return Names(e, utf8); });
    if (match == sets.end()) {
        error = folder + ": no set named \"" + std::string(utf8) + "\"";
        return false;
    }
    if (loader) loader->Prepare(match->Name);
    // The state is read and written back under the processing lock, so no
    // parameter change from run() falls in between.
    std::unique_lock processing(host.ProcessingMutex());
    std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    if (!state) {
        error = "the instrument saved a state that cannot be read";
        return false;
    }
    state->Name = match->Name;
    host::RestoreInstanceState(host, plug, host::StateBytes(*state));
    const std::optional<host::SavedState> now = host::ParseState(host::SaveInstanceState(plug));
    processing.unlock();
    if (now && loader) loader->Follow(now->Name);
    if (now) playing = DisplayText(now->Name);
    if (!now || !EqualsIgnoreCase(now->Name, match->Name.substr(0, host::kMaxStateNameBytes))) {
        error = match->File + ": the set \"" + DisplayText(match->Name) + "\" did not load";
        return false;
    }
    return true;
}

}  // namespace norv::lv2
