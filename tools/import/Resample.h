// Rate and pitch changes of sample frames, with libsoxr.
#pragma once

#include <vector>

namespace norv::import {

// Interleaved frames played `ratio` times as many frames long (ratio =
// output rate / input rate), aligned so that input frame t lands on output
// frame t x ratio. The input is taken as silent beyond its ends.
std::vector<float> Resample(const std::vector<float>& frames, int channels, double ratio);

}  // namespace norv::import
