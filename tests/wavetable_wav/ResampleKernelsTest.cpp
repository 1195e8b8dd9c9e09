// The kernel tables one by one against the scalar run, for every source
// layout, both output formats, steps that take each way of reading taps
// (one register, two, gathers), and runs that reach the end of the source.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "wavetable/DSP_Resample.h"
#include "wavetable/DSP_Resample_Kernels.h"

namespace norv {
namespace {

using resample::TKernelTable;
using resample::TSourceView;

struct TNamedTable {
    const char* name;
    const TKernelTable* table;
};

std::vector<TNamedTable> Tables() {
    std::vector<TNamedTable> out{{"portable", &resample::PortableKernels()}};
    if (ResampleKernelsAvailable(TResampleKernels::AVX2)) out.push_back({"avx2", resample::AVX2Kernels()});
    if (ResampleKernelsAvailable(TResampleKernels::AVX512)) out.push_back({"avx512", resample::AVX512Kernels()});
    return out;
}

// Random frames with extremes mixed in: full-scale 16-bit values make the
// interpolation overshoot, floats beyond 1 are limited on the way to 16-bit.
std::vector<uint8_t> Source(int channels, bool isFloat, int32_t frames, std::mt19937& rng) {
    const size_t values = static_cast<size_t>(frames) * channels;
    std::vector<uint8_t> bytes(values * (isFloat ? 4 : 2));
    std::uniform_int_distribution<int> i16(-32768, 32767), pick(0, 15);
    std::uniform_real_distribution<float> f(-1.3f, 1.3f);
    for (size_t n = 0; n < values; ++n) {
        if (isFloat) {
            const float v = pick(rng) == 0 ? (pick(rng) < 8 ? 1.0f : -1.0f) : f(rng);
            std::memcpy(bytes.data() + 4 * n, &v, 4);
        } else {
            const int16_t v = static_cast<int16_t>(pick(rng) == 0 ? (pick(rng) < 8 ? 32767 : -32768) : i16(rng));
            std::memcpy(bytes.data() + 2 * n, &v, 2);
        }
    }
    return bytes;
}

TEST(ResampleKernels, SteppedAndArrayRunsMatchTheScalarRun) {
    std::mt19937 rng(2024);
    // Below, at and above 1 (one register or two for the taps of a group),
    // about 2 (the widest two registers take), and beyond (gathers).
    const double steps[] = {0.25,      44100.0 / 48000, 1.0 - 0x1p-20, 48000.0 / 44100, 1.7, 1.75, 2.0,
                            2.1,       2.2,             3.3,           3.9,             5.5, 9.0};
    struct TStart {
        double p0;
        int32_t frames;
    };
    // A long run in a high binade; a short one near the start.
    const TStart starts[] = {{2048.3125, 4100}, {16.71875, 400}};
    int compared = 0;
    for (const TNamedTable& t : Tables()) {
        ASSERT_NE(t.table->stepped, nullptr) << t.name;
        for (int channels : {1, 2}) {
            for (bool isFloat : {false, true}) {
                for (const TStart& start : starts) {
                    const std::vector<uint8_t> data = Source(channels, isFloat, start.frames, rng);
                    const TSourceView src{data.data(), start.frames, channels, isFloat};
                    for (double step : steps) {
                        for (bool out16 : {false, true}) {
                            SCOPED_TRACE(std::string(t.name) + ", " + std::to_string(channels) + " channels, float " +
                                         std::to_string(isFloat) + ", step " + std::to_string(step) + ", from " +
                                         std::to_string(start.p0) + ", 16-bit out " + std::to_string(out16));
                            // As far as the interior lets positions go.
                            const auto interior = static_cast<int32_t>((start.frames - 5 - start.p0) / step);
                            double s = 0;
                            const int32_t run =
                                resample::ExactRun(start.p0, step, {false, 0, 0}, std::min(interior, 1024), s);
                            if (run == 0) continue;
                            std::vector<int32_t> idx(run);
                            std::vector<float> z(run);
                            resample::PositionsScalar(start.p0, s, run, idx.data(), z.data());
                            ASSERT_LE(idx.back(), start.frames - 5);

                            const size_t frameBytes = static_cast<size_t>(channels) * (out16 ? 2 : 4);
                            std::vector<uint8_t> expected(run * frameBytes), stepped(run * frameBytes, 0xA5),
                                array(run * frameBytes, 0x5A);
                            resample::RunScalar(src, idx.data(), z.data(), run, expected.data(), out16);

                            const int32_t done = t.table->stepped(src, start.p0, s, run, stepped.data(), out16);
                            ASSERT_GE(done, 0);
                            ASSERT_LE(done, run);
                            // It may leave less than a vector's worth, and
                            // more only where reads would pass the end.
                            if (idx.back() + 80 < start.frames) {
                                ASSERT_GT(done, run - 16);
                            }
                            ASSERT_EQ(std::memcmp(stepped.data(), expected.data(), done * frameBytes), 0);
                            // Nothing written past what it reports.
                            for (size_t b = done * frameBytes; b < stepped.size(); ++b) ASSERT_EQ(stepped[b], 0xA5);

                            t.table->run(src, idx.data(), z.data(), run, array.data(), out16);
                            ASSERT_EQ(std::memcmp(array.data(), expected.data(), expected.size()), 0);
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 100);
}

// Runs that end at the last interior frame, from every offset of a group:
// the vector paths stop where their wide reads would pass the end.
TEST(ResampleKernels, RunsToTheEndOfTheSource) {
    std::mt19937 rng(77);
    for (const TNamedTable& t : Tables()) {
        for (int channels : {1, 2}) {
            for (bool isFloat : {false, true}) {
                for (int32_t frames = 400; frames < 440; ++frames) {
                    const std::vector<uint8_t> data = Source(channels, isFloat, frames, rng);
                    const TSourceView src{data.data(), frames, channels, isFloat};
                    for (double step : {0.5, 48000.0 / 44100, 1.9}) {
                        const double p0 = 260.25;
                        const auto count = static_cast<int32_t>((frames - 5 - p0) / step) + 1;
                        double s = 0;
                        const int32_t run = resample::ExactRun(p0, step, {false, 0, 0}, count, s);
                        ASSERT_EQ(run, count) << frames << " " << step;
                        std::vector<int32_t> idx(run);
                        std::vector<float> z(run);
                        resample::PositionsScalar(p0, s, run, idx.data(), z.data());
                        ASSERT_EQ(idx.back(), static_cast<int32_t>(p0 + (run - 1) * s));
                        ASSERT_LE(idx.back(), frames - 5);
                        const size_t frameBytes = static_cast<size_t>(channels) * 2;
                        std::vector<uint8_t> expected(run * frameBytes), got(run * frameBytes);
                        resample::RunScalar(src, idx.data(), z.data(), run, expected.data(), true);
                        const int32_t done = t.table->stepped(src, p0, s, run, got.data(), true);
                        t.table->run(src, idx.data() + done, z.data() + done, run - done, got.data() + done * frameBytes,
                                     true);
                        ASSERT_EQ(got, expected) << t.name << " " << channels << " " << isFloat << " " << frames;
                    }
                }
            }
        }
    }
}

// Taps whose polynomial is c5 z^5 alone (the other coefficients come out 0
// exactly): with a tiny z the scalar form passes through subnormal numbers,
// which the vector paths must meet in the same way for float output.
TEST(ResampleKernels, TinyResultsMatchTheScalarRun) {
    const int16_t taps[6] = {4767, 729, 3, -3, -729, -4767};
    std::vector<float> zs;
    for (int e = 20; e <= 40; e += 2) {
        zs.push_back(std::ldexp(1.0f, -e));
        zs.push_back(-std::ldexp(1.5f, -e));
    }
    zs.resize(32, 0.0f);
    for (const TNamedTable& t : Tables()) {
        for (int channels : {1, 2}) {
            std::vector<int16_t> values(static_cast<size_t>(64) * channels, 0);
            for (int k = 0; k < 6; ++k)
                for (int c = 0; c < channels; ++c) values[static_cast<size_t>(20 + k) * channels + c] = taps[k];
            const TSourceView src{values.data(), 64, channels, false};
            const std::vector<int32_t> idx(zs.size(), 22);
            for (bool out16 : {false, true}) {
                const size_t bytes = zs.size() * channels * (out16 ? 2 : 4);
                std::vector<uint8_t> expected(bytes), got(bytes);
                resample::RunScalar(src, idx.data(), zs.data(), static_cast<int32_t>(zs.size()), expected.data(), out16);
                t.table->run(src, idx.data(), zs.data(), static_cast<int32_t>(zs.size()), got.data(), out16);
                EXPECT_EQ(got, expected) << t.name << " " << channels << " channels, 16-bit out " << out16;
            }
        }
    }
    // The case is real: some result is a nonzero subnormal number.
    const float tiny = resample::Interpolate6(4767 * resample::Scale16, 729 * resample::Scale16, 3 * resample::Scale16,
                                              -3 * resample::Scale16, -729 * resample::Scale16,
                                              -4767 * resample::Scale16, std::ldexp(1.0f, -26));
    EXPECT_EQ(std::fpclassify(tiny), FP_SUBNORMAL);
}

// The whole converter with each kernel set against the reference on a
// sample long enough for every block to take the stepped kernels.
TEST(ResampleKernels, LongSamplesMatchTheReference) {
    std::mt19937 rng(5);
    for (TResampleKernels kernels : {TResampleKernels::Portable, TResampleKernels::AVX2, TResampleKernels::AVX512}) {
        if (!ResampleKernelsAvailable(kernels)) continue;
        for (int channels : {1, 2}) {
            const std::vector<uint8_t> data = Source(channels, false, 50000, rng);
            for (double to : {48000.0, 40000.0, 96000.0, 16000.0}) {
                auto convert = [&](TResampleKernels k) {
                    TWAVSample s;
                    s.Channels = static_cast<uint8_t>(channels);
                    s.Frames = 50000;
                    s.SampleRate = 44100;
                    s.Data = TSampleBlock::Borrow(data.data(), data.size());
                    TResampler(2, k).Convert(s, to, TSampleFormat::Int16);
                    const auto* v = static_cast<const uint8_t*>(s.Data.Data());
                    return std::vector<uint8_t>(v, v + s.Data.Size());
                };
                EXPECT_EQ(convert(kernels), convert(TResampleKernels::Reference))
                    << ResampleKernelsName(kernels) << " " << channels << " channels to " << to;
            }
        }
    }
}

}  // namespace
}  // namespace norv
