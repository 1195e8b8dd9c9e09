// The bundle's library beside Norv Grand: the recorded grand imported from
// the SoundFont package where it is installed (again only when the package
// or the importer changes), and default.wti naming the default set: the
// recorded grand when it is there, else Norv Grand.
#pragma once

#include <filesystem>
#include <string>

namespace norv::library {

struct LibraryOptions {
    std::filesystem::path WavTables;
    std::filesystem::path Source;  // the recorded grand's SoundFont; may be missing
    std::string Preset = "0:0";
    std::string Name = "MuseScore Grand";
    std::string ShortName = "MuseScore";
    std::filesystem::path Importer;  // this program: a new build of it imports again
    std::string Fallback = "NorvGrand.wti";
};

struct LibraryReport {
    bool Imported = false;   // this run imported the recorded grand
    std::string Default;     // the definition default.wti names
};

// Throws std::runtime_error (the importer's errors among them) naming the file.
LibraryReport UpdateLibrary(const LibraryOptions& options);

}  // namespace norv::library
