// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_AVX512 __attribute__((target("avx512f,avx512bw")))

namespace norv::resample {
namespace {

// Sixteen output frames per register, each lane computed in the scalar order.

// The kernel's sums and differences: s1 = x(0) + x(1), d1 = x(0) - x(1),
// s2 = x(-1) + x(2), ..., d3 = x(-2) - x(3).
struct TTerms {
    __m512 s1, d1, s2, d2, s3, d3;
};

NORV_AVX512 inline TTerms FromTaps(const __m512 x[6]) {
    return {_mm512_add_ps(x[2], x[3]), _mm512_sub_ps(x[2], x[3]), _mm512_add_ps(x[1], x[4]),
            _mm512_sub_ps(x[1], x[4]), _mm512_add_ps(x[0], x[5]), _mm512_sub_ps(x[0], x[5])};
}

NORV_AVX512 inline __m512 Coef(float a, float b, float c, __m512 t3, __m512 t2, __m512 t1) {
    return _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(_mm512_set1_ps(a), t3), _mm512_mul_ps(_mm512_set1_ps(b), t2)),
                         _mm512_mul_ps(_mm512_set1_ps(c), t1));
}

NORV_AVX512 inline __m512 Poly(const TTerms& t, __m512 z) {
    const __m512 c0 = Coef(K0_3, K0_2, K0_1, t.s3, t.s2, t.s1);
    const __m512 c1 = Coef(K1_3, K1_2, K1_1, t.d3, t.d2, t.d1);
    const __m512 c2 = Coef(K2_3, K2_2, K2_1, t.s3, t.s2, t.s1);
    const __m512 c3 = Coef(K3_3, K3_2, K3_1, t.d3, t.d2, t.d1);
    const __m512 c4 = Coef(K4_3, K4_2, K4_1, t.s3, t.s2, t.s1);
    const __m512 c5 = Coef(K5_3, K5_2, K5_1, t.d3, t.d2, t.d1);
    __m512 v = _mm512_add_ps(_mm512_mul_ps(c5, z), c4);
    v = _mm512_add_ps(_mm512_mul_ps(v, z), c3);
    v = _mm512_add_ps(_mm512_mul_ps(v, z), c2);
    v = _mm512_add_ps(_mm512_mul_ps(v, z), c1);
    return _mm512_add_ps(_mm512_mul_ps(v, z), c0);
}

NORV_AVX512 inline __m512 Scaled(__m512i v) {
    return _mm512_mul_ps(_mm512_cvtepi32_ps(v), _mm512_set1_ps(Scale16));
}
NORV_AVX512 inline __m512 Low16(__m512i t) { return Scaled(_mm512_srai_epi32(_mm512_slli_epi32(t, 16), 16)); }
NORV_AVX512 inline __m512 High16(__m512i t) { return Scaled(_mm512_srai_epi32(t, 16)); }

// From lanes holding the 16-bit pair (a, b): a + b and a - b. Formed exactly in
// integers and scaled once, they equal the float sums of the scaled values.
NORV_AVX512 inline void PairTerms(__m512i pairs, __m512& sum, __m512& difference) {
    sum = Scaled(_mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010001)));
    difference = Scaled(_mm512_madd_epi16(pairs, _mm512_set1_epi32(static_cast<int32_t>(0xFFFF0001u))));
}

// Word indices of the tap pairs (x(0), x(1)), (x(-1), x(2)), (x(-2), x(3))
// relative to a lane's first tap, for `stride` words a frame.
constexpr int32_t PairIndex(int a, int b, int stride, int channel) {
    return (stride * b + channel) * 65536 + stride * a + channel;
}

// SampleToInt16 in every lane, as 32-bit integers: the product in double
// is exact, so it is rounded once.
NORV_AVX512 inline __m512i ToIntExact(__m512 limited) {
    const __m512d scale = _mm512_set1_pd(32767.0);
    const __m512d lo = _mm512_mul_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(limited)), scale);
    const __m512d hi =
        _mm512_mul_pd(_mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(limited), 1))), scale);
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtpd_epi32(lo)), _mm512_cvtpd_epi32(hi), 1);
}

// The same, mostly in float: rounding the float product to an integer gives
// the exact product's rounding unless the float product lies on a
// half-integer (then the exact product may lie beside it). Those rare
// vectors take the double path.
NORV_AVX512 inline __m512i ToInt(__m512 v) {
    v = _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(v, v, _CMP_ORD_Q), v);
    v = _mm512_min_ps(_mm512_max_ps(v, _mm512_set1_ps(-1.0f)), _mm512_set1_ps(1.0f));
    const __m512 product = _mm512_mul_ps(v, _mm512_set1_ps(32767.0f));
    const __m512i rounded = _mm512_cvtps_epi32(product);
    const __m512 off = _mm512_abs_ps(_mm512_sub_ps(product, _mm512_cvtepi32_ps(rounded)));
    if (_mm512_cmp_ps_mask(off, _mm512_set1_ps(0.5f), _CMP_EQ_OQ) != 0) return ToIntExact(v);
    return rounded;
}

// The window path covers 16 frames whose positions span at most 26 source
// frames (steps up to about 1.7); wider spans gather.
constexpr int32_t WindowSpan = 26;

// The terms of 16 frames, per channel; `idx` points at the first of them.
template <int Channels, bool Float>
NORV_AVX512 inline void Terms(const TSourceView& s, const int32_t* idx, TTerms& a, TTerms& b) {
    const __m512i vi = _mm512_loadu_si512(idx);
    const int32_t base = idx[0] - 2;
    const int32_t span = idx[15] - idx[0];
    const int32_t avail = s.frames - base;
    __m512 x[6], y[6];
    if constexpr (Channels == 2 && Float) {
        const __m512i v2 = _mm512_slli_epi32(vi, 1);
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            const __m512i at = _mm512_add_epi32(v2, _mm512_set1_epi32(2 * (k - 2)));
            x[k] = _mm512_i32gather_ps(at, s.data, 4);
            y[k] = _mm512_i32gather_ps(_mm512_add_epi32(at, _mm512_set1_epi32(1)), s.data, 4);
        }
        a = FromTaps(x);
        b = FromTaps(y);
        return;
    }
    if (span > WindowSpan) {
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            const __m512i at = _mm512_add_epi32(vi, _mm512_set1_epi32(k - 2));
            if constexpr (Float) {
                x[k] = _mm512_i32gather_ps(at, s.data, 4);
            } else if constexpr (Channels == 1) {
                // Four bytes from each 16-bit frame: the interior leaves a frame to spare.
                x[k] = Low16(_mm512_i32gather_epi32(at, s.data, 2));
            } else {
                const __m512i t = _mm512_i32gather_epi32(at, s.data, 4);
                x[k] = Low16(t);
                y[k] = High16(t);
            }
        }
        a = FromTaps(x);
        if constexpr (Channels == 2) b = FromTaps(y);
        return;
    }
    // Element e of the window is source frame base + e; a lane's first tap is
    // element rel.
    const __m512i rel = _mm512_sub_epi32(vi, _mm512_set1_epi32(idx[0]));
    if constexpr (Channels == 1 && !Float) {
        const auto* p = static_cast<const int16_t*>(s.data) + base;
        const __m512i w = avail >= 32 ? _mm512_loadu_si512(p)
                                      : _mm512_maskz_loadu_epi16(static_cast<__mmask32>((1u << avail) - 1), p);
        const __m512i both = _mm512_or_si512(rel, _mm512_slli_epi32(rel, 16));
        auto pair = [&](int32_t index) __attribute__((target("avx512f,avx512bw"))) {
            return _mm512_permutexvar_epi16(_mm512_add_epi32(both, _mm512_set1_epi32(index)), w);
        };
        PairTerms(pair(PairIndex(2, 3, 1, 0)), a.s1, a.d1);
        PairTerms(pair(PairIndex(1, 4, 1, 0)), a.s2, a.d2);
        PairTerms(pair(PairIndex(0, 5, 1, 0)), a.s3, a.d3);
        return;
    }
    // 32-bit elements: a stereo 16-bit frame or a mono float.
    const auto* p = static_cast<const int32_t*>(s.data) + base;
    __m512i w0, w1;
    if (avail >= 32) {
        w0 = _mm512_loadu_si512(p);
        w1 = _mm512_loadu_si512(p + 16);
    } else {
        const auto m0 = static_cast<__mmask16>(avail >= 16 ? 0xFFFFu : (1u << avail) - 1);
        const auto m1 = static_cast<__mmask16>(avail > 16 ? (1u << (avail - 16)) - 1 : 0u);
        w0 = _mm512_maskz_loadu_epi32(m0, p);
        w1 = _mm512_maskz_loadu_epi32(m1, p + 16);
    }
    if constexpr (Float) {
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k)
            x[k] = _mm512_castsi512_ps(_mm512_permutex2var_epi32(w0, _mm512_add_epi32(rel, _mm512_set1_epi32(k)), w1));
        a = FromTaps(x);
    } else {
        // Words: frame e's left value is word 2e, its right value word 2e + 1.
        const __m512i rel2 = _mm512_slli_epi32(rel, 1);
        const __m512i both = _mm512_or_si512(rel2, _mm512_slli_epi32(rel2, 16));
        auto pair = [&](int32_t index) __attribute__((target("avx512f,avx512bw"))) {
            return _mm512_permutex2var_epi16(w0, _mm512_add_epi32(both, _mm512_set1_epi32(index)), w1);
        };
        PairTerms(pair(PairIndex(2, 3, 2, 0)), a.s1, a.d1);
        PairTerms(pair(PairIndex(1, 4, 2, 0)), a.s2, a.d2);
        PairTerms(pair(PairIndex(0, 5, 2, 0)), a.s3, a.d3);
        PairTerms(pair(PairIndex(2, 3, 2, 1)), b.s1, b.d1);
        PairTerms(pair(PairIndex(1, 4, 2, 1)), b.s2, b.d2);
        PairTerms(pair(PairIndex(0, 5, 2, 1)), b.s3, b.d3);
    }
}

NORV_AVX512 inline void StoreMono(void* out, int32_t n, __m512 v, bool out16) {
    if (out16)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(static_cast<int16_t*>(out) + n), _mm512_cvtepi32_epi16(ToInt(v)));
    else
        _mm512_storeu_ps(static_cast<float*>(out) + n, v);
}

NORV_AVX512 inline void StoreStereo(void* out, int32_t n, __m512 l, __m512 r, bool out16) {
    if (out16) {
        const __m512i lo = _mm512_and_si512(ToInt(l), _mm512_set1_epi32(0xFFFF));
        _mm512_storeu_si512(static_cast<int16_t*>(out) + 2 * n, _mm512_or_si512(lo, _mm512_slli_epi32(ToInt(r), 16)));
        return;
    }
    // unpack pairs frames inside 128-bit lanes; the permutes put the lanes in order.
    const __m512 pl = _mm512_unpacklo_ps(l, r), ph = _mm512_unpackhi_ps(l, r);
    const __m512i first = _mm512_setr_epi32(0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
    const __m512i second = _mm512_setr_epi32(8, 9, 10, 11, 24, 25, 26, 27, 12, 13, 14, 15, 28, 29, 30, 31);
    float* o = static_cast<float*>(out) + 2 * n;
    _mm512_storeu_ps(o, _mm512_permutex2var_ps(pl, first, ph));
    _mm512_storeu_ps(o + 16, _mm512_permutex2var_ps(pl, second, ph));
}

template <int Channels, bool Float>
NORV_AVX512 void Run(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out, bool out16) {
    int32_t n = 0;
    for (; n + 16 <= count; n += 16) {
        TTerms a, b;
        Terms<Channels, Float>(s, idx + n, a, b);
        const __m512 zv = _mm512_loadu_ps(z + n);
        if constexpr (Channels == 1)
            StoreMono(out, n, Poly(a, zv), out16);
        else
            StoreStereo(out, n, Poly(a, zv), Poly(b, zv), out16);
    }
    if (n < count) {
        const size_t valueBytes = out16 ? 2 : 4;
        RunScalar(s, idx + n, z + n, count - n, static_cast<uint8_t*>(out) + n * Channels * valueBytes, out16);
    }
}

NORV_AVX512 void RunAVX512(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out,
                           bool out16) {
    if (s.channels == 1)
        s.isFloat ? Run<1, true>(s, idx, z, count, out, out16) : Run<1, false>(s, idx, z, count, out, out16);
    else
        s.isFloat ? Run<2, true>(s, idx, z, count, out, out16) : Run<2, false>(s, idx, z, count, out, out16);
}

NORV_AVX512 void ToInt16AVX512(const float* in, int16_t* out, size_t count) {
    size_t n = 0;
    for (; n + 16 <= count; n += 16)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + n), _mm512_cvtepi32_epi16(ToInt(_mm512_loadu_ps(in + n))));
    for (; n < count; ++n) out[n] = SampleToInt16(in[n]);
}

NORV_AVX512 void PositionsAVX512(double p0, double s, int32_t count, int32_t* idx, float* z) {
    // Every p0 + k s is exact, so adding 8 s to one gives the next exactly.
    const __m512d lanes = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
    const __m512d eight = _mm512_set1_pd(8.0 * s), half = _mm512_set1_pd(0.5);
    __m512d p = _mm512_add_pd(_mm512_set1_pd(p0), _mm512_mul_pd(lanes, _mm512_set1_pd(s)));
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m512d fraction = _mm512_sub_pd(p, _mm512_roundscale_pd(p, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(idx + k), _mm512_cvttpd_epi32(p));
        _mm256_storeu_ps(z + k, _mm512_cvtpd_ps(_mm512_sub_pd(fraction, half)));
        p = _mm512_add_pd(p, eight);
    }
    for (; k < count; ++k) SplitPosition(p0 + static_cast<double>(k) * s, idx[k], z[k]);
}

const TKernelTable Table{RunAVX512, ToInt16AVX512, PositionsAVX512};

}  // namespace

const TKernelTable* AVX512Kernels() { return &Table; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX512Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
