#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "base/ProgressHook.h"
#include "wavetable/DSP_Resample.h"
#include "wavetable/DSP_Resample_Kernels.h"

namespace norv {
namespace {

TWAVSample Sample16(int channels, const std::vector<int16_t>& values, double rate) {
    TWAVSample s;
    s.Channels = static_cast<uint8_t>(channels);
    s.Format = TSampleFormat::Int16;
    s.SampleRate = rate;
    s.Frames = static_cast<int32_t>(values.size() / channels);
    s.Data = TSampleBlock::CopyOf(values.data(), values.size() * sizeof(int16_t));
    return s;
}

TWAVSample SampleF(int channels, const std::vector<float>& values, double rate) {
    TWAVSample s;
    s.Channels = static_cast<uint8_t>(channels);
    s.Format = TSampleFormat::Float32;
    s.SampleRate = rate;
    s.Frames = static_cast<int32_t>(values.size() / channels);
    s.Data = TSampleBlock::CopyOf(values.data(), values.size() * sizeof(float));
    return s;
}

std::vector<float> Floats(const TWAVSample& s) {
    const auto* v = static_cast<const float*>(s.Data.Data());
    return std::vector<float>(v, v + static_cast<size_t>(s.Frames) * s.Channels);
}

std::vector<int16_t> RandomInt16(size_t count, std::mt19937& rng) {
    std::uniform_int_distribution<int> d(-32768, 32767);
    std::vector<int16_t> v(count);
    for (auto& x : v) x = static_cast<int16_t>(d(rng));
    return v;
}

std::vector<float> RandomFloat(size_t count, std::mt19937& rng) {
    std::uniform_real_distribution<float> d(-1.2f, 1.2f);
    std::vector<float> v(count);
    for (auto& x : v) x = d(rng);
    return v;
}

// The kernel against the formula evaluated exactly.
TEST(Resample, KernelMatchesTheFormula) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f), fraction(-0.5f, 0.5f);
    for (int trial = 0; trial < 10000; ++trial) {
        long double x[6];
        float xf[6];
        for (int k = 0; k < 6; ++k) x[k] = xf[k] = value(rng);
        const float z = fraction(rng);
        const long double s1 = x[2] + x[3], d1 = x[2] - x[3], s2 = x[1] + x[4], d2 = x[1] - x[4];
        const long double s3 = x[0] + x[5], d3 = x[0] - x[5];
        const long double c0 = 3.0L / 256 * s3 - 25.0L / 256 * s2 + 75.0L / 128 * s1;
        const long double c1 = -3.0L / 128 * d3 + 61.0L / 384 * d2 - 87.0L / 64 * d1;
        const long double c2 = -5.0L / 96 * s3 + 13.0L / 32 * s2 - 17.0L / 48 * s1;
        const long double c3 = 5.0L / 48 * d3 - 11.0L / 16 * d2 + 37.0L / 24 * d1;
        const long double c4 = 1.0L / 48 * s3 - 1.0L / 16 * s2 + 1.0L / 24 * s1;
        const long double c5 = -1.0L / 24 * d3 + 5.0L / 24 * d2 - 5.0L / 12 * d1;
        const long double zl = z;
        const long double exact = ((((c5 * zl + c4) * zl + c3) * zl + c2) * zl + c1) * zl + c0;
        const float got = resample::Interpolate6(xf[0], xf[1], xf[2], xf[3], xf[4], xf[5], z);
        ASSERT_NEAR(got, static_cast<double>(exact), 2e-6);
        // Through x(0) at fraction 0 and x(1) at fraction 1.
        ASSERT_NEAR(resample::Interpolate6(xf[0], xf[1], xf[2], xf[3], xf[4], xf[5], -0.5f), xf[2], 1e-6);
        ASSERT_NEAR(resample::Interpolate6(xf[0], xf[1], xf[2], xf[3], xf[4], xf[5], 0.5f), xf[3], 1e-6);
    }
}

TEST(Resample, KnownSignals) {
    // DC stays DC, also at the ends where the first and last frames repeat.
    TWAVSample dc = Sample16(1, std::vector<int16_t>(1000, 12000), 44100);
    TResampler().Convert(dc, 48000);
    ASSERT_EQ(dc.Frames, 1088);
    for (float v : Floats(dc)) ASSERT_NEAR(v, 12000.0 / 32768, 1e-6);

    // A ramp stays a ramp away from the ends.
    std::vector<float> ramp(1000);
    for (size_t k = 0; k < ramp.size(); ++k) ramp[k] = static_cast<float>(k) / 4096.0f;
    TWAVSample r = SampleF(1, ramp, 44100);
    TResampler().Convert(r, 48000);
    const double step = 44100.0 / 48000.0;
    const std::vector<float> out = Floats(r);
    for (size_t n = 0; n < out.size(); ++n) {
        const double p = static_cast<double>(n) * step;
        if (p >= 2 && p <= 995) {
            ASSERT_NEAR(out[n], p / 4096, 1e-6) << n;
        }
    }

    // Doubling the rate: every other output frame is a source frame.
    std::mt19937 rng(3);
    const std::vector<float> noise = RandomFloat(2 * 500, rng);
    TWAVSample d = SampleF(2, noise, 22050);
    TResampler().Convert(d, 44100);
    ASSERT_EQ(d.Frames, 1000);
    const std::vector<float> doubled = Floats(d);
    for (size_t n = 0; n < 500; ++n) {
        ASSERT_NEAR(doubled[4 * n], noise[2 * n], 2e-6);
        ASSERT_NEAR(doubled[4 * n + 1], noise[2 * n + 1], 2e-6);
    }
}

TEST(Resample, LengthAndLoopPointsRoundToEven) {
    auto convert = [](int32_t frames, int32_t loopStart, double from, double to) {
        TWAVSample s = Sample16(1, std::vector<int16_t>(frames, 1), from);
        if (loopStart >= 0) {
            s.LoopStart = loopStart;
            s.LoopEnd = frames - 1;
        }
        TResampler().Convert(s, to);
        return s;
    };
    TWAVSample s = convert(10000, 1000, 44100, 48000);
    EXPECT_EQ(s.Frames, 10884);  // 10884.35
    EXPECT_EQ(s.LoopStart, 1088);  // 1088.44
    EXPECT_EQ(s.LoopEnd, 10883);
    EXPECT_EQ(s.Format, TSampleFormat::Float32);
    EXPECT_EQ(s.SampleRate, 48000.0);

    // Halving: x.5 goes to the even neighbour.
    EXPECT_EQ(convert(5, -1, 88200, 44100).Frames, 2);
    EXPECT_EQ(convert(7, -1, 88200, 44100).Frames, 4);
    s = convert(101, 5, 88200, 44100);  // start 2.5, end 50.5 - 1
    EXPECT_EQ(s.Frames, 50);
    EXPECT_EQ(s.LoopStart, 2);
    EXPECT_EQ(s.LoopEnd, 49);
    EXPECT_EQ(convert(101, 7, 88200, 44100).LoopStart, 4);

    // No loop stays no loop.
    s = convert(100, -1, 44100, 48000);
    EXPECT_FALSE(s.HasLoop());
    EXPECT_EQ(s.LoopEnd, INT32_MAX);
}

TEST(Resample, NothingToDo) {
    TWAVSample same = Sample16(2, {1, 2, 3, 4}, 44100);
    const void* before = same.Data.Data();
    TResampler().Convert(same, 44100);
    EXPECT_EQ(same.Data.Data(), before);
    EXPECT_EQ(same.Format, TSampleFormat::Int16);

    TWAVSample empty;
    empty.SampleRate = 22050;
    TResampler().Convert(empty, 48000);
    EXPECT_EQ(empty.SampleRate, 48000.0);
    EXPECT_EQ(empty.Frames, 0);

    // Rate only without a mode; converted to float with mode 2.
    TWAVSample s = Sample16(1, {1, 2, 3, 4}, 44100);
    SetSampleRate(s, 0, 22050);
    EXPECT_EQ(s.SampleRate, 22050.0);
    EXPECT_EQ(s.Frames, 4);
    SetSampleRate(s, 2, 44100);
    EXPECT_EQ(s.Frames, 8);
    EXPECT_EQ(s.Format, TSampleFormat::Float32);

    EXPECT_THROW(TResampler(3), std::invalid_argument);
}

TEST(Resample, FailuresLeaveTheSampleAlone) {
    // A rate of 0 Hz would need endless output.
    TWAVSample s = Sample16(1, {1, 2, 3}, 0);
    EXPECT_THROW(TResampler().Convert(s, 48000), std::length_error);
    EXPECT_EQ(s.Frames, 3);
    EXPECT_EQ(s.SampleRate, 0.0);
    EXPECT_EQ(s.Format, TSampleFormat::Int16);
    // Output that would not fit 32-bit sizes.
    TWAVSample tiny = Sample16(2, std::vector<int16_t>(2000, 0), 1);
    EXPECT_THROW(TResampler().Convert(tiny, 48000 * 1000.0), std::length_error);
    EXPECT_THROW(TResampler().Convert(tiny, 0), std::invalid_argument);
    EXPECT_THROW(TResampler().Convert(tiny, std::numeric_limits<double>::quiet_NaN()), std::invalid_argument);
    // Data shorter than the frame count claims.
    TWAVSample liar = Sample16(1, {1, 2}, 44100);
    liar.Frames = 100;
    EXPECT_THROW(TResampler().Convert(liar, 48000), std::invalid_argument);
}

// Reads past the last frame continue at the loop start only when the loop
// ends at the last frame; otherwise they repeat the last frame. Checked
// against the same data written out in full.
TEST(Resample, ReadsPastTheEnd) {
    std::mt19937 rng(11);
    for (int channels : {1, 2}) {
        const std::vector<int16_t> base = RandomInt16(100 * channels, rng);
        auto frame = [&](int k) { return std::vector<int16_t>(base.begin() + k * channels, base.begin() + (k + 1) * channels); };
        std::vector<int16_t> unrolled = base, held = base;
        for (int k = 0; k < 100; ++k) {
            const auto f = frame(50 + k % 50);
            unrolled.insert(unrolled.end(), f.begin(), f.end());
            const auto last = frame(99);
            held.insert(held.end(), last.begin(), last.end());
        }
        for (TResampleKernels kernels : {TResampleKernels::Reference, TResampleKernels::Best}) {
            for (double to : {48000.0, 96000.0, 30000.0}) {
                auto run = [&](const std::vector<int16_t>& values, int32_t loopStart, int32_t loopEnd) {
                    TWAVSample s = Sample16(channels, values, 44100);
                    s.LoopStart = loopStart;
                    s.LoopEnd = loopEnd;
                    TResampler(2, kernels).Convert(s, to);
                    return Floats(s);
                };
                const std::vector<float> looped = run(base, 50, 99);
                const std::vector<float> longer = run(unrolled, -1, INT32_MAX);
                ASSERT_LT(looped.size(), longer.size());
                EXPECT_TRUE(std::equal(looped.begin(), looped.end(), longer.begin()));

                const std::vector<float> heldOut = run(held, -1, INT32_MAX);
                for (auto [start, end] : {std::pair{50, 90}, std::pair{-1, INT32_MAX}}) {
                    const std::vector<float> plain = run(base, start, end);
                    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), heldOut.begin()));
                    EXPECT_FALSE(std::equal(plain.end() - 4, plain.end(), looped.end() - 4));
                }
            }
        }
    }
}

class Receiver : public IProgressReceiver {
public:
    void ShowProgress(int32_t position, int32_t total) override { calls.push_back({position, total}); }
    std::vector<std::pair<int32_t, int32_t>> calls;
};

TEST(Resample, ReportsProgressAfterEveryBlock) {
    Receiver receiver;
    SetProgressReceiver(&receiver);
    for (TResampleKernels kernels : {TResampleKernels::Reference, TResampleKernels::Best}) {
        receiver.calls.clear();
        TWAVSample s = Sample16(1, std::vector<int16_t>(1000, 5), 17640);
        TResampler(2, kernels).Convert(s, 44100);
        EXPECT_EQ(s.Frames, 2500);
        EXPECT_EQ(receiver.calls, (std::vector<std::pair<int32_t, int32_t>>{{1024, 2500}, {2048, 2500}, {2500, 2500}}));
    }
    receiver.calls.clear();
    TWAVSample same = Sample16(1, std::vector<int16_t>(1000, 5), 44100);
    TResampler().Convert(same, 44100);
    EXPECT_TRUE(receiver.calls.empty());
    SetProgressReceiver(nullptr);
}

TEST(Resample, SampleToInt16) {
    EXPECT_EQ(SampleToInt16(1.5), 32767);
    EXPECT_EQ(SampleToInt16(-1.5), -32767);
    EXPECT_EQ(SampleToInt16(1.0), 32767);
    EXPECT_EQ(SampleToInt16(-1.0), -32767);
    EXPECT_EQ(SampleToInt16(0.5), 16384);  // 16383.5: ties to even
    EXPECT_EQ(SampleToInt16(-0.5), -16384);
    EXPECT_EQ(SampleToInt16(0.25), 8192);  // 8191.75
    EXPECT_EQ(SampleToInt16(-1.0 / 65536), 0);
    EXPECT_EQ(SampleToInt16(std::numeric_limits<double>::infinity()), 32767);
    EXPECT_EQ(SampleToInt16(-std::numeric_limits<double>::infinity()), -32767);
    EXPECT_EQ(SampleToInt16(std::numeric_limits<double>::quiet_NaN()), 0);
}

std::vector<TResampleKernels> FastKernels() {
    std::vector<TResampleKernels> out;
    for (TResampleKernels k : {TResampleKernels::Portable, TResampleKernels::AVX2, TResampleKernels::AVX512,
                               TResampleKernels::Best})
        if (ResampleKernelsAvailable(k)) out.push_back(k);
    return out;
}

// Every fast path gives the reference's bits.
TEST(Resample, FastPathsMatchTheReference) {
    std::mt19937 rng(1234);
    const double ratios[] = {48000.0 / 44100, 44100.0 / 48000, 2.0,        0.5,          96000.0 / 44100,
                             8000.0 / 44100,  1.0001,          1 / 1.7,    1 / 1.73,     1 / 1.75,
                             1 / 3.3,         3.7,             44100.0 / 22050.5};
    const int32_t lengths[] = {1, 2, 3, 6, 7, 23, 300, 2100};
    int compared = 0;
    for (TResampleKernels kernels : FastKernels()) {
        SCOPED_TRACE(ResampleKernelsName(kernels));
        for (int channels : {1, 2}) {
            for (bool isFloat : {false, true}) {
                for (int32_t frames : lengths) {
                    const TWAVSample source = isFloat ? SampleF(channels, RandomFloat(frames * channels, rng), 44100)
                                                      : Sample16(channels, RandomInt16(frames * channels, rng), 44100);
                    for (double ratio : ratios) {
                        for (int loop = 0; loop < 4; ++loop) {
                            for (TSampleFormat output : {TSampleFormat::Float32, TSampleFormat::Int16}) {
                                TWAVSample a = source.Clone(), b = source.Clone();
                                // No loop, a loop to the end, a one-frame loop at the end, a loop before the end.
                                const int32_t starts[] = {-1, frames / 3, frames - 1, 0};
                                const int32_t ends[] = {INT32_MAX, frames - 1, frames - 1, frames / 2};
                                a.LoopStart = b.LoopStart = starts[loop];
                                a.LoopEnd = b.LoopEnd = ends[loop];
                                TResampler(2, TResampleKernels::Reference).Convert(a, 44100 * ratio, output);
                                TResampler(2, kernels).Convert(b, 44100 * ratio, output);
                                ASSERT_EQ(a.Frames, b.Frames);
                                ASSERT_EQ(a.Data.Size(), b.Data.Size());
                                ASSERT_TRUE(a.Data.Empty() || std::memcmp(a.Data.Data(), b.Data.Data(), a.Data.Size()) == 0)
                                    << channels << " channels, float " << isFloat << ", " << frames << " frames, ratio "
                                    << ratio << ", loop " << loop << ", 16-bit out " << (output == TSampleFormat::Int16);
                                ASSERT_EQ(a.LoopStart, b.LoopStart);
                                ASSERT_EQ(a.LoopEnd, b.LoopEnd);
                                ++compared;
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 0);
}

std::vector<const resample::TKernelTable*> KernelTables() {
    std::vector<const resample::TKernelTable*> out{&resample::PortableKernels()};
    if (ResampleKernelsAvailable(TResampleKernels::AVX2)) out.push_back(resample::AVX2Kernels());
    if (ResampleKernelsAvailable(TResampleKernels::AVX512)) out.push_back(resample::AVX512Kernels());
    return out;
}

// Positions computed many at a time equal the step-by-step sums, also for
// steps that fall on a half grid unit in some binade (where the rounded step
// alternates) and across loop wraps.
TEST(Resample, PositionsFollowTheStepByStepSum) {
    // 1 + 2^-47 ties in [64, 128), 0.75 + 2^-45 in [256, 512); the starts
    // just above 64 and 256 lie on odd grid points there.
    const double steps[] = {44100.0 / 48000, 48000.0 / 44100, 0.5, 1.0 + 0x1p-47, 0.75 + 0x1p-45,
                            1.0 / 3,         5.5,             1.7, 0x1p-10 + 0x1p-40};
    const double starts[] = {0.0, 0.3, 64.0 + 0x1p-46, 256.0 + 0x1p-44, 1e6 + 0.25};
    const resample::TLoop loops[] = {{false, 0, 0}, {true, 5, 70}, {true, 2000, 3000000}};
    for (const resample::TKernelTable* table : KernelTables()) {
        for (double step : steps) {
            for (double start : starts) {
                for (const resample::TLoop& loop : loops) {
                    double fast = start, slow = start;
                    if (loop.active && start >= loop.end) continue;
                    std::vector<int32_t> idx(1024);
                    std::vector<float> z(1024);
                    for (int block = 0; block < 6; ++block) {
                        bool wrapped = false, slowWrapped = false;
                        fast = resample::FillPositions(*table, fast, step, loop, 1024, idx.data(), z.data(), wrapped);
                        for (int n = 0; n < 1024; ++n) {
                            const auto i = static_cast<int32_t>(std::floor(slow));
                            const auto zz = static_cast<float>((slow - i) - 0.5);
                            ASSERT_EQ(idx[n], i) << step << " " << start << " " << n;
                            ASSERT_EQ(z[n], zz) << step << " " << start << " " << n;
                            slow += step;
                            if (loop.active)
                                while (slow >= loop.end) {
                                    slow -= loop.end - loop.start;
                                    slowWrapped = true;
                                }
                        }
                        ASSERT_EQ(fast, slow);
                        ASSERT_EQ(wrapped, slowWrapped);
                    }
                }
            }
        }
    }
}

TEST(Resample, BlockConversionTo16BitMatchesTheRule) {
    std::mt19937 rng(9);
    std::vector<float> in = RandomFloat(4099, rng);
    const float specials[] = {1.5f, -1.5f, 0.5f, -0.5f, 1.0f, -1.0f, 0.0f, -0.0f,
                              std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::quiet_NaN(), 1e-40f, 16383.5f / 32767};
    std::copy(std::begin(specials), std::end(specials), in.begin() + 20);
    // Values whose float product with 32767 lands on a half-integer that the
    // exact product misses.
    int tricky = 0;
    for (int k = 1; k < 32767 && tricky < 200; k += 97) {
        float v = static_cast<float>((k + 0.5) / 32767);
        for (int step = 0; step < 8; ++step, v = std::nextafter(v, 2.0f)) {
            if (v * 32767.0f == k + 0.5f && static_cast<double>(v) * 32767 != k + 0.5) {
                in.push_back(v);
                in.push_back(-v);
                ++tricky;
            }
        }
    }
    EXPECT_GT(tricky, 10);
    std::vector<int16_t> expected(in.size());
    for (size_t n = 0; n < in.size(); ++n) expected[n] = SampleToInt16(in[n]);
    for (const resample::TKernelTable* table : KernelTables()) {
        std::vector<int16_t> out(in.size());
        table->toInt16(in.data(), out.data(), in.size());
        EXPECT_EQ(out, expected);
    }
}

}  // namespace
}  // namespace norv
