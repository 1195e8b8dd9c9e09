// The LV2 bundle's two Turtle files as text: the manifest and the plug-in's
// description with its ports and its UI.
#pragma once

#include <cstdint>
#include <string>

namespace norv::lv2 {

// What the generator learns from the built plug-in rather than repeating it.
struct PluginFacts {
    int32_t DefaultPolyphony = 0;
};

std::string ManifestTurtle();
std::string PluginTurtle(const PluginFacts& facts);

// A ShortName made a valid lv2:symbol: [A-Za-z_][A-Za-z0-9_]*.
std::string PortSymbol(const std::string& name);

}  // namespace norv::lv2
