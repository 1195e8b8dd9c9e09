// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,fma")))
// The hot loops must hold no calls.
#define NORV_AVX512_INLINE inline __attribute__((always_inline, target("avx512f,avx512bw,avx512dq,fma")))

namespace norv::resample {
namespace {

#define NORV_RESAMPLE_TARGET NORV_AVX512
#include "wavetable/DSP_Resample_Drivers.h"

// Sixteen values per register, each lane computed in the scalar order.
//
// Taps come from contiguous loads rearranged by permutes: for a group of
// output frames whose first frame index is i0, the load at source frame
// i0 - 2 + k holds tap x(k - 2) of every frame of the group at element
// idx - i0, so one index vector serves all six taps. Groups spread wider than
// one register take two (Far); wider still, or at the very end of the
// source, they gather.

// The kernel's sums and differences: s1 = x(0) + x(1), d1 = x(0) - x(1),
// s2 = x(-1) + x(2), ..., d3 = x(-2) - x(3).
struct TTerms {
    __m512 s1, d1, s2, d2, s3, d3;
};

NORV_AVX512_INLINE __m512 Mul(float k, __m512 x) { return _mm512_mul_ps(_mm512_set1_ps(k), x); }
NORV_AVX512_INLINE __m512 Add(__m512 a, __m512 b) { return _mm512_add_ps(a, b); }
// a + k x where k x is exact (see ExactOnInt17).
NORV_AVX512_INLINE __m512 AddExact(__m512 a, float k, __m512 x) { return _mm512_fmadd_ps(_mm512_set1_ps(k), x, a); }

// Int17: terms are integers (16-bit source), so the exact products fuse.
// N vectors statement by statement, so that their dependency chains overlap.
template <bool Int17, int N>
NORV_AVX512_INLINE void Poly(const TTerms* t, const __m512* z, __m512* out) {
    __m512 c0[N], c1[N], c2[N], c3[N], c4[N], c5[N];
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
    __m512 v[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm512_mul_ps(c5[j], z[j]), c4[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm512_mul_ps(v[j], z[j]), c3[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm512_mul_ps(v[j], z[j]), c2[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = Add(_mm512_mul_ps(v[j], z[j]), c1[j]);
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) out[j] = Add(_mm512_mul_ps(v[j], z[j]), c0[j]);
}

template <bool Int17>
NORV_AVX512_INLINE __m512 Poly(const TTerms& t, __m512 z) {
    __m512 v;
    Poly<Int17, 1>(&t, &z, &v);
    return v;
}

NORV_AVX512_INLINE TTerms FloatTerms(const __m512 x[6]) {
    return {_mm512_add_ps(x[2], x[3]), _mm512_sub_ps(x[2], x[3]), _mm512_add_ps(x[1], x[4]),
            _mm512_sub_ps(x[1], x[4]), _mm512_add_ps(x[0], x[5]), _mm512_sub_ps(x[0], x[5])};
}

// From lanes holding the 16-bit pair (a, b): a + b and a - b, exact.
NORV_AVX512_INLINE void SumDifference(__m512i pairs, __m512& sum, __m512& difference) {
    sum = _mm512_cvtepi32_ps(_mm512_madd_epi16(pairs, _mm512_set1_epi32(0x00010001)));
    difference = _mm512_cvtepi32_ps(_mm512_madd_epi16(pairs, _mm512_set1_epi32(static_cast<int32_t>(0xFFFF0001u))));
}

// From the pairs (x(0), x(1)), (x(-1), x(2)), (x(-2), x(3)).
NORV_AVX512_INLINE TTerms PairTerms(__m512i p1, __m512i p2, __m512i p3) {
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
NORV_AVX512_INLINE TTerms ForOutput(TTerms t) {
    if constexpr (!Out16) {
        const __m512 k = _mm512_set1_ps(Scale16);
        t = {_mm512_mul_ps(t.s1, k), _mm512_mul_ps(t.d1, k), _mm512_mul_ps(t.s2, k), _mm512_mul_ps(t.d2, k), _mm512_mul_ps(t.s3, k), _mm512_mul_ps(t.d3, k)};
    }
    return t;
}

// --- To 16-bit ---------------------------------------------------------

// Lanes whose float product lies on a half-integer: the exact product may
// lie beside it and round the other way.
NORV_AVX512_INLINE __mmask16 Ties(__m512 product) {
    return _mm512_cmp_ps_mask(_mm512_reduce_ps(product, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
                              _mm512_set1_ps(0.5f), _CMP_EQ_OQ);
}

// v times `scale` rounded once: the product in double is exact.
NORV_AVX512_INLINE __m512i RoundExact(__m512 v, double scale) {
    const __m512d k = _mm512_set1_pd(scale);
    const __m512d lo = _mm512_mul_pd(_mm512_cvtps_pd(_mm512_castps512_ps256(v)), k);
    const __m512d hi =
        _mm512_mul_pd(_mm512_cvtps_pd(_mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(v), 1))), k);
    return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtpd_epi32(lo)), _mm512_cvtpd_epi32(hi), 1);
}

// SampleToInt16 of 16-bit-path values (x 32768, bounded) but for the limit:
// the caller saturates to -32767 ... 32767.
NORV_AVX512_INLINE __m512i RoundInt17(__m512 v, __mmask16& ties) {
    const __m512 product = _mm512_mul_ps(v, _mm512_set1_ps(32767.0f / 32768.0f));
    ties = Ties(product);
    return _mm512_cvtps_epi32(product);
}
NORV_AVX512_INLINE __m512i RoundInt17Exact(__m512 v) {
    v = _mm512_min_ps(_mm512_max_ps(v, _mm512_set1_ps(-32768.0f)), _mm512_set1_ps(32768.0f));
    return RoundExact(v, 32767.0 / 32768.0);
}

// SampleToInt16 of float values in every lane, as 32-bit integers.
NORV_AVX512_INLINE __m512i RoundFloat(__m512 v) {
    v = _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(v, v, _CMP_ORD_Q), v);
    v = _mm512_min_ps(_mm512_max_ps(v, _mm512_set1_ps(-1.0f)), _mm512_set1_ps(1.0f));
    const __m512 product = _mm512_mul_ps(v, _mm512_set1_ps(32767.0f));
    if (Ties(product) != 0) return RoundExact(v, 32767.0);
    return _mm512_cvtps_epi32(product);
}

// Positions p0 + k s, W at a time. Every sum is exact, so adding W s to one
// gives the next exactly. Adding 2^52 rounding down leaves the whole part i
// of a position below 2^32 in the sum's low 32 bits, and the sum less
// (2^52 - 0.5) is i + 0.5 exactly: no conversion to integers, which some
// CPUs do slowly on wide vectors.
template <int W>
class TPositionsOf {
public:
    NORV_AVX512_INLINE TPositionsOf(double p0, double step) {
        const __m512d lanes = _mm512_setr_pd(0, 1, 2, 3, 4, 5, 6, 7);
        a_ = _mm512_add_pd(_mm512_set1_pd(p0), _mm512_mul_pd(lanes, _mm512_set1_pd(step)));
        b_ = _mm512_add_pd(_mm512_set1_pd(p0), _mm512_mul_pd(_mm512_add_pd(lanes, _mm512_set1_pd(8)), _mm512_set1_pd(step)));
        advance_ = _mm512_set1_pd(W * step);
    }

    // The next group's indices and fractions.
    NORV_AVX512_INLINE void Next(__m512i& vi, __m512& zv) {
        const __m512d magic = _mm512_set1_pd(0x1p52), centre = _mm512_set1_pd(0x1p52 - 0.5);
        const __m512i low = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        const __m512d ia = _mm512_add_round_pd(a_, magic, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        const __m256 za = _mm512_cvtpd_ps(_mm512_sub_pd(a_, _mm512_sub_pd(ia, centre)));
        a_ = _mm512_add_pd(a_, advance_);
        if constexpr (W == 16) {
            const __m512d ib = _mm512_add_round_pd(b_, magic, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
            const __m256 zb = _mm512_cvtpd_ps(_mm512_sub_pd(b_, _mm512_sub_pd(ib, centre)));
            b_ = _mm512_add_pd(b_, advance_);
            vi = _mm512_permutex2var_epi32(_mm512_castpd_si512(ia), low, _mm512_castpd_si512(ib));
            zv = _mm512_insertf32x8(_mm512_castps256_ps512(za), zb, 1);
        } else {
            vi = _mm512_permutexvar_epi32(low, _mm512_castpd_si512(ia));
            zv = _mm512_castps256_ps512(za);
        }
    }

private:
    __m512d a_, b_, advance_;
};

// --- Source layouts (see DSP_Resample_Drivers.h) ---------------------------

// Index and fraction vectors of 16 frames.
struct TVectors16 {
    using TIndex = __m512i;
    using TFraction = __m512;
    using TPositions = TPositionsOf<16>;
    NORV_AVX512_INLINE static TIndex Indices(const int32_t* idx) { return _mm512_loadu_si512(idx); }
    NORV_AVX512_INLINE static TFraction Fractions(const float* z) { return _mm512_loadu_ps(z); }
    NORV_AVX512_INLINE static int32_t First(TIndex vi) { return _mm_cvtsi128_si32(_mm512_castsi512_si128(vi)); }
};

// Of 8 frames, in the low halves.
struct TVectors8 {
    using TIndex = __m512i;
    using TFraction = __m512;
    using TPositions = TPositionsOf<8>;
    NORV_AVX512_INLINE static TIndex Indices(const int32_t* idx) {
        return _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx)));
    }
    NORV_AVX512_INLINE static TFraction Fractions(const float* z) { return _mm512_castps256_ps512(_mm256_loadu_ps(z)); }
    NORV_AVX512_INLINE static int32_t First(TIndex vi) { return _mm_cvtsi128_si32(_mm512_castsi512_si128(vi)); }
};

// Stereo 16-bit: a frame is one 32-bit element, left in its low half. Lanes
// of `lo` hold (frame 4j, left), (4j, right), (4j + 1, left), (4j + 1, right)
// in each 128-bit block j; `hi` the frames 4j + 2 and 4j + 3. In this order
// packing them gives interleaved 16-bit frames.
struct TStereo16 : TVectors16 {
    static constexpr int W = 16;
    static constexpr size_t OutValues = 2 * W;
    static constexpr int32_t MaxSpan[2] = {15, 31};
    static constexpr int32_t Reach[2] = {18, 34};
    struct TLoaded {
        __m512i x[6];  // frame i + k - 2 in lane i's element
    };

    template <TTaps Taps>
    NORV_AVX512_INLINE static TLoaded Load(const TSourceView& s, __m512i vi, int32_t first) {
        const auto* p = static_cast<const int32_t*>(s.data) + (first - 2);
        const __m512i rel = _mm512_sub_epi32(vi, _mm512_set1_epi32(first));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near)
                l.x[k] = _mm512_permutexvar_epi32(rel, _mm512_loadu_si512(p + k));
            else if constexpr (Taps == Far)
                l.x[k] = _mm512_permutex2var_epi32(_mm512_loadu_si512(p + k), rel, _mm512_loadu_si512(p + k + 16));
            else
                l.x[k] = _mm512_i32gather_epi32(_mm512_add_epi32(vi, _mm512_set1_epi32(k - 2)), s.data, 4);
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX512_INLINE static void Compute(const TLoaded& l, __m512 zv, void* out) {
        const __m512i* x = l.x;
        const TTerms t[2] = {
            ForOutput<Out16>(PairTerms(_mm512_unpacklo_epi16(x[2], x[3]), _mm512_unpacklo_epi16(x[1], x[4]),
                                       _mm512_unpacklo_epi16(x[0], x[5]))),
            ForOutput<Out16>(PairTerms(_mm512_unpackhi_epi16(x[2], x[3]), _mm512_unpackhi_epi16(x[1], x[4]),
                                       _mm512_unpackhi_epi16(x[0], x[5])))};
        const __m512i zLo = _mm512_setr_epi32(0, 0, 1, 1, 4, 4, 5, 5, 8, 8, 9, 9, 12, 12, 13, 13);
        const __m512 z[2] = {_mm512_permutexvar_ps(zLo, zv),
                             _mm512_permutexvar_ps(_mm512_add_epi32(zLo, _mm512_set1_epi32(2)), zv)};
        __m512 v[2];
        Poly<true, 2>(t, z, v);
        if constexpr (Out16) {
            __mmask16 tiesLo, tiesHi;
            __m512i lo = RoundInt17(v[0], tiesLo), hi = RoundInt17(v[1], tiesHi);
            if ((tiesLo | tiesHi) != 0) {
                lo = RoundInt17Exact(v[0]);
                hi = RoundInt17Exact(v[1]);
            }
            _mm512_storeu_si512(out, _mm512_max_epi16(_mm512_packs_epi32(lo, hi), _mm512_set1_epi16(-32767)));
        } else {
            const __m512d lo = _mm512_castps_pd(v[0]), hi = _mm512_castps_pd(v[1]);
            auto* o = static_cast<double*>(out);
            _mm512_storeu_pd(o, _mm512_permutex2var_pd(lo, _mm512_setr_epi64(0, 1, 8, 9, 2, 3, 10, 11), hi));
            _mm512_storeu_pd(o + 8, _mm512_permutex2var_pd(lo, _mm512_setr_epi64(4, 5, 12, 13, 6, 7, 14, 15), hi));
        }
    }
};

// Word indices of the tap pairs (x(0), x(1)), (x(-1), x(2)), (x(-2), x(3))
// relative to a lane's first tap.
constexpr int32_t PairIndex(int a, int b) { return b * 65536 + a; }

// Lanes whose low word is a's and high word b's.
NORV_AVX512_INLINE __m512i Pair(__m512i a, __m512i b) {
    return _mm512_mask_blend_epi16(0xAAAAAAAAu, a, _mm512_slli_epi32(b, 16));
}

// Mono 16-bit: Near takes the pairs from one window of 32 words, Far from two.
struct TMono16 : TVectors16 {
    static constexpr int W = 16;
    static constexpr size_t OutValues = W;
    static constexpr int32_t MaxSpan[2] = {26, 58};
    static constexpr int32_t Reach[2] = {29, 61};
    struct TLoaded {
        __m512i p1, p2, p3;  // the tap pairs
    };

    template <TTaps Taps>
    NORV_AVX512_INLINE static TLoaded Load(const TSourceView& s, __m512i vi, int32_t first) {
        if constexpr (Taps == Gather) {
            // Four bytes from each 16-bit frame: the interior leaves a frame to spare.
            __m512i x[6];
#pragma GCC unroll 6
            for (int k = 0; k < 6; ++k)
                x[k] = _mm512_i32gather_epi32(_mm512_add_epi32(vi, _mm512_set1_epi32(k - 2)), s.data, 2);
            return {Pair(x[2], x[3]), Pair(x[1], x[4]), Pair(x[0], x[5])};
        } else {
            const auto* p = static_cast<const int16_t*>(s.data) + (first - 2);
            const __m512i rel = _mm512_sub_epi32(vi, _mm512_set1_epi32(first));
            const __m512i both = _mm512_or_si512(rel, _mm512_slli_epi32(rel, 16));
            const __m512i i1 = _mm512_add_epi32(both, _mm512_set1_epi32(PairIndex(2, 3)));
            const __m512i i2 = _mm512_add_epi32(both, _mm512_set1_epi32(PairIndex(1, 4)));
            const __m512i i3 = _mm512_add_epi32(both, _mm512_set1_epi32(PairIndex(0, 5)));
            const __m512i w0 = _mm512_loadu_si512(p);
            if constexpr (Taps == Near) {
                return {_mm512_permutexvar_epi16(i1, w0), _mm512_permutexvar_epi16(i2, w0),
                        _mm512_permutexvar_epi16(i3, w0)};
            } else {
                const __m512i w1 = _mm512_loadu_si512(p + 32);
                return {_mm512_permutex2var_epi16(w0, i1, w1), _mm512_permutex2var_epi16(w0, i2, w1),
                        _mm512_permutex2var_epi16(w0, i3, w1)};
            }
        }
    }

    template <bool Out16>
    NORV_AVX512_INLINE static void Compute(const TLoaded& l, __m512 zv, void* out) {
        const __m512 v = Poly<true>(ForOutput<Out16>(PairTerms(l.p1, l.p2, l.p3)), zv);
        if constexpr (Out16) {
            __mmask16 ties;
            __m512i r = RoundInt17(v, ties);
            if (ties != 0) r = RoundInt17Exact(v);
            // Packing works within 128-bit blocks; a qword permute puts the
            // blocks' low halves in order.
            const __m512i packed = _mm512_packs_epi32(r, r);
            const __m512i ordered = _mm512_permutexvar_epi64(_mm512_setr_epi64(0, 2, 4, 6, 0, 2, 4, 6), packed);
            _mm256_storeu_si256(static_cast<__m256i*>(out),
                                _mm256_max_epi16(_mm512_castsi512_si256(ordered), _mm256_set1_epi16(-32767)));
        } else {
            _mm512_storeu_ps(out, v);
        }
    }
};

template <bool Out16>
NORV_AVX512_INLINE void StoreFloatSource(void* out, __m512 v) {
    if constexpr (Out16)
        _mm256_storeu_si256(static_cast<__m256i*>(out), _mm512_cvtepi32_epi16(RoundFloat(v)));
    else
        _mm512_storeu_ps(out, v);
}

struct TFloatTaps {
    __m512 x[6];
};

struct TMonoFloat : TVectors16 {
    static constexpr int W = 16;
    static constexpr size_t OutValues = W;
    static constexpr int32_t MaxSpan[2] = {15, 31};
    static constexpr int32_t Reach[2] = {18, 34};
    using TLoaded = TFloatTaps;

    template <TTaps Taps>
    NORV_AVX512_INLINE static TLoaded Load(const TSourceView& s, __m512i vi, int32_t first) {
        const float* p = static_cast<const float*>(s.data) + (first - 2);
        const __m512i rel = _mm512_sub_epi32(vi, _mm512_set1_epi32(first));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near)
                l.x[k] = _mm512_permutexvar_ps(rel, _mm512_loadu_ps(p + k));
            else if constexpr (Taps == Far)
                l.x[k] = _mm512_permutex2var_ps(_mm512_loadu_ps(p + k), rel, _mm512_loadu_ps(p + k + 16));
            else
                l.x[k] = _mm512_i32gather_ps(_mm512_add_epi32(vi, _mm512_set1_epi32(k - 2)), s.data, 4);
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX512_INLINE static void Compute(const TLoaded& l, __m512 zv, void* out) {
        StoreFloatSource<Out16>(out, Poly<false>(FloatTerms(l.x), zv));
    }
};

// Stereo float: a frame is one 64-bit element; the lanes of a group of 8
// output frames hold (frame, left), (frame, right) in output order.
struct TStereoFloat : TVectors8 {
    static constexpr int W = 8;
    static constexpr size_t OutValues = 2 * W;
    static constexpr int32_t MaxSpan[2] = {7, 15};
    static constexpr int32_t Reach[2] = {10, 18};
    using TLoaded = TFloatTaps;

    template <TTaps Taps>
    NORV_AVX512_INLINE static TLoaded Load(const TSourceView& s, __m512i vi, int32_t first) {
        const __m256i vi8 = _mm512_castsi512_si256(vi);
        const double* p = static_cast<const double*>(s.data) + (first - 2);
        const __m512i rel = _mm512_cvtepi32_epi64(_mm256_sub_epi32(vi8, _mm256_set1_epi32(first)));
        TLoaded l;
#pragma GCC unroll 6
        for (int k = 0; k < 6; ++k) {
            if constexpr (Taps == Near)
                l.x[k] = _mm512_castpd_ps(_mm512_permutexvar_pd(rel, _mm512_loadu_pd(p + k)));
            else if constexpr (Taps == Far)
                l.x[k] =
                    _mm512_castpd_ps(_mm512_permutex2var_pd(_mm512_loadu_pd(p + k), rel, _mm512_loadu_pd(p + k + 8)));
            else
                l.x[k] = _mm512_castpd_ps(
                    _mm512_i32gather_pd(_mm256_add_epi32(vi8, _mm256_set1_epi32(k - 2)), s.data, 8));
        }
        return l;
    }

    template <bool Out16>
    NORV_AVX512_INLINE static void Compute(const TLoaded& l, __m512 zv, void* out) {
        const __m512 z = _mm512_permutexvar_ps(_mm512_setr_epi32(0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7), zv);
        StoreFloatSource<Out16>(out, Poly<false>(FloatTerms(l.x), z));
    }
};

void RunAVX512(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out, bool out16) {
    Dispatch<TMono16, TStereo16, TMonoFloat, TStereoFloat, TRunOf>(s, out16, idx, z, count, out);
}

int32_t SteppedAVX512(const TSourceView& s, double p0, double step, int32_t count, void* out, bool out16) {
    return Dispatch<TMono16, TStereo16, TMonoFloat, TStereoFloat, TSteppedOf>(s, out16, p0, step, count, out);
}

NORV_AVX512 void ToInt16AVX512(const float* in, int16_t* out, size_t count) {
    size_t n = 0;
    for (; n + 16 <= count; n += 16)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + n), _mm512_cvtepi32_epi16(RoundFloat(_mm512_loadu_ps(in + n))));
    for (; n < count; ++n) out[n] = SampleToInt16(in[n]);
}

NORV_AVX512 void PositionsAVX512(double p0, double s, int32_t count, int32_t* idx, float* z) {
    TPositionsOf<16> positions(p0, s);
    int32_t k = 0;
    for (; k + 16 <= count; k += 16) {
        __m512i vi;
        __m512 zv;
        positions.Next(vi, zv);
        _mm512_storeu_si512(idx + k, vi);
        _mm512_storeu_ps(z + k, zv);
    }
    for (; k < count; ++k) SplitPosition(p0 + static_cast<double>(k) * s, idx[k], z[k]);
}

const TKernelTable Table{RunAVX512, ToInt16AVX512, PositionsAVX512, SteppedAVX512};

}  // namespace

const TKernelTable* AVX512Kernels() { return &Table; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX512Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
