// Small sound sets written by tests: a definition and its WAVE files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace norv::test {

struct TestSetOptions {
    std::string Name = "Test Set";
    std::string FileBase = "test";   // definition file name without .wti
    int Channels = 1;
    int Rate = 44100;
    int Frames = 4410;               // per sample file
    int Zones = 2;                   // roots 48, 72, ...; highs 59, 999
    int Layers = 2;                  // split at velocity 90
    std::string Extra;               // more [info] lines
    std::string Parameters;          // [parameters] lines
};

// Writes <folder>/<FileBase>.wti and its samples (a sine at the root's
// frequency, looped over its last half) and returns the definition's path.
std::filesystem::path WriteTestSet(const std::filesystem::path& folder, const TestSetOptions& options = {});

}  // namespace norv::test
