#include "RenderCompare.h"

#include <algorithm>
#include <utility>

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
    }
}

void ExpectWithinTolerance(const SignalDiff& d) { EXPECT_LT(d.MaxDiff, 1e-5 * d.Peak) << "peak " << d.Peak; }

namespace {

void ExpectClose(float expected, float actual, double tolerance, double scale, const char* field) {
    const double tol = tolerance * scale + 1e-30;
    EXPECT_LE(std::fabs(static_cast<double>(expected) - actual), tol) << field << ": " << expected << " vs " << actual;
}

}  // namespace

void ExpectSameVoice(const TPianoVoice& e, const TPianoVoice& a) {
    EXPECT_EQ(e.Pos, a.Pos);
    EXPECT_EQ(e.Frac, a.Frac);
    EXPECT_EQ(e.Step, a.Step);
    EXPECT_EQ(e.Ended, a.Ended);
    for (auto [field, name] : {std::pair{&TPianoVoice::GainL, "GainL"}, {&TPianoVoice::GainR, "GainR"},
                               {&TPianoVoice::GainEndL, "GainEndL"}, {&TPianoVoice::GainEndR, "GainEndR"},
                               {&TPianoVoice::GainIncL, "GainIncL"}, {&TPianoVoice::GainIncR, "GainIncR"}})
        ExpectClose(e.*field, a.*field, 0.0, 0.0, name);
    ExpectClose(e.Level, a.Level, 1e-4, std::fabs(e.Level), "Level");
    const double scale = std::max({std::fabs(e.Level), std::fabs(e.FilterL), std::fabs(e.PrevL), std::fabs(e.FilterR),
                                   std::fabs(e.PrevR)});
    for (auto [field, name] : {std::pair{&TPianoVoice::FilterL, "FilterL"}, {&TPianoVoice::PrevL, "PrevL"},
                               {&TPianoVoice::FilterR, "FilterR"}, {&TPianoVoice::PrevR, "PrevR"}})
        ExpectClose(e.*field, a.*field, 1e-4, scale, name);
}

}  // namespace norv::test
