// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#if defined(__x86_64__) || defined(__i386__)

#define NORV_AVX2 __attribute__((target("avx2")))

namespace norv::resample {
namespace {

// Eight output frames per register, each lane computed in the scalar order.

NORV_AVX2 inline __m256 Coef(float a, float b, float c, __m256 t3, __m256 t2, __m256 t1) {
    return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(a), t3), _mm256_mul_ps(_mm256_set1_ps(b), t2)),
                         _mm256_mul_ps(_mm256_set1_ps(c), t1));
}

NORV_AVX2 inline __m256 Poly(const __m256 x[6], __m256 z) {
    const __m256 s1 = _mm256_add_ps(x[2], x[3]), d1 = _mm256_sub_ps(x[2], x[3]);
    const __m256 s2 = _mm256_add_ps(x[1], x[4]), d2 = _mm256_sub_ps(x[1], x[4]);
    const __m256 s3 = _mm256_add_ps(x[0], x[5]), d3 = _mm256_sub_ps(x[0], x[5]);
    const __m256 c0 = Coef(K0_3, K0_2, K0_1, s3, s2, s1);
    const __m256 c1 = Coef(K1_3, K1_2, K1_1, d3, d2, d1);
    const __m256 c2 = Coef(K2_3, K2_2, K2_1, s3, s2, s1);
    const __m256 c3 = Coef(K3_3, K3_2, K3_1, d3, d2, d1);
    const __m256 c4 = Coef(K4_3, K4_2, K4_1, s3, s2, s1);
    const __m256 c5 = Coef(K5_3, K5_2, K5_1, d3, d2, d1);
    __m256 v = _mm256_add_ps(_mm256_mul_ps(c5, z), c4);
    v = _mm256_add_ps(_mm256_mul_ps(v, z), c3);
    v = _mm256_add_ps(_mm256_mul_ps(v, z), c2);
    v = _mm256_add_ps(_mm256_mul_ps(v, z), c1);
    return _mm256_add_ps(_mm256_mul_ps(v, z), c0);
}

NORV_AVX2 inline __m256 Low16(__m256i t) {
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_slli_epi32(t, 16), 16)), _mm256_set1_ps(Scale16));
}
NORV_AVX2 inline __m256 High16(__m256i t) {
    return _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_srai_epi32(t, 16)), _mm256_set1_ps(Scale16));
}

// SampleToInt16 in every lane: the low and the high four as 32-bit integers.
NORV_AVX2 inline void ToInt(__m256 v, __m128i& lo, __m128i& hi) {
    v = _mm256_and_ps(_mm256_cmp_ps(v, v, _CMP_ORD_Q), v);
    v = _mm256_min_ps(_mm256_max_ps(v, _mm256_set1_ps(-1.0f)), _mm256_set1_ps(1.0f));
    const __m256d scale = _mm256_set1_pd(32767.0);
    lo = _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(v)), scale));
    hi = _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)), scale));
}

template <int Channels, bool Float>
NORV_AVX2 inline void Taps(const TSourceView& s, const int32_t* idx, __m256 a[6], __m256 b[6]) {
    const __m256i vi = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(idx));
    for (int k = 0; k < 6; ++k) {
        const __m256i at = _mm256_add_epi32(vi, _mm256_set1_epi32(k - 2));
        if constexpr (Channels == 2 && Float) {
            const __m256i at2 = _mm256_slli_epi32(at, 1);
            a[k] = _mm256_i32gather_ps(static_cast<const float*>(s.data), at2, 4);
            b[k] = _mm256_i32gather_ps(static_cast<const float*>(s.data), _mm256_add_epi32(at2, _mm256_set1_epi32(1)), 4);
        } else if constexpr (Float) {
            a[k] = _mm256_i32gather_ps(static_cast<const float*>(s.data), at, 4);
        } else if constexpr (Channels == 1) {
            // Four bytes from each 16-bit frame: the interior leaves a frame to spare.
            a[k] = Low16(_mm256_i32gather_epi32(static_cast<const int*>(s.data), at, 2));
        } else {
            const __m256i t = _mm256_i32gather_epi32(static_cast<const int*>(s.data), at, 4);
            a[k] = Low16(t);
            b[k] = High16(t);
        }
    }
}

NORV_AVX2 inline void StoreMono(void* out, int32_t n, __m256 v, bool out16) {
    if (out16) {
        __m128i lo, hi;
        ToInt(v, lo, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(static_cast<int16_t*>(out) + n), _mm_packs_epi32(lo, hi));
    } else {
        _mm256_storeu_ps(static_cast<float*>(out) + n, v);
    }
}

NORV_AVX2 inline void StoreStereo(void* out, int32_t n, __m256 l, __m256 r, bool out16) {
    if (out16) {
        __m128i l0, l1, r0, r1;
        ToInt(l, l0, l1);
        ToInt(r, r0, r1);
        const __m256i li = _mm256_set_m128i(l1, l0), ri = _mm256_set_m128i(r1, r0);
        const __m256i packed =
            _mm256_or_si256(_mm256_and_si256(li, _mm256_set1_epi32(0xFFFF)), _mm256_slli_epi32(ri, 16));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(static_cast<int16_t*>(out) + 2 * n), packed);
        return;
    }
    const __m256 pl = _mm256_unpacklo_ps(l, r), ph = _mm256_unpackhi_ps(l, r);
    float* o = static_cast<float*>(out) + 2 * n;
    _mm256_storeu_ps(o, _mm256_permute2f128_ps(pl, ph, 0x20));
    _mm256_storeu_ps(o + 8, _mm256_permute2f128_ps(pl, ph, 0x31));
}

template <int Channels, bool Float>
NORV_AVX2 void Run(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out, bool out16) {
    int32_t n = 0;
    for (; n + 8 <= count; n += 8) {
        __m256 a[6], b[6];
        Taps<Channels, Float>(s, idx + n, a, b);
        const __m256 zv = _mm256_loadu_ps(z + n);
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

NORV_AVX2 void RunAVX2(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out,
                       bool out16) {
    if (s.channels == 1)
        s.isFloat ? Run<1, true>(s, idx, z, count, out, out16) : Run<1, false>(s, idx, z, count, out, out16);
    else
        s.isFloat ? Run<2, true>(s, idx, z, count, out, out16) : Run<2, false>(s, idx, z, count, out, out16);
}

NORV_AVX2 void ToInt16AVX2(const float* in, int16_t* out, size_t count) {
    size_t n = 0;
    for (; n + 8 <= count; n += 8) {
        __m128i lo, hi;
        ToInt(_mm256_loadu_ps(in + n), lo, hi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm_packs_epi32(lo, hi));
    }
    for (; n < count; ++n) out[n] = SampleToInt16(in[n]);
}

NORV_AVX2 void PositionsAVX2(double p0, double s, int32_t count, int32_t* idx, float* z) {
    // Every p0 + k s is exact, so adding 4 s to one gives the next exactly.
    const __m256d four = _mm256_set1_pd(4.0 * s), half = _mm256_set1_pd(0.5);
    __m256d p = _mm256_add_pd(_mm256_set1_pd(p0), _mm256_mul_pd(_mm256_setr_pd(0, 1, 2, 3), _mm256_set1_pd(s)));
    int32_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const __m256d fraction = _mm256_sub_pd(p, _mm256_floor_pd(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(idx + k), _mm256_cvttpd_epi32(p));
        _mm_storeu_ps(z + k, _mm256_cvtpd_ps(_mm256_sub_pd(fraction, half)));
        p = _mm256_add_pd(p, four);
    }
    for (; k < count; ++k) SplitPosition(p0 + static_cast<double>(k) * s, idx[k], z[k]);
}

const TKernelTable Table{RunAVX2, ToInt16AVX2, PositionsAVX2};

}  // namespace

const TKernelTable* AVX2Kernels() { return &Table; }

}  // namespace norv::resample

#else

namespace norv::resample {
const TKernelTable* AVX2Kernels() { return nullptr; }
}  // namespace norv::resample

#endif
