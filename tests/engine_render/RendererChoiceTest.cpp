// Choosing the renderer path (names, availability, NORV_RENDERER) and the
// floating-point state of a block: denormals flushed inside, the caller's
// state back afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "RenderCompare.h"
#include "TestSet.h"
#include "engine/Denormals.h"
#include "plugin/QP_Extra.h"
#include "support/PluginFixture.h"

namespace norv::test {
namespace {

constexpr TVoiceRenderer kAll[] = {TVoiceRenderer::Reference, TVoiceRenderer::Portable, TVoiceRenderer::AVX2,
                                   TVoiceRenderer::AVX512};

TEST(VoiceRendererChoice, NamesLanesAndAvailability) {
    RendererScope restore;
    for (TVoiceRenderer p : kAll) {
        TVoiceRenderer back;
        ASSERT_TRUE(ParseVoiceRenderer(VoiceRendererName(p), back));
        EXPECT_EQ(back, p);
    }
    TVoiceRenderer unchanged = TVoiceRenderer::AVX2;
    for (const char* bad : {"", "AVX2", "avx", "best", "reference "}) EXPECT_FALSE(ParseVoiceRenderer(bad, unchanged));
    EXPECT_EQ(unchanged, TVoiceRenderer::AVX2);

    EXPECT_STREQ(VoiceRendererName(TVoiceRenderer::AVX512), "avx512");
    EXPECT_EQ(VoiceRendererLanes(TVoiceRenderer::Reference), 1);
    EXPECT_EQ(VoiceRendererLanes(TVoiceRenderer::AVX2), 8);
    EXPECT_EQ(VoiceRendererLanes(TVoiceRenderer::AVX512), 16);
    EXPECT_LE(VoiceRendererLanes(TVoiceRenderer::Portable), kMaxVoiceLanes);

    EXPECT_TRUE(VoiceRendererAvailable(TVoiceRenderer::Reference));
    EXPECT_TRUE(VoiceRendererAvailable(TVoiceRenderer::Portable));
    EXPECT_FALSE(VoiceRendererAvailable(static_cast<TVoiceRenderer>(7)));
#if defined(__x86_64__)
    EXPECT_EQ(VoiceRendererAvailable(TVoiceRenderer::AVX2),
              __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"));
#else
    EXPECT_FALSE(VoiceRendererAvailable(TVoiceRenderer::AVX2));
    EXPECT_FALSE(VoiceRendererAvailable(TVoiceRenderer::AVX512));
#endif
    const TVoiceRenderer best = BestVoiceRenderer();
    EXPECT_TRUE(VoiceRendererAvailable(best));
    EXPECT_NE(best, TVoiceRenderer::Reference);
    if (VoiceRendererAvailable(TVoiceRenderer::AVX512)) {
        EXPECT_EQ(best, TVoiceRenderer::AVX512);
    }

    // A path the CPU cannot run is refused and changes nothing.
    for (TVoiceRenderer p : kAll) {
        ASSERT_TRUE(SetVoiceRenderer(TVoiceRenderer::Portable));
        EXPECT_EQ(SetVoiceRenderer(p), VoiceRendererAvailable(p));
        EXPECT_EQ(ActiveVoiceRenderer(), VoiceRendererAvailable(p) ? p : TVoiceRenderer::Portable);
    }
    EXPECT_FALSE(SetVoiceRenderer(static_cast<TVoiceRenderer>(-1)));
}

// Run as a child with NORV_RENDERER set: the path chosen at start-up.
TEST(VoiceRendererChoice, FollowsTheEnvironment) {
    if (const char* expected = std::getenv("NORV_RENDERER_EXPECTED")) {
        TVoiceRenderer want;
        ASSERT_TRUE(ParseVoiceRenderer(expected, want));
        EXPECT_EQ(ActiveVoiceRenderer(), want);
        return;
    }
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    auto child = [&](const std::string& setting, TVoiceRenderer expected) {
        const std::string command = "NORV_RENDERER='" + setting + "' NORV_RENDERER_EXPECTED=" +
                                    VoiceRendererName(expected) + " '" + self +
                                    "' --gtest_filter=VoiceRendererChoice.FollowsTheEnvironment >/dev/null 2>&1";
        return std::system(command.c_str());
    };
    for (TVoiceRenderer p : kAll) {
        if (VoiceRendererAvailable(p)) {
            EXPECT_EQ(child(VoiceRendererName(p), p), 0) << VoiceRendererName(p);
        }
    }
    // Anything else, and a path the CPU lacks, give the best path.
    EXPECT_EQ(child("turbo", BestVoiceRenderer()), 0);
    for (TVoiceRenderer p : kAll) {
        if (!VoiceRendererAvailable(p)) {
            EXPECT_EQ(child(VoiceRendererName(p), BestVoiceRenderer()), 0) << VoiceRendererName(p);
        }
    }
    // The check itself can fail.
    EXPECT_NE(child("reference", TVoiceRenderer::Portable), 0);
}

TEST(Denormals, GuardFlushesAndGivesTheStateBack) {
    volatile float tiny = 1e-30f;
    volatile float small = 1e-10f;
#if defined(__x86_64__)
    const unsigned original = _mm_getcsr();
    // A caller that keeps denormals and rounds toward zero.
    const unsigned caller = (original & ~0xE040u & ~0x3Fu) | 0x6000u;
    _mm_setcsr(caller);
    {
        const TDenormalGuard guard;
        EXPECT_TRUE(DenormalsFlushed());
        EXPECT_EQ(tiny * small, 0.0f);
        // Round to nearest inside, whatever the caller had.
        volatile float one = 1.0f, bit = 0x1.8p-24f;
        EXPECT_EQ(one + bit, 1.0f + 0x1p-23f);
        volatile float zero = 0.0f;
        volatile float inf = 1.0f / zero;  // raises divide-by-zero, masked
        EXPECT_GT(inf, 0.0f);
    }
    const unsigned after = _mm_getcsr();
    _mm_setcsr(original);
    EXPECT_EQ(after & ~0x3Fu, caller & ~0x3Fu);
    EXPECT_NE(after & 0x4u, 0u) << "a flag raised inside stays raised";
    EXPECT_FALSE((after & 0x8000u) != 0);
#else
    const bool before = DenormalsFlushed();
    {
        const TDenormalGuard guard;
        EXPECT_TRUE(DenormalsFlushed() || !before);
#if defined(__aarch64__)
        EXPECT_TRUE(DenormalsFlushed());
        EXPECT_EQ(tiny * small, 0.0f);
#endif
    }
    EXPECT_EQ(DenormalsFlushed(), before);
#endif
}

// Records the floating-point state the instance renders in.
class ProbeHost : public host::Host {
public:
    using host::Host::Host;
    void ComputeVoiceGains(float* left, float* right, float pan, float volume) override {
        FlushedInside = DenormalsFlushed();
        host::Host::ComputeVoiceGains(left, right, pan, volume);
    }
    bool FlushedInside = false;
};

using RenderState = PluginFixture;

TEST_F(RenderState, RenderMixFlushesDenormalsAndRestoresTheCaller) {
    std::mt19937 rng(21);
    WriteSet(dir.path() / "WavTables", {1, 2, 1, 44100}, rng);
    ProbeHost probe(&CreateInstanceChecked);
    probe.Status.Quiet = true;
    TTestPlug* plugs[2];
    for (TTestPlug*& p : plugs) {
        p = static_cast<TTestPlug*>(probe.CreateInstance());
        ASSERT_NE(p, nullptr);
        p->HostCommand(PlugCommand::SetSampleRate, 0, 44100);
        ASSERT_NE(probe.StartVoice(p, 0, 60, 1.0f, 1.0f, 0.3f, 0.0f), nullptr);
        ASSERT_NE(probe.StartVoice(p, 0, 67, 0.7f, 0.7f, -0.5f, 0.0f), nullptr);
    }
    ASSERT_FALSE(DenormalsFlushed());
    std::vector<float> plain(1024), odd(1024);
    probe.RenderBlock(plugs[0], plain.data(), 512);
    EXPECT_TRUE(probe.FlushedInside);
    EXPECT_FALSE(DenormalsFlushed());
#if defined(__x86_64__)
    // A host thread that rounds toward zero gets the same sound, and its
    // state back.
    const unsigned original = _mm_getcsr();
    const unsigned caller = (original & ~0x3Fu) | 0x6000u;
    _mm_setcsr(caller);
    probe.RenderBlock(plugs[1], odd.data(), 512);
    const unsigned after = _mm_getcsr();
    _mm_setcsr(original);
    EXPECT_EQ(after & ~0x3Fu, caller & ~0x3Fu);
    EXPECT_EQ(plain, odd);
#endif
    float peak = 0;
    for (float x : plain) peak = std::max(peak, std::fabs(x));
    EXPECT_GT(peak, 0.001f);
    for (TTestPlug* p : plugs) probe.DestroyInstance(p);
}

}  // namespace
}  // namespace norv::test
