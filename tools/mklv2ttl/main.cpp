// mklv2ttl PLUGIN OUTDIR: writes OUTDIR/norv-keys.ttl, OUTDIR/presets.ttl (one
// preset per set of OUTDIR/WavTables/) and OUTDIR/manifest.ttl.
// The plug-in at PLUGIN is loaded as any host loads it, for the facts only
// it knows (its default polyphony). Each file is written under a temporary
// name and renamed, so a failed run leaves no half file.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "engine/Parameters.h"
#include "host/HostServices.h"
#include "tools/mklv2ttl/LibraryPresets.h"
#include "tools/mklv2ttl/PluginTurtle.h"
#include "wavetable/WavTables.h"

namespace {

norv::lv2::PluginFacts ReadFacts(const std::string& pluginPath) {
    norv::host::Host host(pluginPath);
    TQuirraPlug* plug = host.CreateInstance();
    if (!plug || !plug->Info) throw std::runtime_error(pluginPath + ": the plug-in made no instance");
    const PlugInfoRecord info = *plug->Info;
    host.DestroyInstance(plug);
    if (info.ParamCount != norv::kParamCount)
        throw std::runtime_error(pluginPath + ": the plug-in has " + std::to_string(info.ParamCount) +
                                 " parameters, the table " + std::to_string(norv::kParamCount));
    return {static_cast<int32_t>(info.DefaultPolyphony)};
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) throw std::runtime_error(temporary.string() + ": cannot write");
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) throw std::runtime_error(path.string() + ": " + ec.message());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mklv2ttl PLUGIN.so OUTDIR\n");
        return 2;
    }
    try {
        const norv::lv2::PluginFacts facts = ReadFacts(argv[1]);
        const std::filesystem::path dir = argv[2];
        std::filesystem::create_directories(dir);
        WriteFile(dir / "norv-keys.ttl", norv::lv2::PluginTurtle(facts));
        const norv::TPianoWaveTable library((dir / "WavTables").string() + "/", 0);
        norv::lv2::WritePresets(norv::lv2::PluginBundle(dir), norv::ScanFolder(library));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mklv2ttl: %s\n", e.what());
        return 1;
    }
    return 0;
}
