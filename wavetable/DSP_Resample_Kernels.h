// Inside the rate converter: the 6-point kernel in its literal scalar form,
// the scalar helpers of the faster paths, and the table of routines through
// which each CPU's file (see DSP_Resample_Body.h) computes many output frames
// at once.
//
// Every routine must give the scalar form's result bit for bit, so the
// operation order is fixed and multiply-adds must not be fused. Include this
// header first in every file of the converter: the pragmas apply to what
// follows them.
#pragma once

#include "base/ExactSimd.h"

#include <cstddef>
#include <cstdint>

#include "wavetable/WAVUnit.h"

namespace norv::resample {

constexpr int32_t BlockFrames = 1024;
constexpr float Scale16 = 1.0f / 32768.0f;

// Coefficient j as (a S3 + b S2) + c S1 (even j) or the same with D terms (odd j).
constexpr float K0_3 = 3.0f / 256.0f, K0_2 = -25.0f / 256.0f, K0_1 = 75.0f / 128.0f;
constexpr float K1_3 = -3.0f / 128.0f, K1_2 = 61.0f / 384.0f, K1_1 = -87.0f / 64.0f;
constexpr float K2_3 = -5.0f / 96.0f, K2_2 = 13.0f / 32.0f, K2_1 = -17.0f / 48.0f;
constexpr float K3_3 = 5.0f / 48.0f, K3_2 = -11.0f / 16.0f, K3_1 = 37.0f / 24.0f;
constexpr float K4_3 = 1.0f / 48.0f, K4_2 = -1.0f / 16.0f, K4_1 = 1.0f / 24.0f;
constexpr float K5_3 = -1.0f / 24.0f, K5_2 = 5.0f / 24.0f, K5_1 = -5.0f / 12.0f;

// For 16-bit output the faster paths take 16-bit values as they are,
// without the 1/32768: every intermediate is then the scalar one times 2^15
// exactly, but for results so tiny that they round to 0 either way. With
// 16-bit sources the sums and differences are integers of at most 17 bits
// (times 2^-15 or not): a constant with a power-of-two denominator and a
// numerator below 256 times one of them is exact, so adding the product with
// a fused multiply-add rounds just as the separate add does.
constexpr bool ExactOnInt17(float k) {
    double m = k < 0 ? -static_cast<double>(k) : static_cast<double>(k);
    for (int e = 0; e < 24 && static_cast<double>(static_cast<int64_t>(m)) != m; ++e) m *= 2;
    return static_cast<double>(static_cast<int64_t>(m)) == m && m * 65536.0 < 16777216.0;
}
static_assert(ExactOnInt17(K0_3) && ExactOnInt17(K0_2) && ExactOnInt17(K0_1) && ExactOnInt17(K1_3) &&
              ExactOnInt17(K1_1) && ExactOnInt17(K2_2) && ExactOnInt17(K3_2) && ExactOnInt17(K4_2));
static_assert(!ExactOnInt17(K1_2) && !ExactOnInt17(K2_3) && !ExactOnInt17(K5_1));

// x(-2) ... x(3) around the output position, z = fraction - 0.5. Passes
// through x(0) at z = -0.5 and x(1) at z = 0.5.
inline float Interpolate6(float xm2, float xm1, float x0, float x1, float x2, float x3, float z) {
    const float s1 = x0 + x1, d1 = x0 - x1;
    const float s2 = xm1 + x2, d2 = xm1 - x2;
    const float s3 = xm2 + x3, d3 = xm2 - x3;
    const float c0 = (K0_3 * s3 + K0_2 * s2) + K0_1 * s1;
    const float c1 = (K1_3 * d3 + K1_2 * d2) + K1_1 * d1;
    const float c2 = (K2_3 * s3 + K2_2 * s2) + K2_1 * s1;
    const float c3 = (K3_3 * d3 + K3_2 * d2) + K3_1 * d1;
    const float c4 = (K4_3 * s3 + K4_2 * s2) + K4_1 * s1;
    const float c5 = (K5_3 * d3 + K5_2 * d2) + K5_1 * d1;
    return ((((c5 * z + c4) * z + c3) * z + c2) * z + c1) * z + c0;
}

// Value `index` (frame x channels + channel) of a source block.
inline float ReadValue(const void* data, size_t index, bool isFloat) {
    return isFloat ? static_cast<const float*>(data)[index]
                   : static_cast<float>(static_cast<const int16_t*>(data)[index]) * Scale16;
}

inline void StoreValue(void* out, size_t index, float value, bool out16) {
    if (out16)
        static_cast<int16_t*>(out)[index] = SampleToInt16(value);
    else
        static_cast<float*>(out)[index] = value;
}

struct TSourceView {
    const void* data;
    int32_t frames;
    int channels;  // 1 or 2
    bool isFloat;
};

// Frames whose six taps lie inside the source with one frame to spare (the
// wide loads may touch it): 2 <= i <= frames - 5.
inline bool IsInterior(int32_t i, int32_t frames) { return i >= 2 && i <= frames - 5; }

// Computes `count` frames at interior positions idx (non-decreasing) with
// fractions z into out (interleaved, float or 16-bit).
using TRunKernel = void (*)(const TSourceView& src, const int32_t* idx, const float* z, int32_t count, void* out,
                            bool out16);
// SampleToInt16 over a block.
using TToInt16Kernel = void (*)(const float* in, int16_t* out, size_t count);

// idx and z of the positions p0 + k s, k = 0 ... count - 1; the caller
// guarantees that every such sum is exact (see FillPositions).
using TPositionKernel = void (*)(double p0, double s, int32_t count, int32_t* idx, float* z);

// Frames at positions p0 + k s, k = 0 ... count - 1, computing the positions
// on the way: the caller guarantees that every such sum is exact and that
// the first and the last position are interior. Returns how many frames it
// computed from the start: it may leave fewer than a vector's worth, and
// more near the end of the source.
using TSteppedKernel = int32_t (*)(const TSourceView& src, double p0, double s, int32_t count, void* out,
                                   bool out16);

struct TKernelTable {
    TRunKernel run;
    TToInt16Kernel toInt16;
    TPositionKernel positions;
    TSteppedKernel stepped;
};

const TKernelTable& PortableKernels();
// nullptr where the code is not built (other CPU families).
const TKernelTable* AVX2Kernels();
const TKernelTable* AVX512Kernels();
// The fastest table this CPU runs.
const TKernelTable& BestKernels();

// Frame index and kernel fraction of position p (p >= 0).
inline void SplitPosition(double p, int32_t& i, float& z) {
    i = static_cast<int32_t>(p);  // truncation is floor here
    z = static_cast<float>((p - static_cast<double>(i)) - 0.5);
}

inline void PositionsScalar(double p0, double s, int32_t count, int32_t* idx, float* z) {
    for (int32_t k = 0; k < count; ++k) SplitPosition(p0 + static_cast<double>(k) * s, idx[k], z[k]);
}

// The loop of a conversion: reads past the last frame continue at start.
struct TLoop {
    bool active;
    int32_t start;
    int32_t end;  // exclusive
};

// How many positions from p on are p + k s with one rounded step s, exactly
// (see FillPositions); at most maxCount, 0 when not worth it.
int32_t ExactRun(double p, double step, const TLoop& loop, int32_t maxCount, double& s);

// Positions of `count` output frames from p on, exactly as repeating
//   p += step; if looping, while p >= end: p -= length
// gives them, but computed many at a time: inside one binade of p (and short
// of the loop's end) every addition adds the same rounded step, so the k-th
// position is p + k s exactly. Returns the position after the last; sets
// `wrapped` when a loop wrap happened.
double FillPositions(const TKernelTable& kernels, double p, double step, const TLoop& loop, int32_t count,
                     int32_t* idx, float* z, bool& wrapped);

// The scalar run: the tail of every vector run and the portable path.
inline void RunScalar(const TSourceView& src, const int32_t* idx, const float* z, int32_t count, void* out,
                      bool out16) {
    const int ch = src.channels;
    for (int32_t n = 0; n < count; ++n) {
        for (int c = 0; c < ch; ++c) {
            const size_t base = static_cast<size_t>(idx[n] - 2) * ch + c;
            const float v = Interpolate6(
                ReadValue(src.data, base, src.isFloat), ReadValue(src.data, base + ch, src.isFloat),
                ReadValue(src.data, base + 2 * ch, src.isFloat), ReadValue(src.data, base + 3 * ch, src.isFloat),
                ReadValue(src.data, base + 4 * ch, src.isFloat), ReadValue(src.data, base + 5 * ch, src.isFloat), z[n]);
            StoreValue(out, static_cast<size_t>(n) * ch + c, v, out16);
        }
    }
}

}  // namespace norv::resample
