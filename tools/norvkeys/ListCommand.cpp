// norvkeys list: the sound-set library as the instrument's selector shows it.
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/WorkingValues.h"
#include "base/Cp936.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Json.h"
#include "tools/norvkeys/SetChoice.h"
#include "tools/norvkeys/TextColumns.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"

namespace norv::tool {
namespace {

struct ListOptions {
    std::string Folder;
    bool Json = false;
};

void PrintJson(const std::string& folder, const std::vector<TLibraryEntry>& entries) {
    std::cout << "{\n  \"Folder\": " << JsonString(DisplayText(folder)) << ",\n  \"Sets\": [";
    for (size_t i = 0; i < entries.size(); ++i) {
        const TLibraryEntry& e = entries[i];
        std::cout << (i ? ",\n" : "\n") << "    {\"Index\": " << i << ", \"Label\": " << JsonString(DisplayText(e.Label))
                  << ", \"Name\": " << JsonString(DisplayText(e.Name))
                  << ", \"File\": " << JsonString(DisplayText(e.File)) << "}";
    }
    std::cout << (entries.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void PrintTable(const std::vector<TLibraryEntry>& entries) {
    std::vector<std::string> labels, names;
    size_t labelWidth = 5, nameWidth = 4;
    for (const TLibraryEntry& e : entries) {
        labels.push_back(DisplayText(e.Label));
        names.push_back(DisplayText(e.Name));
        labelWidth = std::max(labelWidth, DisplayColumns(labels.back()));
        nameWidth = std::max(nameWidth, DisplayColumns(names.back()));
    }
    std::cout << PadColumns("#", 4) << PadColumns("label", labelWidth + 2) << PadColumns("name", nameWidth + 2)
              << "file\n";
    for (size_t i = 0; i < entries.size(); ++i)
        std::cout << PadColumns(std::to_string(i), 4) << PadColumns(labels[i], labelWidth + 2)
                  << PadColumns(names[i], nameWidth + 2) << DisplayText(entries[i].File) << "\n";
}

void AddListCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand(
        "list", "Print the sound-set library as the selector shows it: label, name and file; entry 0, the set that "
                "default.wti names, is the one an instance loads first");
    auto opts = std::make_shared<ListOptions>();
    cmd->add_option("--folder", opts->Folder,
                    "Folder of .wti definitions to list, alone (default: WavTables/ beside the --plugin bundle, then "
                    "the user library)");
    cmd->add_flag("--json", opts->Json, "Print JSON instead of a table");
    cmd->callback([&common, opts] {
        const std::string folder = opts->Folder.empty() ? BundleFolder(common.Plugin) : opts->Folder;
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec))
            throw std::runtime_error(folder + ": " + (std::filesystem::exists(folder, ec) ? "not a folder" : "no such folder"));
        const TPianoWaveTable table(folder, kParamCount);
        // The bundle's library is what an instance offers, the user's sets after it.
        const std::vector<TLibraryEntry> entries = opts->Folder.empty() ? ScanLibrary(table) : ScanFolder(table);
        if (opts->Json)
            PrintJson(table.Folder, entries);
        else
            PrintTable(entries);
    });
}

const CommandRegistrar kList(AddListCommand);

}  // namespace
}  // namespace norv::tool
