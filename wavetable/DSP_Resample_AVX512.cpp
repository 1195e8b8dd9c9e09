// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_RESAMPLE_TARGET __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,fma")))
#include "wavetable/DSP_Resample_Body.h"

namespace norv::resample {
namespace {

// Sixteen lanes; Far takes two-register permutes, ties are found by taking
// the fraction off in one instruction.
struct TAVX512 : TGenericOps<16> {
    static constexpr bool Permutes = true;

    NORV_RESAMPLE_INLINE static F AddExact(F a, float k, F x) { return _mm512_fmadd_ps(_mm512_set1_ps(k), x, a); }
    NORV_RESAMPLE_INLINE static I Round(F v) { return As<I>(_mm512_cvtps_epi32(v)); }
    NORV_RESAMPLE_INLINE static F Fraction(F v) { return _mm512_reduce_ps(v, _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC); }
    NORV_RESAMPLE_INLINE static F64<8> Floor52(F64<8> p) {
        return _mm512_add_round_pd(p, _mm512_set1_pd(0x1p52), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
    }
    NORV_RESAMPLE_INLINE static bool Any(I mask) { return _mm512_test_epi32_mask(As<__m512i>(mask), As<__m512i>(mask)) != 0; }

    NORV_RESAMPLE_INLINE static void PairSums(I pairs, I& sum, I& difference) {
        sum = As<I>(_mm512_madd_epi16(As<__m512i>(pairs), _mm512_set1_epi32(0x00010001)));
        difference = As<I>(_mm512_madd_epi16(As<__m512i>(pairs), _mm512_set1_epi32(static_cast<int32_t>(0xFFFF0001u))));
    }
    NORV_RESAMPLE_INLINE static I16<32> Pack(I a, I b) {
        return As<I16<32>>(_mm512_packs_epi32(As<__m512i>(a), As<__m512i>(b)));
    }

    NORV_RESAMPLE_INLINE static I Permute(I v, I index) {
        return As<I>(_mm512_permutexvar_epi32(As<__m512i>(index), As<__m512i>(v)));
    }
    NORV_RESAMPLE_INLINE static I Permute2(I a, I b, I index) {
        return As<I>(_mm512_permutex2var_epi32(As<__m512i>(a), As<__m512i>(index), As<__m512i>(b)));
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

}  // namespace

const TKernelTable* AVX512Kernels() { return &TableOf<TAVX512>; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX512Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
