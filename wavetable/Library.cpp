#include "wavetable/Library.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "base/TextCase.h"
#include "base/FileSystem.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

bool HasWtiExtension(const std::string& name) {
    return name.size() >= 4 && EqualsIgnoreCase(std::string_view(name).substr(name.size() - 4), ".wti");
}

}  // namespace

std::vector<TLibraryEntry> ScanFolder(const TPianoWaveTable& table) {
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

std::string UserLibraryFolder() {
    const auto withSlash = [](std::string path) { return path.empty() || path.back() == '/' ? path : path + "/"; };
    if (const char* chosen = std::getenv("NORVKEYS_USER_SETS")) return withSlash(chosen);
    // XDG's base directory rules take absolute paths only.
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/')
        return withSlash(data) + "norvkeys/WavTables/";
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        return withSlash(home) + ".local/share/norvkeys/WavTables/";
    return "";
}

std::vector<TLibraryEntry> ScanLibrary(const TPianoWaveTable& table) {
    std::vector<TLibraryEntry> entries = ScanFolder(table);
    const std::string user = UserLibraryFolder();
    std::error_code ec;
    if (user.empty() || !std::filesystem::is_directory(user, ec) || std::filesystem::equivalent(user, table.Folder, ec))
        return entries;
    TPianoWaveTable userTable(user, 0);
    const size_t bundle = entries.size();
    std::vector<TLibraryEntry> own = ScanFolder(userTable);
    // The user library's own default.wti says nothing: file-name order.
    std::sort(own.begin(), own.end(), [](const TLibraryEntry& a, const TLibraryEntry& b) { return a.File < b.File; });
    for (TLibraryEntry& e : own) {
        const bool shadowed = std::any_of(entries.begin(), entries.begin() + static_cast<long>(bundle),
                                          [&](const TLibraryEntry& b) { return EqualsIgnoreCase(b.Name, e.Name); });
        if (!shadowed) entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace norv
