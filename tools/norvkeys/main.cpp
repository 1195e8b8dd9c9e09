// norvkeys: a command-line host for the Norv Keys plug-in.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <stdexcept>
#include <string>

#include "NorvVersion.h"
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
    const norv::host::PluginLocation found = norv::host::FindPlugin();
    common.Plugin = found.Path;
    app.add_option("--plugin", common.Plugin,
                   "Plug-in bundle to load (default: $NORVKEYS_PLUGIN, the build tree, ~/.lv2, then the install prefix)")
        ->capture_default_str();
    app.set_version_flag("--version", [&found] {
        return std::string("norvkeys ") + NORV_FILE_VERSION + "\nplug-in: " + found.Path + " (" + found.From + ")";
    });
    for (norv::tool::AddCommandFn add : norv::tool::RegisteredCommands()) add(app, common);
    // `norvkeys help COMMAND` is `norvkeys COMMAND --help`.
    std::string topic;
    auto* help = app.add_subcommand("help", "Print the help of a command, or of norvkeys");
    help->add_option("command", topic, "The command");
    help->callback([&app, &topic] {
        if (topic.empty()) {
            // app.help() would show the selected subcommand: this one.
            std::printf("%s", app.get_formatter()->make_help(&app, app.get_name(), CLI::AppFormatMode::Normal).c_str());
            return;
        }
        CLI::App* command = nullptr;
        try {
            command = app.get_subcommand(topic);
        } catch (const CLI::OptionNotFound&) {
            throw std::runtime_error("help " + topic + ": no such command");
        }
        std::printf("%s", command->help(app.get_name()).c_str());
    });
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
