// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_AVX2 __attribute__((target("avx2,fma")))
// The hot loops must hold no calls.
#define NORV_AVX2_INLINE inline __attribute__((always_inline, target("avx2,fma")))

namespace norv::resample {
namespace {

#define NORV_RESAMPLE_TARGET NORV_AVX2
#include "wavetable/DSP_Resample_Drivers.h"

// Eight values per register, each lane computed in the scalar order; the
// same scheme as the AVX-512 kernels (see there), with blends where those
// use two-register permutes and without mask registers.

struct TTerms {
    __m256 s1, d1, s2, d2, s3, d3;
};

NORV_AVX2_INLINE __m256 Mul(float k, __m256 x) { return _mm256_mul_ps(_mm256_set1_ps(k), x); }
NORV_AVX2_INLINE __m256 Add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
// a + k x where k x is exact (see ExactOnInt17).
NORV_AVX2_INLINE __m256 AddExact(__m256 a, float k, __m256 x) { return _mm256_fmadd_ps(_mm256_set1_ps(k), x, a); }

// Int17: terms are integers (16-bit source), so the exact products fuse.
// N vectors statement by statement, so that their dependency chains overlap.
template <bool Int17, int N>
NORV_AVX2_INLINE void Poly(const TTerms* t, const __m256* z, __m256* out) {
    __m256 c0[N], c1[N], c2[N], c3[N], c4[N], c5[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        if constexpr (Int17) {
            c0[j] = AddExact(AddExact(Mul(K0_3, t[j].s3), K0_2, t[j].s2), K0_1, t[j].s1);
            c1[j] = AddExact(AddExact(Mul(K1_2, t[j].d2), K1_3, t[j].d3), K1_1, t[j].d1);
            c2[j] = Add(AddExact(Mul(K2_3, t[j].s3), K2_2, t[j].s2), Mul(K2_1, t[j].s1));
            c3[j] = Add(AddExact(Mul(K3_3, t[j].d3), K3_2, t[j].d2), Mul(K3_1, t[j].d1));
            c4[j] = Add(AddExact(Mul(K4_3, t[j].s3), K4_2, t[j].s2), Mul(K4_1, t[j].s1));
        } else {
            c0[j] = Add(Add(Mul(K0_3, t[j].s3), Mul(K0_2, t[j].s2)), Mul(K0_1, t[j].s1));
            c1[j] = Add(Add(Mul(K1_3, t[j].d3), Mul(K1_2, t[j].d2)), Mul(K1_1, t[j].d1));
            c2[j] = Add(Add(Mul(K2_3, t[j].s3), Mul(K2_2, t[j].s2)), Mul(K2_1, t[j].s1));
            c3[j] = Add(Add(Mul(K3_3, t[j].d3), Mul(K3_2, t[j].d2)), Mul(K3_1, t[j].d1));
            c4[j] = Add(Add(Mul(K4_3, t[j].s3), Mul(K4_2, t[j].s2)), Mul(K4_1, t[j].s1));
        }
        c5[j] = Add(Add(Mul(K5_3, t[j].d3), Mul(K5_2, t[j].d2)), Mul(K5_1, t[j].d1));
    }
    __m256 v[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm256_mul_ps(c5[j], z[j]), c4[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm256_mul_ps(v[j], z[j]), c3[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm256_mul_ps(v[j], z[j]), c2[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm256_mul_ps(v[j], z[j]), c1[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) out[j] = Add(_mm256_mul_ps(v[j], z[j]), c0[j]);
}

template <bool Int17>
NORV_AVX2_INLINE __m256 Poly(const TTerms& t, __m256 z) {
    __m256 v;
    Poly<Int17, 1>(&t, &z, &v);
    return v;
}

NORV_AVX2_INLINE TTerms FloatTerms(const __m256 x[6]) {
    return {_mm256_add_ps(x[2], x[3]), _mm256_sub_ps(x[2], x[3]), _mm256_add_ps(x[1], x[4]),
            _mm256_sub_ps(x[1], x[4]), _mm256_add_ps(x[0], x[5]), _mm256_sub_ps(x[0], x[5])};
}

// From 32-bit integer taps, exact.
NORV_AVX2_INLINE __m256 Sum(__m256i a, __m256i b) { return _mm256_cvtepi32_ps(_mm256_add_epi32(a, b)); }
NORV_AVX2_INLINE __m256 Difference(__m256i a, __m256i b) { return _mm256_cvtepi32_ps(_mm256_sub_epi32(a, b)); }
NORV_AVX2_INLINE TTerms IntTerms(const __m256i x[6]) {
    return {Sum(x[2], x[3]), Difference(x[2], x[3]), Sum(x[1], x[4]),
            Difference(x[1], x[4]), Sum(x[0], x[5]), Difference(x[0], x[5])};
}

// From lanes holding the 16-bit pair (a, b): a + b and a - b, exact.
NORV_AVX2_INLINE void SumDifference(__m256i pairs, __m256& sum, __m256& difference) {
    sum = _mm256_cvtepi32_ps(_mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00010001)));
    difference = _mm256_cvtepi32_ps(_mm256_madd_epi16(pairs, _mm256_set1_epi32(static_cast<int32_t>(0xFFFF0001u))));
}

// From the pairs (x(0), x(1)), (x(-1), x(2)), (x(-2), x(3)).
NORV_AVX2_INLINE TTerms PairTerms(__m256i p1, __m256i p2, __m256i p3) {
    TTerms t;
    SumDifference(p1, t.s1, t.d1);
    SumDifference(p2, t.s2, t.d2);
    SumDifference(p3, t.s3, t.d3);
    return t;
}

// Terms of 16-bit sources for float output: there the values are taken
// with the 1/32768, as the scalar form does, so that tiny results, which
// may pass through subnormal numbers there, come out the same.
template <bool Out16>
NORV_AVX2_INLINE TTerms ForOutput(TTerms t) {
    if constexpr (!Out16) {
        const __m256 k = _mm256_set1_ps(Scale16);
        t = {_mm256_mul_ps(t.s1, k), _mm256_mul_ps(t.d1, k), _mm256_mul_ps(t.s2, k), _mm256_mul_ps(t.d2, k), _mm256_mul_ps(t.s3, k), _mm256_mul_ps(t.d3, k)};
    }
    return t;
}

// --- To 16-bit ---------------------------------------------------------

// Lanes whose float product lies on a half-integer: the exact product may
// lie beside it and round the other way.
NORV_AVX2_INLINE __m256 Ties(__m256 product) {
    const __m256 below = _mm256_round_ps(product, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    return _mm256_cmp_ps(_mm256_sub_ps(product, below), _mm256_set1_ps(0.5f), _CMP_EQ_OQ);
}

// v times `scale` rounded once: the product in double is exact.
NORV_AVX2_INLINE __m256i RoundExact(__m256 v, double scale) {
    const __m256d k = _mm256_set1_pd(scale);
    const __m128i lo = _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(v)), k));
    const __m128i hi = _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)), k));
    return _mm256_set_m128i(hi, lo);
}

// SampleToInt16 of 16-bit-path values (x 32768, bounded) but for the limit:
// the caller saturates to -32767 ... 32767.
NORV_AVX2_INLINE __m256i RoundInt17(__m256 v, __m256& ties) {
    const __m256 product = _mm256_mul_ps(v, _mm256_set1_ps(32767.0f / 32768.0f));
    ties = Ties(product);
    return _mm256_cvtps_epi32(product);
}
NORV_AVX2_INLINE __m256i RoundInt17Exact(__m256 v) {
    v = _mm256_min_ps(_mm256_max_ps(v, _mm256_set1_ps(-32768.0f)), _mm256_set1_ps(32768.0f));
    return RoundExact(v, 32767.0 / 32768.0);
}

// SampleToInt16 of float values in every lane, as 32-bit integers.
NORV_AVX2_INLINE __m256i RoundFloat(__m256 v) {
    v = _mm256_and_ps(_mm256_cmp_ps(v, v, _CMP_ORD_Q), v);
    v = _mm256_min_ps(_mm256_max_ps(v, _mm256_set1_ps(-1.0f)), _mm256_set1_ps(1.0f));
    const __m256 product = _mm256_mul_ps(v, _mm256_set1_ps(32767.0f));
    if (_mm256_movemask_ps(Ties(product)) != 0) return RoundExact(v, 32767.0);
    return _mm256_cvtps_epi32(product);
}

// Eight 32-bit integers to 16-bit with saturation.
NORV_AVX2_INLINE __m128i Pack(__m256i r) {
    return _mm_packs_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
}

// Positions p0 + k s, W at a time. Every sum is exact, so adding W s to one
// gives the next exactly. A whole number below 2^32 plus 2^52 has it in its
// low 32 bits: no conversion, which some CPUs do slowly.
template <int W>
class TPositionsOf;

// Eight: a holds positions 0, 1, 4, 5 and b 2, 3, 6, 7, the order in which
// one shuffle interleaves their low halves.
template <>
class TPositionsOf<8> {
public:
    NORV_AVX2_INLINE TPositionsOf(double p0, double step) {
        a_ = _mm256_add_pd(_mm256_set1_pd(p0), _mm256_mul_pd(_mm256_setr_pd(0, 1, 4, 5), _mm256_set1_pd(step)));
        b_ = _mm256_add_pd(_mm256_set1_pd(p0), _mm256_mul_pd(_mm256_setr_pd(2, 3, 6, 7), _mm256_set1_pd(step)));
        advance_ = _mm256_set1_pd(8 * step);
    }

    NORV_AVX2_INLINE void Next(__m256i& vi, __m256& zv) {
        const __m256d magic = _mm256_set1_pd(0x1p52), half = _mm256_set1_pd(0.5);
        const __m256d fa = _mm256_round_pd(a_, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m256d fb = _mm256_round_pd(b_, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        vi = _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castpd_ps(_mm256_add_pd(fa, magic)),
                                                   _mm256_castpd_ps(_mm256_add_pd(fb, magic)), 0x88));
        const __m128 za = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_sub_pd(a_, fa), half));
        const __m128 zb = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_sub_pd(b_, fb), half));
        zv = _mm256_permutevar8x32_ps(_mm256_set_m128(zb, za), _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
        a_ = _mm256_add_pd(a_, advance_);
        b_ = _mm256_add_pd(b_, advance_);
    }

private:
    __m256d a_, b_, advance_;
};

template <>
class TPositionsOf<4> {
public:
    NORV_AVX2_INLINE TPositionsOf(double p0, double step) {
        a_ = _mm256_add_pd(_mm256_set1_pd(p0), _mm256_mul_pd(_mm256_setr_pd(0, 1, 2, 3), _mm256_set1_pd(step)));
        advance_ = _mm256_set1_pd(4 * step);
    }

    NORV_AVX2_INLINE void Next(__m128i& vi, __m128& zv) {
        const __m256d fa = _mm256_round_pd(a_, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m256i bits = _mm256_castpd_si256(_mm256_add_pd(fa, _mm256_set1_pd(0x1p52)));
        vi = _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(bits, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6)));
        zv = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_sub_pd(a_, fa), _mm256_set1_pd(0.5)));
        a_ = _mm256_add_pd(a_, advance_);
    }

private:
    __m256d a_, advance_;
};

// --- Source layouts (see DSP_Resample_Drivers.h) ---------------------------

struct TVectors8 {
    using TIndex = __m256i;
    using TFraction = __m256;
    using TPositions = TPositionsOf<8>;
    NORV_AVX2_INLINE static TIndex Indices(const int32_t* idx) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx));
    }
    NORV_AVX2_INLINE static TFraction Fractions(const float* z) { return _mm256_loadu_ps(z); }
    NORV_AVX2_INLINE static int32_t First(TIndex vi) { return _mm_cvtsi128_si32(_mm256_castsi256_si128(vi)); }
};

struct TVectors4 {
    using TIndex = __m128i;
    using TFraction = __m128;
    using TPositions = TPositionsOf<4>;
    NORV_AVX2_INLINE static TIndex Indices(const int32_t* idx) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(idx));
    }
    NORV_AVX2_INLINE static TFraction Fractions(const float* z) { return _mm_loadu_ps(z); }
    NORV_AVX2_INLINE static int32_t First(TIndex vi) { return _mm_cvtsi128_si32(vi); }
};

// Element rel of the eight from p and the eight from p + 8, rel < 16.
NORV_AVX2_INLINE __m256i FromTwo(const int32_t* p, __m256i rel, __m256i high) {
    const __m256i a = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), rel);
    const __m256i b = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 8)), rel);
    return _mm256_blendv_epi8(a, b, high);
}

// Stereo 16-bit: a frame is one 32-bit element, left in its low half. Lanes
// of `lo` hold (frame 4j, left), (4j, right), (4j + 1, left), (4j + 1, right)
// in each 128-bit block j; `hi` the frames 4j + 2 and 4j + 3. In this order
// packing them gives interleaved 16-bit frames.
struct TStereo16 : TVectors8 {
    static constexpr int W = 8;
    static constexpr size_t OutValues = 2 * W;
    static constexpr int32_t MaxSpan[2] = {7, 15};
    static constexpr int32_t Reach[2] = {10, 18};
    struct TLoaded {
        __m256i x[6];  // frame i + k - 2 in lane i's element
    };

    template <TTaps Taps>
    NORV_AVX2_INLINE static TLoaded Load(const TSourceView& s, __m256i vi, int32_t first) {
        const auto* p = static_cast<const int32_t*>(s.data) + (first - 2);
        const __m256i rel = _mm256_sub_epi32(vi, _mm256_set1_epi32(first));
        const __m256i high = _mm256_cmpgt_epi32(rel, _mm256_set1_epi32(7));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near)
                l.x[k] = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k)), rel);
            else if constexpr (Taps == Far)
                l.x[k] = FromTwo(p + k, rel, high);
            else
                l.x[k] = _mm256_i32gather_epi32(static_cast<const int*>(s.data),
                                                _mm256_add_epi32(vi, _mm256_set1_epi32(k - 2)), 4);
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX2_INLINE static void Compute(const TLoaded& l, __m256 zv, void* out) {
        const __m256i* x = l.x;
        // One half after the other: sixteen registers are few.
        const __m256 v[2] = {
            Poly<true>(ForOutput<Out16>(PairTerms(_mm256_unpacklo_epi16(x[2], x[3]),
                                                  _mm256_unpacklo_epi16(x[1], x[4]), _mm256_unpacklo_epi16(x[0], x[5]))),
                       _mm256_permutevar8x32_ps(zv, _mm256_setr_epi32(0, 0, 1, 1, 4, 4, 5, 5))),
            Poly<true>(ForOutput<Out16>(PairTerms(_mm256_unpackhi_epi16(x[2], x[3]),
                                                  _mm256_unpackhi_epi16(x[1], x[4]), _mm256_unpackhi_epi16(x[0], x[5]))),
                       _mm256_permutevar8x32_ps(zv, _mm256_setr_epi32(2, 2, 3, 3, 6, 6, 7, 7)))};
        if constexpr (Out16) {
            __m256 tiesLo, tiesHi;
            __m256i lo = RoundInt17(v[0], tiesLo), hi = RoundInt17(v[1], tiesHi);
            if (_mm256_movemask_ps(_mm256_or_ps(tiesLo, tiesHi)) != 0) {
                lo = RoundInt17Exact(v[0]);
                hi = RoundInt17Exact(v[1]);
            }
            _mm256_storeu_si256(static_cast<__m256i*>(out),
                                _mm256_max_epi16(_mm256_packs_epi32(lo, hi), _mm256_set1_epi16(-32767)));
        } else {
            auto* o = static_cast<float*>(out);
            _mm256_storeu_ps(o, _mm256_permute2f128_ps(v[0], v[1], 0x20));
            _mm256_storeu_ps(o + 8, _mm256_permute2f128_ps(v[0], v[1], 0x31));
        }
    }
};

// Mono 16-bit: taps widened to 32 bits as they are loaded.
struct TMono16 : TVectors8 {
    static constexpr int W = 8;
    static constexpr size_t OutValues = W;
    static constexpr int32_t MaxSpan[2] = {7, 15};
    static constexpr int32_t Reach[2] = {10, 18};
    struct TLoaded {
        __m256i x[6];
    };

    NORV_AVX2_INLINE static __m256i Widened(const int16_t* p) {
        return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }

    template <TTaps Taps>
    NORV_AVX2_INLINE static TLoaded Load(const TSourceView& s, __m256i vi, int32_t first) {
        const auto* p = static_cast<const int16_t*>(s.data) + (first - 2);
        const __m256i rel = _mm256_sub_epi32(vi, _mm256_set1_epi32(first));
        const __m256i high = _mm256_cmpgt_epi32(rel, _mm256_set1_epi32(7));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near) {
                l.x[k] = _mm256_permutevar8x32_epi32(Widened(p + k), rel);
            } else if constexpr (Taps == Far) {
                l.x[k] = _mm256_blendv_epi8(_mm256_permutevar8x32_epi32(Widened(p + k), rel),
                                            _mm256_permutevar8x32_epi32(Widened(p + k + 8), rel), high);
            } else {
                // Four bytes from each 16-bit frame: the interior leaves a frame to spare.
                const __m256i g = _mm256_i32gather_epi32(static_cast<const int*>(s.data),
                                                         _mm256_add_epi32(vi, _mm256_set1_epi32(k - 2)), 2);
                l.x[k] = _mm256_srai_epi32(_mm256_slli_epi32(g, 16), 16);
            }
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX2_INLINE static void Compute(const TLoaded& l, __m256 zv, void* out) {
        const __m256 v = Poly<true>(ForOutput<Out16>(IntTerms(l.x)), zv);
        if constexpr (Out16) {
            __m256 ties;
            __m256i r = RoundInt17(v, ties);
            if (_mm256_movemask_ps(ties) != 0) r = RoundInt17Exact(v);
            _mm_storeu_si128(static_cast<__m128i*>(out), _mm_max_epi16(Pack(r), _mm_set1_epi16(-32767)));
        } else {
            _mm256_storeu_ps(static_cast<float*>(out), v);
        }
    }
};

template <bool Out16>
NORV_AVX2_INLINE void StoreFloatSource(void* out, __m256 v) {
    if constexpr (Out16)
        _mm_storeu_si128(static_cast<__m128i*>(out), Pack(RoundFloat(v)));
    else
        _mm256_storeu_ps(static_cast<float*>(out), v);
}

struct TFloatTaps {
    __m256 x[6];
};

struct TMonoFloat : TVectors8 {
    static constexpr int W = 8;
    static constexpr size_t OutValues = W;
    static constexpr int32_t MaxSpan[2] = {7, 15};
    static constexpr int32_t Reach[2] = {10, 18};
    using TLoaded = TFloatTaps;

    template <TTaps Taps>
    NORV_AVX2_INLINE static TLoaded Load(const TSourceView& s, __m256i vi, int32_t first) {
        const float* p = static_cast<const float*>(s.data) + (first - 2);
        const __m256i rel = _mm256_sub_epi32(vi, _mm256_set1_epi32(first));
        const __m256 high = _mm256_castsi256_ps(_mm256_cmpgt_epi32(rel, _mm256_set1_epi32(7)));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near)
                l.x[k] = _mm256_permutevar8x32_ps(_mm256_loadu_ps(p + k), rel);
            else if constexpr (Taps == Far)
                l.x[k] = _mm256_blendv_ps(_mm256_permutevar8x32_ps(_mm256_loadu_ps(p + k), rel),
                                          _mm256_permutevar8x32_ps(_mm256_loadu_ps(p + k + 8), rel), high);
            else
                l.x[k] = _mm256_i32gather_ps(static_cast<const float*>(s.data),
                                             _mm256_add_epi32(vi, _mm256_set1_epi32(k - 2)), 4);
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX2_INLINE static void Compute(const TLoaded& l, __m256 zv, void* out) {
        StoreFloatSource<Out16>(out, Poly<false>(FloatTerms(l.x), zv));
    }
};

// Stereo float: the lanes of a group of 4 output frames hold (frame, left),
// (frame, right) in output order; element pairs are permuted together.
struct TStereoFloat : TVectors4 {
    static constexpr int W = 4;
    static constexpr size_t OutValues = 2 * W;
    static constexpr int32_t MaxSpan[2] = {3, 7};
    static constexpr int32_t Reach[2] = {6, 10};
    using TLoaded = TFloatTaps;

    template <TTaps Taps>
    NORV_AVX2_INLINE static TLoaded Load(const TSourceView& s, __m128i vi, int32_t first) {
        const float* p = static_cast<const float*>(s.data) + 2 * (first - 2);
        // Float indices 2 rel and 2 rel + 1 for each frame.
        const __m256i twice = _mm256_slli_epi64(_mm256_cvtepu32_epi64(_mm_sub_epi32(vi, _mm_set1_epi32(first))), 1);
        const __m256i rel = _mm256_add_epi32(_mm256_or_si256(twice, _mm256_slli_epi64(twice, 32)),
                                             _mm256_set1_epi64x(int64_t{1} << 32));
        const __m256 high = _mm256_castsi256_ps(_mm256_cmpgt_epi32(rel, _mm256_set1_epi32(7)));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near)
                l.x[k] = _mm256_permutevar8x32_ps(_mm256_loadu_ps(p + 2 * k), rel);
            else if constexpr (Taps == Far)
                l.x[k] = _mm256_blendv_ps(_mm256_permutevar8x32_ps(_mm256_loadu_ps(p + 2 * k), rel),
                                          _mm256_permutevar8x32_ps(_mm256_loadu_ps(p + 2 * k + 8), rel), high);
            else
                l.x[k] = _mm256_castpd_ps(_mm256_i32gather_pd(static_cast<const double*>(s.data),
                                                              _mm_add_epi32(vi, _mm_set1_epi32(k - 2)), 8));
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX2_INLINE static void Compute(const TLoaded& l, __m128 zv, void* out) {
        const __m256 z =
            _mm256_permutevar8x32_ps(_mm256_castps128_ps256(zv), _mm256_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3));
        StoreFloatSource<Out16>(out, Poly<false>(FloatTerms(l.x), z));
    }
};

void RunAVX2(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out, bool out16) {
    Dispatch<TMono16, TStereo16, TMonoFloat, TStereoFloat, TRunOf>(s, out16, idx, z, count, out);
}

int32_t SteppedAVX2(const TSourceView& s, double p0, double step, int32_t count, void* out, bool out16) {
    return Dispatch<TMono16, TStereo16, TMonoFloat, TStereoFloat, TSteppedOf>(s, out16, p0, step, count, out);
}

NORV_AVX2 void ToInt16AVX2(const float* in, int16_t* out, size_t count) {
    size_t n = 0;
    for (; n + 8 <= count; n += 8)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), Pack(RoundFloat(_mm256_loadu_ps(in + n))));
    for (; n < count; ++n) out[n] = SampleToInt16(in[n]);
}

NORV_AVX2 void PositionsAVX2(double p0, double s, int32_t count, int32_t* idx, float* z) {
    TPositionsOf<8> positions(p0, s);
    int32_t k = 0;
    for (; k + 8 <= count; k += 8) {
        __m256i vi;
        __m256 zv;
        positions.Next(vi, zv);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(idx + k), vi);
        _mm256_storeu_ps(z + k, zv);
    }
    for (; k < count; ++k) SplitPosition(p0 + static_cast<double>(k) * s, idx[k], z[k]);
}

const TKernelTable Table{RunAVX2, ToInt16AVX2, PositionsAVX2, SteppedAVX2};

}  // namespace

const TKernelTable* AVX2Kernels() { return &Table; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX2Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
