// Comparing what a renderer path gives with what the reference gives.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/MixFast.h"
#include "engine/Voice.h"

namespace norv::test {

// The renderer paths this machine runs besides the reference.
std::vector<TVoiceRenderer> FastPaths();

// Selects a renderer path for the rest of a test and restores the previous one.
class RendererScope {
public:
    RendererScope() : saved_(ActiveVoiceRenderer()) {}
    ~RendererScope() { SetVoiceRenderer(saved_); }
    RendererScope(const RendererScope&) = delete;
    RendererScope& operator=(const RendererScope&) = delete;

private:
    TVoiceRenderer saved_;
};

// Largest difference of two signals, the peak of the first, and how many
// samples differ at all.
struct SignalDiff {
    double Peak = 0;
    double MaxDiff = 0;
    int64_t Samples = 0;
    int64_t Different = 0;
    void Add(const float* expected, const float* actual, size_t count);
};

// The production renderer's tolerance: the largest difference stays below
// 1e-6 of the peak. The paths follow the reference's rounding, so nearly
// every sample is the same to the bit; 1 in 1000 may differ.
void ExpectWithinTolerance(const SignalDiff& d);

// Positions exactly; the float state within 1e-6 relative (1e-30 absolute,
// for values that one side keeps as a denormal and the other flushes).
void ExpectSameVoice(const TPianoVoice& expected, const TPianoVoice& actual);

}  // namespace norv::test
