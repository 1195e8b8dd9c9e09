#include "wavetable/Library.h"

#include <algorithm>
#include <filesystem>

#include "base/TextCase.h"
#include "wavetable/FileSystem.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

bool HasWtiExtension(const std::string& name) {
    return name.size() >= 4 && EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".wti");
}

}  // namespace

std::vector<TLibraryEntry> ScanLibrary(const TPianoWaveTable& table) {
    std::vector<TLibraryEntry> entries;
    const std::string& folder = table.Folder;
    std::string defaultPath;
    if (FileExists(folder + "default.wti")) defaultPath = UpperCase(table.ResolveDefault(folder + "default.wti"));

    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (HasWtiExtension(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        if (UpperCase(name) == "DEFAULT.WTI") continue;
        const std::string path = folder + name;
        TPianoWaveTable::Summary s = table.ReadSummary(path);
        TLibraryEntry e{s.Name, s.ShortName + (s.IsStandard ? " (Norv)" : " (" + FormatSize(s.SampleBytes) + ")"), path};
        if (UpperCase(path) != defaultPath)
            entries.push_back(std::move(e));
        else
            entries.insert(entries.begin(), std::move(e));
    }
    return entries;
}

}  // namespace norv
