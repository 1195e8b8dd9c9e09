// The samples of a source, decoded on demand: what the mapping needs to know
// first (rate, channels, frames, loop), and the frames when they are baked.
#pragma once

#include <vector>

#include "tools/import/SourceRegion.h"

namespace norv::import {

class SampleSource {
public:
    virtual ~SampleSource() = default;
    // Both throw ImportError naming the file and the sample.
    virtual SampleInfo Info(int sample) = 0;
    // Interleaved frames, full scale 1.0, as many as Info says.
    virtual std::vector<float> Decode(int sample) = 0;
};

}  // namespace norv::import
