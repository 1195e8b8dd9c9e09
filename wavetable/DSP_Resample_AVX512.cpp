// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_RESAMPLE_TARGET __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,fma")))
#include "wavetable/DSP_Resample_Body.h"

namespace norv::resample {
namespace {

// Sixteen lanes, with two-register permutes for Far and mask registers for
// ties.
struct TAVX512 : TGenericOps<16> {
    static constexpr bool Permutes = true;

    NORV_RESAMPLE_INLINE static F AddExact(F a, float k, F x) { return _mm512_fmadd_ps(_mm512_set1_ps(k), x, a); }
    NORV_RESAMPLE_INLINE static F Min(F a, F b) { return _mm512_min_ps(a, b); }
    NORV_RESAMPLE_INLINE static F Max(F a, F b) { return _mm512_max_ps(a, b); }
    NORV_RESAMPLE_INLINE static I Round(F v) { return As<I>(_mm512_cvtps_epi32(v)); }
    NORV_RESAMPLE_INLINE static __mmask16 Ties(F product) {
        return _mm512_cmp_ps_mask(_mm512_reduce_ps(product, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC),
                                  _mm512_set1_ps(0.5f), _CMP_EQ_OQ);
    }
    NORV_RESAMPLE_INLINE static F64<8> Floor52(F64<8> p) {
        return _mm512_add_round_pd(p, _mm512_set1_pd(0x1p52), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    }
    NORV_RESAMPLE_INLINE static bool Any(__mmask16 mask) { return mask != 0; }

    NORV_RESAMPLE_INLINE static void PairSums(I pairs, I& sum, I& difference) {
        const __m512i minus = _mm512_set1_epi32(static_cast<int32_t>(0xFFFF0001u));
        sum = As<I>(_mm512_madd_epi16(As<__m512i>(pairs), _mm512_set1_epi32(0x00010001)));
        difference = As<I>(_mm512_madd_epi16(As<__m512i>(pairs), minus));
    }
    NORV_RESAMPLE_INLINE static I16<32> Pack(I a, I b) {
        return As<I16<32>>(_mm512_packs_epi32(As<__m512i>(a), As<__m512i>(b)));
    }

    // 64-bit elements go by 64-bit indices.
    template <int Size, class Rel>
    NORV_RESAMPLE_INLINE static auto PermuteIndex(Rel rel) {
        if constexpr (Size == 8)
            return Convert<I64<8>>(rel);
        else
            return rel;
    }
    NORV_RESAMPLE_INLINE static I Permute(I v, I index) {
        return As<I>(_mm512_permutexvar_epi32(As<__m512i>(index), As<__m512i>(v)));
    }
    NORV_RESAMPLE_INLINE static I Permute2(I a, I b, I index) {
        return As<I>(_mm512_permutex2var_epi32(As<__m512i>(a), As<__m512i>(index), As<__m512i>(b)));
    }
    NORV_RESAMPLE_INLINE static I Permute(I v, I64<8> index) {
        return As<I>(_mm512_permutexvar_epi64(As<__m512i>(index), As<__m512i>(v)));
    }
    NORV_RESAMPLE_INLINE static I Permute2(I a, I b, I64<8> index) {
        return As<I>(_mm512_permutex2var_epi64(As<__m512i>(a), As<__m512i>(index), As<__m512i>(b)));
    }
    template <int Size, class Index>
    NORV_RESAMPLE_INLINE static I Gather(const void* base, Index idx) {
        if constexpr (Size == 8) {
            return As<I>(_mm512_i32gather_epi64(As<__m256i>(idx), base, 8));
        } else if constexpr (Size == 4) {
            return As<I>(_mm512_i32gather_epi32(As<__m512i>(idx), base, 4));
        } else {
            // Four bytes from each 16-bit frame: the interior leaves a frame to spare.
            const I g = As<I>(_mm512_i32gather_epi32(As<__m512i>(idx), base, 2));
            return (g << 16) >> 16;
        }
    }
};

// Mono 16-bit: the taps come as the pairs (x(0), x(1)), (x(-1), x(2)),
// (x(-2), x(3)) of each lane, permuted from one window of 32 words (Near)
// or two (Far), which reach further than widened values.
template <>
struct TMono16Taps<TAVX512> {
    using TOps = TAVX512;
    using I = TAVX512::I;
    static constexpr int W = 16;
    static constexpr int32_t MaxSpan[2] = {26, 58};
    static constexpr int32_t Reach[2] = {29, 61};
    struct TLoaded {
        I pairs[3];
    };

    // The low word a's, the high word b's.
    NORV_RESAMPLE_INLINE static I Pair(I a, I b) {
        return As<I>(_mm512_mask_blend_epi16(0xAAAAAAAAu, As<__m512i>(a), As<__m512i>(b << 16)));
    }

    template <TTaps Taps>
    NORV_RESAMPLE_INLINE static TLoaded Load(const TSourceView& s, I vi, int32_t first) {
        if constexpr (Taps == Gather) {
            const auto l = TElementTaps<TAVX512, 2>::Load<Gather>(s, vi, first);
            return {Pair(l.x[2], l.x[3]), Pair(l.x[1], l.x[4]), Pair(l.x[0], l.x[5])};
        } else {
            const auto* p = static_cast<const int16_t*>(s.data) + (first - 2);
            const I rel = vi - first, both = rel | rel << 16;
            const __m512i w0 = _mm512_loadu_si512(p);
            // Words a and b from a lane's first tap on.
            auto pair = [&](int a, int b) NORV_RESAMPLE_LAMBDA {
                const __m512i index = As<__m512i>(both + (b * 65536 + a));
                if constexpr (Taps == Near)
                    return As<I>(_mm512_permutexvar_epi16(index, w0));
                else
                    return As<I>(_mm512_permutex2var_epi16(w0, index, _mm512_loadu_si512(p + 32)));
            };
            return {pair(2, 3), pair(1, 4), pair(0, 5)};
        }
    }

    NORV_RESAMPLE_INLINE static TTerms<TAVX512::F> Terms(const TLoaded& l) {
        return PairTerms<TAVX512>(l.pairs[0], l.pairs[1], l.pairs[2]);
    }
};

}  // namespace

const TKernelTable* AVX512Kernels() { return &TableOf<TAVX512>; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX512Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
