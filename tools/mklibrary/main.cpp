// mklibrary: the recorded grand into the bundle's library where its package
// is installed, and default.wti naming the default set.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "Library.h"

int main(int argc, char** argv) {
    CLI::App app{"Imports the packaged recorded grand into a WavTables folder and names the default set."};
    norv::library::LibraryOptions o;
    std::string folder, source;
    app.add_option("folder", folder, "WavTables folder (Norv Grand already in it)")->required();
    app.add_option("--source", source, "The recorded grand's SoundFont; when it is missing, Norv Grand is the default")
        ->required();
    app.add_option("--preset", o.Preset, "Its preset (BANK:PROGRAM or name)");
    app.add_option("--name", o.Name, "The set's name");
    app.add_option("--shortname", o.ShortName, "The set's short name");
    CLI11_PARSE(app, argc, argv);
    o.WavTables = folder;
    o.Source = source;
    try {
        o.Importer = std::filesystem::read_symlink("/proc/self/exe");
        const norv::library::LibraryReport r = norv::library::UpdateLibrary(o);
        if (r.Imported) std::printf("mklibrary: imported %s from %s\n", o.Name.c_str(), source.c_str());
        std::printf("mklibrary: the default set is %s\n", r.Default.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mklibrary: %s\n", e.what());
        return 1;
    }
    return 0;
}
