// Builds the default sound set: every note rendered, levelled and written.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "SetLayout.h"

namespace norv::defaultset {

struct SampleReport {
    int root = 0;
    int layer = 0;
    int frames = 0;
    int loopStart = 0;
    double peak = 0;  // fraction of full scale
};

struct SetReport {
    std::vector<SampleReport> samples;
    uintmax_t totalBytes = 0;  // definitions and samples
};

// Writes NorvGrand.wti and NorvGrand/*.wav into the folder
// (created when missing) and removes stale .wav files from NorvGrand/.
// The bytes depend on nothing but this code. Throws std::runtime_error on
// a file that cannot be written.
SetReport GenerateDefaultSet(const std::filesystem::path& wavTables);

}  // namespace norv::defaultset
