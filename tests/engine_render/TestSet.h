// Sound sets written for the render tests: WAVE samples and a definition.
#pragma once

#include <filesystem>
#include <random>

namespace norv::test {

struct SetShape {
    int Channels;
    int Zones;
    int Layers;
    int Rate;  // the set's samplerate
};

// Writes render.wti and its Zones x Layers WAVE samples into `folder`. The
// loops vary: a loop from the file, the whole file, no loop, and a loop of a
// few frames that the higher notes step over.
void WriteSet(const std::filesystem::path& folder, const SetShape& shape, std::mt19937& rng);

}  // namespace norv::test
