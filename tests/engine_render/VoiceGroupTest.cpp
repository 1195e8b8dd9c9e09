// The production renderer on hand-made voices, every path against the
// reference: loops, the end of the data, overdrive, groups of every size.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <random>
#include <utility>
#include <vector>

#include "RenderCompare.h"
#include "engine/MixReference.h"

namespace norv::test {
namespace {

// Sample frames that end right at an unreadable page, and start right after
// one, so a read outside the data faults on every path (gathers included).
class GuardedFrames {
public:
    GuardedFrames(int32_t frames, int channels, std::mt19937& rng, int16_t lo = -32768, int16_t hi = 32767)
        : frames_(frames), channels_(channels) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        const size_t bytes = static_cast<size_t>(frames + 1) * channels * sizeof(int16_t);  // + the spare frame
        const size_t body = (bytes + page - 1) / page * page;
        size_ = body + 2 * page;
        base_ = static_cast<char*>(mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        EXPECT_NE(base_, MAP_FAILED);
        mprotect(base_, page, PROT_NONE);
        mprotect(base_ + page + body, page, PROT_NONE);
        data_ = reinterpret_cast<int16_t*>(base_ + page + body - bytes);
        std::uniform_int_distribution<int> value(lo, hi);
        for (size_t i = 0; i < static_cast<size_t>(frames + 1) * channels; ++i)
            data_[i] = static_cast<int16_t>(value(rng));
    }
    ~GuardedFrames() { munmap(base_, size_); }
    GuardedFrames(const GuardedFrames&) = delete;
    GuardedFrames& operator=(const GuardedFrames&) = delete;

    int16_t* Data() const { return data_; }
    int32_t Frames() const { return frames_; }
    bool Stereo() const { return channels_ == 2; }

private:
    int32_t frames_;
    int channels_;
    size_t size_ = 0;
    char* base_ = nullptr;
    int16_t* data_ = nullptr;
};

TPianoVoice RandomVoice(std::mt19937& rng, int32_t frames) {
    auto real = [&](double a, double b) { return static_cast<float>(std::uniform_real_distribution<double>(a, b)(rng)); };
    auto integer = [&](int32_t a, int32_t b) { return std::uniform_int_distribution<int32_t>(a, b)(rng); };
    TPianoVoice v;
    v.LoopEnd = integer(frames / 2, frames - 1);
    v.Pos = integer(0, v.LoopEnd);
    switch (integer(0, 4)) {
        case 0: v.LoopLength = 0; break;                                      // no loop
        case 1: v.LoopLength = integer(1, 6); break;                          // shorter than many steps
        case 2: v.LoopLength = v.LoopEnd + 1; break;                          // back to frame 0
        case 3: v.LoopLength = v.LoopEnd + integer(2, 50); break;             // would go below 0
        default: v.LoopLength = integer(v.LoopEnd / 4, v.LoopEnd / 2); break;
    }
    v.Step = integer(0, 5) == 0 ? integer(0, 40 << 16) : integer(1 << 12, 3 << 16);
    v.Frac = static_cast<uint32_t>(integer(0, 0xFFFF));
    v.Level = real(0.0001, 2.5);
    v.DecayCoef = integer(0, 3) == 0 ? 1.0f : real(0.999, 1.0);
    v.FilterL = real(-1, 1);
    v.PrevL = real(-1, 1);
    v.FilterR = real(-1, 1);
    v.PrevR = real(-1, 1);
    v.FilterCoef = real(0.03, 1.0);
    v.PanGainL = real(0, 0.4);
    v.PanGainR = real(0, 0.4);
    v.GainL = real(0, 1);
    v.GainR = real(0, 1);
    v.GainIncL = integer(0, 1) ? 0.0f : real(-0.001, 0.001);
    v.GainIncR = integer(0, 2) ? 0.0f : real(-0.001, 0.001);
    return v;
}

// Every field the renderer may change, to the bit.
void ExpectUntouched(const TPianoVoice& a, const TPianoVoice& b) {
    EXPECT_EQ(a.Pos, b.Pos);
    EXPECT_EQ(a.Frac, b.Frac);
    EXPECT_EQ(a.Step, b.Step);
    for (auto field : {&TPianoVoice::Level, &TPianoVoice::FilterL, &TPianoVoice::PrevL, &TPianoVoice::FilterR,
                       &TPianoVoice::PrevR, &TPianoVoice::GainL, &TPianoVoice::GainR})
        EXPECT_EQ(std::bit_cast<uint32_t>(a.*field), std::bit_cast<uint32_t>(b.*field));
}

struct Outcome {
    std::vector<float> Mix;
    std::vector<TPianoVoice> Voices;
};

// Renders copies of `voices` on `path` for blocks of the given lengths. The
// reference renders voice by voice, apart from the list's grouping.
Outcome Render(TVoiceRenderer path, std::vector<TPianoVoice> voices, const GuardedFrames& d, float overdrive,
               const std::vector<int32_t>& blocks, std::vector<float> mix) {
    std::vector<TPianoVoice*> list;
    for (TPianoVoice& v : voices) list.push_back(&v);
    size_t at = 0;
    for (int32_t n : blocks) {
        TVoiceBlock b;
        b.Data = d.Data();
        b.Stereo = d.Stereo();
        b.Overdrive = overdrive;
        b.Mix = mix.data() + at;
        b.Frames = n;
        if (path == TVoiceRenderer::Reference) {
            for (TPianoVoice& v : voices)
                if (!v.Ended && n > 0) RenderVoiceReference(v, b.Data, b.Stereo, overdrive, b.Mix, n);
        } else {
            RenderVoiceList(path, list, static_cast<int32_t>(list.size()), b);
        }
        at += 2 * static_cast<size_t>(n);
    }
    return {std::move(mix), std::move(voices)};
}

std::vector<float> Noise(std::mt19937& rng, const std::vector<int32_t>& blocks) {
    size_t n = 0;
    for (int32_t b : blocks) n += 2 * static_cast<size_t>(b);
    std::vector<float> mix(n);
    std::uniform_real_distribution<float> u(-0.5f, 0.5f);
    for (float& x : mix) x = u(rng);
    return mix;
}

// Every fast path against the reference on the same voices and blocks.
void CompareAll(const std::vector<TPianoVoice>& voices, const GuardedFrames& d, float overdrive,
                const std::vector<int32_t>& blocks, const std::vector<float>& mix) {
    const Outcome ref = Render(TVoiceRenderer::Reference, voices, d, overdrive, blocks, mix);
    for (TVoiceRenderer path : FastPaths()) {
        SCOPED_TRACE(VoiceRendererName(path));
        const Outcome fast = Render(path, voices, d, overdrive, blocks, mix);
        SignalDiff diff;
        diff.Add(ref.Mix.data(), fast.Mix.data(), ref.Mix.size());
        ExpectWithinTolerance(diff);
        for (size_t i = 0; i < voices.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectSameVoice(ref.Voices[i], fast.Voices[i]);
        }
    }
}

TEST(VoiceGroup, RandomVoicesInGroupsOfEverySize) {
    std::mt19937 rng(1234);
    for (int channels : {1, 2}) {
        GuardedFrames d(5000, channels, rng);
        for (int32_t count : {1, 2, 3, 4, 5, 7, 8, 9, 13, 15, 16, 17, 31, 33, 40, 64, 65, 130}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, " << count << " voices");
            std::vector<TPianoVoice> voices;
            for (int32_t i = 0; i < count; ++i) voices.push_back(RandomVoice(rng, d.Frames()));
            const std::vector<int32_t> blocks = {1, 7, 8, 9, 300, 64, 3};
            const float overdrive = count % 3 == 0 ? 0.8f : 0.0f;
            CompareAll(voices, d, overdrive, blocks, Noise(rng, blocks));
        }
    }
}

TEST(VoiceGroup, LongBlocksAndSingleFrames) {
    std::mt19937 rng(99);
    for (int channels : {1, 2}) {
        GuardedFrames d(30000, channels, rng);
        std::vector<TPianoVoice> voices;
        for (int i = 0; i < 21; ++i) voices.push_back(RandomVoice(rng, d.Frames()));
        CompareAll(voices, d, 0.0f, {4096, 4095}, std::vector<float>(2 * 8191));
        // A block of one frame, fifty times: the state carries across.
        CompareAll(voices, d, 0.3f, std::vector<int32_t>(50, 1), std::vector<float>(100));
    }
}

// Every block length from 1 to 70 frames, one after another: blocks of a
// few vectors and of none, and every remainder, on each lane width.
TEST(VoiceGroup, BlocksOfEveryLength) {
    std::mt19937 rng(31);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        GuardedFrames d(8000, channels, rng);
        std::vector<TPianoVoice> voices;
        for (int i = 0; i < 9; ++i) voices.push_back(RandomVoice(rng, d.Frames()));
        std::vector<int32_t> blocks;
        for (int32_t n = 1; n <= 70; ++n) blocks.push_back(n);
        CompareAll(voices, d, channels == 2 ? 0.6f : 0.0f, blocks, Noise(rng, blocks));
    }
}

TEST(VoiceGroup, LoopWrapAndEndOfData) {
    std::mt19937 rng(7);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        GuardedFrames d(1000, channels, rng);
        TPianoVoice base;
        base.Level = 1.0f;
        base.DecayCoef = 0.9999f;
        base.FilterCoef = 0.5f;
        base.PanGainL = base.PanGainR = 0.2f;
        base.GainL = base.GainR = 1.0f;

        // A loop of 100 frames at the very end of the data: the voice keeps
        // coming back and never stops.
        TPianoVoice loop = base;
        loop.LoopEnd = 999;
        loop.LoopLength = 100;
        loop.Pos = 990;
        loop.Step = 3 << 16 | 0x4000;
        // No loop: the voice plays into its last frame, then stops there.
        TPianoVoice noLoop = base;
        noLoop.LoopEnd = 999;
        noLoop.LoopLength = 0;
        noLoop.Pos = 950;
        noLoop.Step = 1 << 16 | 0x8000;
        // A step longer than the loop cannot come back either.
        TPianoVoice longStep = base;
        longStep.LoopEnd = 500;
        longStep.LoopLength = 3;
        longStep.Pos = 498;
        longStep.Step = 5 << 16;
        // A loop longer than the voice's data would step below frame 0.
        TPianoVoice below = base;
        below.LoopEnd = 10;
        below.LoopLength = 50;
        below.Pos = 9;
        below.Step = 2 << 16;

        const std::vector<TPianoVoice> voices = {loop, noLoop, longStep, below};
        CompareAll(voices, d, 0.0f, {256}, std::vector<float>(512));
        for (TVoiceRenderer path : FastPaths()) {
            SCOPED_TRACE(VoiceRendererName(path));
            const Outcome o = Render(path, voices, d, 0.0f, {256}, std::vector<float>(512));
            EXPECT_GE(o.Voices[0].Pos, 900);
            EXPECT_LE(o.Voices[0].Pos, 999);
            EXPECT_GT(o.Voices[0].Level, 0.9f);
            EXPECT_EQ(o.Voices[0].Step, loop.Step);
            for (int i : {1, 2}) {
                EXPECT_EQ(o.Voices[i].Pos, voices[i].LoopEnd);
                EXPECT_EQ(o.Voices[i].Step, 0);
                EXPECT_EQ(o.Voices[i].Frac, 0u);
                EXPECT_EQ(o.Voices[i].Level, 0.0f);
                EXPECT_TRUE(LevelHasFaded(o.Voices[i].Level));
            }
            EXPECT_EQ(o.Voices[3].Pos, 0);
            EXPECT_EQ(o.Voices[3].Step, 0);
            EXPECT_EQ(o.Voices[3].Level, 0.0f);
        }
    }
}

// Steps either side of each way of reading the data (windows up to 2 frames,
// gathers beyond, frame by frame for huge steps), from positions far from
// and right at the end of the data, where the next page is unreadable, with
// fractions from 0 to just short of the next frame.
TEST(VoiceGroup, StepsAroundEveryWayOfReading) {
    std::mt19937 rng(17);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        GuardedFrames d(40000, channels, rng);
        std::vector<TPianoVoice> voices;
        for (int32_t step : {0, 1, 0x8000, (2 << 16) - 1, 2 << 16, (2 << 16) + 1, (2 << 16) + 0x800, 3 << 16 | 0x4000, 40 << 16,
                             (1 << 27) - 1, (1 << 27) + 1}) {
            for (int32_t back : {0, 1, 20, 5000})
                for (uint32_t frac : {0u, 0xFFFAu}) {
                    TPianoVoice v = RandomVoice(rng, d.Frames());
                    v.LoopEnd = d.Frames() - 1;
                    v.LoopLength = 35000;
                    v.Pos = v.LoopEnd - back;
                    v.Step = step;
                    v.Frac = frac;
                    voices.push_back(v);
                }
        }
        const std::vector<int32_t> blocks = {1, 15, 16, 17, 256, 4096};
        CompareAll(voices, d, 0.0f, blocks, Noise(rng, blocks));
    }
}

// Gain ramps where float rounding makes the reference's steps uneven: from
// and to zero, onto a power of two from above, increments halfway between
// two last places, too small to move the gain, and negative gains.
TEST(VoiceGroup, GainRampsRoundAsTheReferenceDoes) {
    std::mt19937 rng(23);
    GuardedFrames d(20000, 2, rng);
    const float place = 0x1p-24f;  // the last place of gains in [0.5, 1)
    const std::pair<float, float> ramps[] = {
        {0.0f, 0.001f},           {0.9f, -0.9f / 4096},    {0.5f + 80 * place, -1.4f * place},
        {0.75f, 0.5f * place},    {0.75f + place, 1.5f * place}, {0.8f, 1e-9f},
        {1.0f, -0.6f * place},    {-0.3f, 0.00037f},       {0.25f, 0.25f / 300},
        {1.0f, -1.0f / 4097},
    };
    std::vector<TPianoVoice> voices;
    for (const auto& [gain, inc] : ramps)
        for (int side = 0; side < 2; ++side) {
            TPianoVoice v = RandomVoice(rng, d.Frames());
            (side ? v.GainL : v.GainR) = gain;
            (side ? v.GainIncL : v.GainIncR) = inc;
            voices.push_back(v);
        }
    const std::vector<int32_t> blocks = {4096, 1, 17, 256, 1000};
    CompareAll(voices, d, 0.0f, blocks, Noise(rng, blocks));
}

TEST(VoiceGroup, OverdriveShapesPositiveSamplesOnly) {
    std::mt19937 rng(5);
    for (int channels : {1, 2}) {
        SCOPED_TRACE(channels);
        std::vector<TPianoVoice> voices;
        // Loud voices: with a strong drive y - a y y turns negative and takes
        // the second rule.
        GuardedFrames mixed(4000, channels, rng);
        for (int i = 0; i < 11; ++i) {
            TPianoVoice v = RandomVoice(rng, mixed.Frames());
            v.Level = 2.0f;
            voices.push_back(v);
        }
        for (float amount : {0.25f, 1.0f, 3.0f})
            CompareAll(voices, mixed, amount, {500}, std::vector<float>(1000));

        // Data without a positive value: the drive changes nothing on any path.
        GuardedFrames negative(4000, channels, rng, -32768, 0);
        for (TVoiceRenderer path : FastPaths()) {
            SCOPED_TRACE(VoiceRendererName(path));
            const Outcome plain = Render(path, voices, negative, 0.0f, {500}, std::vector<float>(1000));
            const Outcome driven = Render(path, voices, negative, 3.0f, {500}, std::vector<float>(1000));
            EXPECT_EQ(plain.Mix, driven.Mix);
        }
    }
}

TEST(VoiceGroup, MonoSetsGiveEqualChannels) {
    std::mt19937 rng(11);
    GuardedFrames d(3000, 1, rng);
    std::vector<TPianoVoice> voices;
    for (int i = 0; i < 19; ++i) {
        TPianoVoice v = RandomVoice(rng, d.Frames());
        v.PanGainR = v.PanGainL;
        v.GainR = v.GainL;
        v.GainIncR = v.GainIncL;
        v.FilterR = v.FilterL;
        v.PrevR = v.PrevL;
        voices.push_back(v);
    }
    for (TVoiceRenderer path : FastPaths()) {
        SCOPED_TRACE(VoiceRendererName(path));
        const Outcome o = Render(path, voices, d, 0.5f, {333, 1, 1000}, std::vector<float>(2 * 1334));
        for (size_t j = 0; j < o.Mix.size(); j += 2) ASSERT_EQ(o.Mix[j], o.Mix[j + 1]) << j / 2;
        for (const TPianoVoice& v : o.Voices) {
            EXPECT_EQ(v.FilterL, v.FilterR);
            EXPECT_EQ(v.PrevL, v.PrevR);
        }
    }
}

TEST(VoiceGroup, EndedVoicesAreSkipped) {
    std::mt19937 rng(3);
    GuardedFrames d(3000, 2, rng);
    std::vector<TPianoVoice> voices;
    for (int i = 0; i < 20; ++i) {
        voices.push_back(RandomVoice(rng, d.Frames()));
        voices.back().Ended = i % 3 == 1;
    }
    std::vector<TPianoVoice> sounding;
    for (const TPianoVoice& v : voices)
        if (!v.Ended) sounding.push_back(v);
    const std::vector<float> start = Noise(rng, {200});
    const Outcome expected = Render(TVoiceRenderer::Reference, sounding, d, 0.0f, {200}, start);
    for (TVoiceRenderer path : FastPaths()) {
        SCOPED_TRACE(VoiceRendererName(path));
        const Outcome o = Render(path, voices, d, 0.0f, {200}, start);
        SignalDiff diff;
        diff.Add(expected.Mix.data(), o.Mix.data(), o.Mix.size());
        ExpectWithinTolerance(diff);
        for (size_t i = 0; i < voices.size(); ++i)
            if (voices[i].Ended) ExpectUntouched(voices[i], o.Voices[i]);
    }
    // A block of no frames touches nothing.
    const Outcome none = Render(BestVoiceRenderer(), voices, d, 0.0f, {0}, start);
    for (size_t i = 0; i < voices.size(); ++i) ExpectUntouched(voices[i], none.Voices[i]);
}

}  // namespace
}  // namespace norv::test
