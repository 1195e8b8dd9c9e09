#include "tools/norvkeys/SetChoice.h"

#include <filesystem>
#include <stdexcept>

#include "host/StateStream.h"
#include "base/Cp936.h"
#include "base/NumberFormat.h"
#include "base/TextCase.h"
#include "wavetable/IniFile.h"
#include "wavetable/WavTables.h"

namespace norv::tool {
namespace {

std::string SetList(const std::vector<TLibraryEntry>& sets) {
    if (sets.empty()) return "no sets are installed";
    std::string list = "installed sets:";
    for (size_t i = 0; i < sets.size(); ++i) list += "\n  " + std::to_string(i) + "  " + DisplayText(sets[i].Name);
    return list;
}

bool NameMatches(const TLibraryEntry& e, const std::string& text) {
    return EqualsIgnoreCase(e.Name, text) || EqualsIgnoreCase(DisplayText(e.Name), text) ||
           EqualsIgnoreCase(e.Name, Utf8ToCp936(text));
}

std::optional<size_t> ParseIndex(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return static_cast<size_t>(std::stoul(text));
}

}  // namespace

std::vector<TLibraryEntry> InstalledSets(const std::string& plugin) {
    // The folder an instance of the bundle scans: WavTables/ beside the plug-in.
    const std::string folder = (std::filesystem::path(plugin).parent_path() / "WavTables").string() + "/";
    const TPianoWaveTable table(folder, 0);
    return ScanLibrary(table);
}

size_t FindSet(const std::vector<TLibraryEntry>& sets, const std::string& text) {
    std::optional<size_t> found;
    for (size_t i = 0; i < sets.size() && !found; ++i)
        if (NameMatches(sets[i], text)) found = i;
    if (!found) {
        found = ParseIndex(text);
        if (!found || *found >= sets.size())
            throw std::runtime_error("--set " + text + ": no such set; " + SetList(sets));
    }
    const TLibraryEntry& e = sets[*found];
    const std::string shown = DisplayText(e.Name);
    if (e.Name.size() > host::kMaxStateNameBytes)
        throw std::runtime_error("--set " + text + ": the name of set " + std::to_string(*found) +
                                 " is too long for the instrument to find it again");
    for (size_t j = 0; j < *found; ++j)
        if (EqualsIgnoreCase(sets[j].Name, e.Name))
            throw std::runtime_error("--set " + text + ": sets " + std::to_string(j) + " and " + std::to_string(*found) +
                                     " share the name \"" + shown + "\"; the instrument only finds set " +
                                     std::to_string(j) + " by that name");
    return *found;
}

std::vector<std::optional<double>> SetPreset(const TLibraryEntry& set, int paramCount) {
    const TIniFile ini{std::filesystem::path(set.File)};
    std::vector<std::optional<double>> preset(static_cast<size_t>(std::max(paramCount, 0)));
    for (size_t i = 0; i < preset.size(); ++i) {
        const double x = ini.ReadFloat("parameters", std::to_string(i), -1.0);
        if (x >= 0.0 && x <= 1.0) preset[i] = x;
    }
    return preset;
}

void ChooseSet(host::Host& host, TQuirraPlug* plug, const TLibraryEntry& set) {
    std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    if (!state) throw std::runtime_error("the instrument saved a state this host cannot read");
    state->Version = 1;
    state->Name = set.Name;
    const std::vector<std::optional<double>> preset = SetPreset(set, static_cast<int>(state->Values.size()));
    for (size_t i = 0; i < preset.size(); ++i)
        if (preset[i])
            state->Values[i] = static_cast<int32_t>(plug->HandleParameter(
                static_cast<intptr_t>(i), static_cast<intptr_t>(RoundEven(*preset[i] * 65536.0L)), ParamFlag::HostScale));
    host::RestoreInstanceState(host, plug, host::StateBytes(*state));

    const std::optional<host::SavedState> now = host::ParseState(host::SaveInstanceState(plug));
    if (!now || now->Name != set.Name)
        throw std::runtime_error(set.File + ": the instrument could not load set \"" + DisplayText(set.Name) + "\"");
}

std::string CurrentSetName(TQuirraPlug* plug) {
    const std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    return state ? DisplayText(state->Name) : std::string();
}

}  // namespace norv::tool
