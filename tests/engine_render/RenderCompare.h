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

// Largest difference of two signals and the peak of the first.
struct SignalDiff {
    double Peak = 0;
    double MaxDiff = 0;
    void Add(const float* expected, const float* actual, size_t count);
};

// The production renderer's tolerance: the largest difference stays below
// 1e-5 of the peak (-100 dB).
void ExpectWithinTolerance(const SignalDiff& d);

// Position, step and gains as the reference leaves them (gains to the bit:
// ramps must round as the reference's do). The level within 1e-4
// relative: the reference's float steps drift from the exact decay by a few
// 1e-5 over a long note. The filter states within 1e-4 of the voice's scale
// (the largest of its level and states), and 1e-30 absolute for values that
// one side keeps as a denormal and the other flushes.
void ExpectSameVoice(const TPianoVoice& expected, const TPianoVoice& actual);

}  // namespace norv::test
