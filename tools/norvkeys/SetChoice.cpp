#include "tools/norvkeys/SetChoice.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "host/StateStream.h"
#include "tools/mklv2ttl/LibraryPresets.h"
#include "base/Cp936.h"
#include "base/NumberFormat.h"
#include "base/TextCase.h"
#include "engine/Parameters.h"
#include "base/IniFile.h"
#include "wavetable/WavTables.h"

namespace norv::tool {
namespace {

std::string SetList(const std::vector<TLibraryEntry>& sets) {
    if (sets.empty()) return "no sets are installed";
    std::string list = "installed sets:";
    for (size_t i = 0; i < sets.size(); ++i)
        list += "\n  " + std::to_string(i) + "  " + DisplayText(sets[i].Name) + "  (" +
                std::filesystem::path(sets[i].File).filename().string() + ")";
    return list;
}

bool TextMatches(const std::string& stored, const std::string& text) {
    return EqualsIgnoreCase(stored, text) || EqualsIgnoreCase(DisplayText(stored), text) ||
           EqualsIgnoreCase(stored, Utf8ToCp936(text));
}

std::optional<size_t> ParseIndex(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return static_cast<size_t>(std::stoul(text));
}

size_t LoadFailures(const host::Host& host) {
    return static_cast<size_t>(std::count(host.StatusTexts.begin(), host.StatusTexts.end(),
                                          std::string(TPianoWaveTable::kLoadErrorText)));
}

}  // namespace

std::string BundleFolder(const std::string& plugin) {
    return (std::filesystem::path(plugin).parent_path() / "WavTables").string() + "/";
}

std::vector<TLibraryEntry> InstalledSets(const std::string& plugin) {
    const TPianoWaveTable table(BundleFolder(plugin), 0);
    return ScanLibrary(table);
}

std::optional<size_t> MatchSet(const std::vector<TLibraryEntry>& sets, const std::string& text) {
    for (size_t i = 0; i < sets.size(); ++i)
        if (TextMatches(sets[i].Name, text)) return i;
    // The label `norvkeys list` and the panel's selector show.
    for (size_t i = 0; i < sets.size(); ++i)
        if (TextMatches(sets[i].Label, text)) return i;
    for (size_t i = 0; i < sets.size(); ++i) {
        const std::string file = std::filesystem::path(sets[i].File).filename().string();
        if (EqualsIgnoreCase(file, text) || EqualsIgnoreCase(file, text + ".wti")) return i;
    }
    const std::optional<size_t> index = ParseIndex(text);
    if (index && *index < sets.size()) return index;
    return std::nullopt;
}

std::string NoSuchSet(const std::vector<TLibraryEntry>& sets, const std::string& text) {
    return "--set " + text + ": no such set; " + SetList(sets);
}

bool FoundByName(const std::vector<TLibraryEntry>& sets, size_t index) {
    const TLibraryEntry& e = sets.at(index);
    if (e.Name.size() > host::kMaxStateNameBytes) return false;
    for (size_t j = 0; j < index; ++j)
        if (EqualsIgnoreCase(sets[j].Name, e.Name)) return false;
    return true;
}

std::string LoadedName(const TLibraryEntry& set) {
    // The instance loads what a [default] key in the definition points to.
    const TPianoWaveTable table("./", 0);
    const TIniFile ini{std::filesystem::path(table.ResolveDefault(set.File))};
    return ini.ReadString("info", "name", "");
}

ChosenSet ResolveSet(const std::string& plugin, const std::string& text) {
    ChosenSet chosen;
    chosen.Plugin = plugin;
    if (text.empty()) return chosen;
    const bool isPath = text.find('/') != std::string::npos;
    const std::vector<TLibraryEntry> installed = InstalledSets(plugin);
    const std::optional<size_t> match = isPath ? std::nullopt : MatchSet(installed, text);
    if (match && FoundByName(installed, *match)) {
        chosen.Entry = installed[*match];
        return chosen;
    }
    std::string definition;
    std::error_code ec;
    if (match) {
        definition = installed[*match].File;
    } else if (isPath || std::filesystem::exists(text, ec)) {
        definition = text;
        chosen.Given = text;
    } else {
        throw std::runtime_error(NoSuchSet(installed, text));
    }
    chosen.Bundle = std::make_unique<SetBundle>(plugin, definition);
    chosen.Plugin = chosen.Bundle->Plugin();
    const std::vector<TLibraryEntry> sets = InstalledSets(chosen.Plugin);
    if (sets.empty() || std::filesystem::path(sets[0].File).filename() != chosen.Bundle->Definition())
        throw std::runtime_error(definition + ": the instrument does not list this set");
    chosen.Entry = sets[0];
    return chosen;
}

void ChooseSet(host::Host& host, TQuirraPlug* plug, const TLibraryEntry& set, bool keepOthers) {
    std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    if (!state) throw std::runtime_error("the instrument saved a state this host cannot read");
    state->Version = 1;
    state->Name = set.Name;
    const std::vector<std::optional<double>> preset = lv2::SetPreset(set, static_cast<int>(state->Values.size()));
    for (size_t i = 0; i < preset.size(); ++i) {
        if (preset[i])
            state->Values[i] = static_cast<int32_t>(plug->HandleParameter(
                static_cast<intptr_t>(i), static_cast<intptr_t>(RoundEven(*preset[i] * 65536.0L)), ParamFlag::HostScale));
        else if (!keepOthers && i < kParams.size())
            state->Values[i] = kParams[i].Initial;
    }
    const size_t failures = LoadFailures(host);
    host::RestoreInstanceState(host, plug, host::StateBytes(*state));

    // A failed load keeps the previous set and tells the host so. The set's
    // own name is what the instance reports, not the library's: a definition
    // without a name is listed under its file's but plays under none.
    const std::string expected = LoadedName(set).substr(0, host::kMaxStateNameBytes);
    const std::optional<host::SavedState> now = host::ParseState(host::SaveInstanceState(plug));
    if (!now || now->Name != expected || LoadFailures(host) > failures)
        throw std::runtime_error(set.File + ": the instrument could not load set \"" + DisplayText(set.Name) + "\"");
}

}  // namespace norv::tool
