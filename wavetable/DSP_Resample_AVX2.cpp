// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_RESAMPLE_TARGET __attribute__((target("avx2,fma")))
#include "wavetable/DSP_Resample_Body.h"

namespace norv::resample {
namespace {

// Eight lanes. Without two-register permutes, Far blends two permutes.
struct TAVX2 : TGenericOps<8> {
    static constexpr bool Permutes = true;

    NORV_RESAMPLE_INLINE static F AddExact(F a, float k, F x) { return _mm256_fmadd_ps(_mm256_set1_ps(k), x, a); }
    NORV_RESAMPLE_INLINE static F Min(F a, F b) { return _mm256_min_ps(a, b); }
    NORV_RESAMPLE_INLINE static F Max(F a, F b) { return _mm256_max_ps(a, b); }
    NORV_RESAMPLE_INLINE static I Round(F v) { return As<I>(_mm256_cvtps_epi32(v)); }
    NORV_RESAMPLE_INLINE static I Ties(F product) {
        const F fraction = product - _mm256_round_ps(product, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        return fraction == 0.5f;
    }
    NORV_RESAMPLE_INLINE static F64<4> Floor52(F64<4> p) {
        return _mm256_round_pd(p, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC) + 0x1p52;
    }
    NORV_RESAMPLE_INLINE static bool Any(I mask) { return _mm256_movemask_ps(As<__m256>(mask)) != 0; }

    NORV_RESAMPLE_INLINE static void PairSums(I pairs, I& sum, I& difference) {
        const __m256i minus = _mm256_set1_epi32(static_cast<int32_t>(0xFFFF0001u));
        sum = As<I>(_mm256_madd_epi16(As<__m256i>(pairs), _mm256_set1_epi32(0x00010001)));
        difference = As<I>(_mm256_madd_epi16(As<__m256i>(pairs), minus));
    }
    NORV_RESAMPLE_INLINE static I16<16> Pack(I a, I b) {
        return As<I16<16>>(_mm256_packs_epi32(As<__m256i>(a), As<__m256i>(b)));
    }

    NORV_RESAMPLE_INLINE static I Permute(I v, I index) {
        return As<I>(_mm256_permutevar8x32_epi32(As<__m256i>(v), As<__m256i>(index)));
    }
    NORV_RESAMPLE_INLINE static I Permute2(I a, I b, I index) {
        return index > 7 ? Permute(b, index) : Permute(a, index);
    }
    template <int Size, class Index>
    NORV_RESAMPLE_INLINE static I Gather(const void* base, Index idx) {
        if constexpr (Size == 8) {
            return As<I>(_mm256_i32gather_epi64(static_cast<const long long*>(base), As<__m128i>(idx), 8));
        } else if constexpr (Size == 4) {
            return As<I>(_mm256_i32gather_epi32(static_cast<const int*>(base), As<__m256i>(idx), 4));
        } else {
            // Four bytes from each 16-bit frame: the interior leaves a frame to spare.
            const I g = As<I>(_mm256_i32gather_epi32(static_cast<const int*>(base), As<__m256i>(idx), 2));
            return (g << 16) >> 16;
        }
    }
};

}  // namespace

const TKernelTable* AVX2Kernels() { return &TableOf<TAVX2>; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX2Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
