// norvkeys: a command-line host for the Norv Keys plug-in.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>

#include "host/PluginLibrary.h"
#include "tools/norvkeys/Commands.h"

namespace norv::tool {
std::vector<AddCommandFn>& RegisteredCommands() {
    static std::vector<AddCommandFn> commands;
    return commands;
}
}  // namespace norv::tool

int main(int argc, char** argv) {
    CLI::App app{"norvkeys: drive the Norv Keys instrument from the command line"};
    app.require_subcommand(1);
    app.fallthrough();
    norv::tool::CommonOptions common;
    common.Plugin = norv::host::DefaultPluginPath();
    app.add_option("--plugin", common.Plugin, "Plug-in bundle to load (default: the bundle of this build)")
        ->capture_default_str();
    for (norv::tool::AddCommandFn add : norv::tool::RegisteredCommands()) add(app, common);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "norvkeys: %s\n", e.what());
        return 1;
    }
    return 0;
}
