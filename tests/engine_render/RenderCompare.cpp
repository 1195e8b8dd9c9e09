#include "RenderCompare.h"

#include <algorithm>

namespace norv::test {

std::vector<TVoiceRenderer> FastPaths() {
    std::vector<TVoiceRenderer> paths;
    for (TVoiceRenderer p : {TVoiceRenderer::Portable, TVoiceRenderer::AVX2, TVoiceRenderer::AVX512})
        if (VoiceRendererAvailable(p)) paths.push_back(p);
    return paths;
}

void SignalDiff::Add(const float* expected, const float* actual, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        Peak = std::max(Peak, std::fabs(static_cast<double>(expected[i])));
        const double d = std::fabs(static_cast<double>(expected[i]) - actual[i]);
        // A NaN on either side counts as the largest difference.
        MaxDiff = std::max(MaxDiff, d == d ? d : INFINITY);
        Different += expected[i] != actual[i];
        ++Samples;
    }
}

void ExpectWithinTolerance(const SignalDiff& d) {
    EXPECT_LT(d.MaxDiff, 1e-6 * d.Peak) << "peak " << d.Peak;
    EXPECT_LE(d.Different * 1000, d.Samples) << d.Different << " of " << d.Samples << " samples differ";
}

namespace {

void ExpectClose(float expected, float actual, const char* field) {
    const double tol = 1e-6 * std::max(std::fabs(expected), std::fabs(actual)) + 1e-30;
    EXPECT_LE(std::fabs(static_cast<double>(expected) - actual), tol) << field << ": " << expected << " vs " << actual;
}

}  // namespace

void ExpectSameVoice(const TPianoVoice& e, const TPianoVoice& a) {
    EXPECT_EQ(e.Pos, a.Pos);
    EXPECT_EQ(e.Frac, a.Frac);
    EXPECT_EQ(e.Step, a.Step);
    EXPECT_EQ(e.Ended, a.Ended);
    ExpectClose(e.Level, a.Level, "Level");
    ExpectClose(e.FilterL, a.FilterL, "FilterL");
    ExpectClose(e.PrevL, a.PrevL, "PrevL");
    ExpectClose(e.FilterR, a.FilterR, "FilterR");
    ExpectClose(e.PrevR, a.PrevR, "PrevR");
    ExpectClose(e.GainL, a.GainL, "GainL");
    ExpectClose(e.GainR, a.GainR, "GainR");
    ExpectClose(e.GainEndL, a.GainEndL, "GainEndL");
    ExpectClose(e.GainEndR, a.GainEndR, "GainEndR");
    ExpectClose(e.GainIncL, a.GainIncL, "GainIncL");
    ExpectClose(e.GainIncR, a.GainIncR, "GainIncR");
}

}  // namespace norv::test
