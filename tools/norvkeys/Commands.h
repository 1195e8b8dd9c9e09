// The norvkeys subcommands. Each command's file registers itself:
//   static const norv::tool::CommandRegistrar kParams(AddParamsCommand);
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace norv::tool {

// Options every command takes.
struct CommonOptions {
    std::string Plugin;
};

using AddCommandFn = void (*)(CLI::App& app, CommonOptions& common);

// Every registered command, in name order.
std::vector<AddCommandFn>& RegisteredCommands();

struct CommandRegistrar {
    explicit CommandRegistrar(AddCommandFn add) { RegisteredCommands().push_back(add); }
};

}  // namespace norv::tool
