// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#include <algorithm>
#include <cstring>

namespace norv::resample {
namespace {

// The kernel's coefficients depend on the source frame only, z on the output
// frame. Without per-CPU code the cheap way is to compute the coefficients
// of a stretch of source frames together, four at a time in the compiler's
// generic vectors (SSE2, NEON), and to evaluate each output frame from them.
// As in the other faster paths, 16-bit values go without the 1/32768 where
// the output is 16-bit (see ExactOnInt17).

using V4 = float __attribute__((vector_size(16)));

// Source frames per table.
constexpr int32_t Span = 256;

struct TTable {
    float c[6][Span];
};

inline V4 Load4(const float* p) {
    V4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store4(float* p, V4 v) { std::memcpy(p, &v, sizeof v); }

// Coefficients of frames 0 ... frames - 1 from taps x[t] ... x[t + 5].
void Coefficients(const float* x, int32_t frames, TTable& t) {
    auto one = [&](auto xm2, auto xm1, auto x0, auto x1, auto x2, auto x3, auto store) {
        const auto s1 = x0 + x1, d1 = x0 - x1;
        const auto s2 = xm1 + x2, d2 = xm1 - x2;
        const auto s3 = xm2 + x3, d3 = xm2 - x3;
        store(0, (K0_3 * s3 + K0_2 * s2) + K0_1 * s1);
        store(1, (K1_3 * d3 + K1_2 * d2) + K1_1 * d1);
        store(2, (K2_3 * s3 + K2_2 * s2) + K2_1 * s1);
        store(3, (K3_3 * d3 + K3_2 * d2) + K3_1 * d1);
        store(4, (K4_3 * s3 + K4_2 * s2) + K4_1 * s1);
        store(5, (K5_3 * d3 + K5_2 * d2) + K5_1 * d1);
    };
    int32_t f = 0;
    for (; f + 4 <= frames; f += 4) {
        const float* p = x + f;
        one(Load4(p), Load4(p + 1), Load4(p + 2), Load4(p + 3), Load4(p + 4), Load4(p + 5),
            [&](int j, V4 v) { Store4(&t.c[j][f], v); });
    }
    for (; f < frames; ++f) {
        const float* p = x + f;
        one(p[0], p[1], p[2], p[3], p[4], p[5], [&](int j, float v) { t.c[j][f] = v; });
    }
}

inline float Horner(const TTable& t, int32_t f, float z) {
    return ((((t.c[5][f] * z + t.c[4][f]) * z + t.c[3][f]) * z + t.c[2][f]) * z + t.c[1][f]) * z + t.c[0][f];
}

// SampleToInt16 of v / unit: the product in double is exact, and adding
// and taking away 1.5 x 2^52 rounds it to an integer, ties to even.
inline int16_t ToInt16(float v, double unit) {
    if (!(v == v)) return 0;
    const double limit = 1.0 / unit;
    const double limited = v > limit ? limit : (v < -limit ? -limit : static_cast<double>(v));
    constexpr double Magic = 0x1.8p52;
    return static_cast<int16_t>((limited * (32767.0 * unit) + Magic) - Magic);
}

int32_t SteppedPortable(const TSourceView& src, double p0, double s, int32_t count, void* out, bool out16) {
    const int ch = src.channels;
    // Taps of the table's frames, per channel: frame i0 - 2 + k at k.
    float taps[2][Span + 5];
    TTable tables[2];
    // 16-bit values as they are for 16-bit output; for float output with the
    // 1/32768, as the scalar form has them, so that tiny results, which may
    // pass through subnormal numbers there, come out the same.
    const bool asTheyAre = !src.isFloat && out16;
    const float tapScale = asTheyAre ? 1.0f : Scale16;
    const double unit = asTheyAre ? 1.0 / 32768 : 1.0;
    double p = p0;  // p0 + n s, exact
    int32_t n = 0;
    int32_t last;
    float unused;
    SplitPosition(p0 + static_cast<double>(count - 1) * s, last, unused);
    while (n < count) {
        int32_t i0;
        float z;
        SplitPosition(p, i0, z);
        const int32_t frames = std::min(Span, last - i0 + 1);
        const size_t base = static_cast<size_t>(i0 - 2) * ch;
        for (int32_t k = 0; k < frames + 5; ++k) {
            for (int c = 0; c < ch; ++c) {
                const size_t at = base + static_cast<size_t>(k) * ch + c;
                taps[c][k] = src.isFloat ? static_cast<const float*>(src.data)[at]
                                         : static_cast<float>(static_cast<const int16_t*>(src.data)[at]) * tapScale;
            }
        }
        for (int c = 0; c < ch; ++c) Coefficients(taps[c], frames, tables[c]);
        for (; n < count; ++n, p += s) {
            int32_t i;
            SplitPosition(p, i, z);
            if (i - i0 >= frames) break;
            for (int c = 0; c < ch; ++c) {
                const float v = Horner(tables[c], i - i0, z);
                const size_t at = static_cast<size_t>(n) * ch + c;
                if (out16)
                    static_cast<int16_t*>(out)[at] = ToInt16(v, unit);
                else
                    static_cast<float*>(out)[at] = v;
            }
        }
    }
    return count;
}

void ToInt16Portable(const float* in, int16_t* out, size_t count) {
    for (size_t n = 0; n < count; ++n) out[n] = ToInt16(in[n], 1.0);
}

const TKernelTable Portable{RunScalar, ToInt16Portable, PositionsScalar, SteppedPortable};

}  // namespace

const TKernelTable& PortableKernels() { return Portable; }

}  // namespace norv::resample
