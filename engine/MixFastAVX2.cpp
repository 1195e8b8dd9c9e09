// The voice renderer on AVX2 + FMA: 8 frames a vector, sample pairs gathered.
#include "engine/MixFastKernel.h"

#if defined(__x86_64__)

#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#define NORV_VOICE_TARGET __attribute__((target("avx2,fma")))
#define NORV_LANES_TARGET NORV_VOICE_TARGET
#include "base/Lanes.h"

namespace norv::mixfast {
namespace {

struct TLanes {
    static constexpr int W = kAVX2Lanes;
    using F = lanes::F32<W>;
    using I = lanes::I32<W>;
    using U = lanes::U32<W>;
    static constexpr uint32_t kMaxStep = 1u << 23;

    NORV_VOICE_TARGET __attribute__((always_inline)) static F Fma(F a, F b, F c) {
        return F(_mm256_fmadd_ps(__m256(a), __m256(b), __m256(c)));
    }

    struct TConstants {};
    static TConstants Constants() { return {}; }

    template <bool Stereo>
    NORV_VOICE_TARGET __attribute__((always_inline)) static void Fetch(const TConstants&, const int16_t* data, int32_t base, int32_t,
                                                                       U fr, uint32_t, int32_t, F& xl, F& xr) {
        const U f = (fr >> 9) & 127u;
        const __m256i weights = __m256i(f * 65535u + 128u);  // (128 - f, f) word pairs
        const __m256i frame = __m256i(I(fr >> 16) + base);
        if constexpr (!Stereo) {
            // One 32-bit read brings s0 and s1 together.
            const __m256i pairs = _mm256_i32gather_epi32(reinterpret_cast<const int*>(data), frame, 2);
            xl = F(_mm256_cvtepi32_ps(_mm256_madd_epi16(pairs, weights)));
        } else {
            // One 64-bit read brings l0 r0 l1 r1 of a frame; frames 0 1 4 5
            // in one gather and 2 3 6 7 in the other leave the regrouped
            // pairs in order.
            const __m256i order = _mm256_permute4x64_epi64(frame, _MM_SHUFFLE(3, 1, 2, 0));
            const auto* at = reinterpret_cast<const long long*>(data);
            const __m256i split = _mm256_broadcastsi128_si256(
                _mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15));
            const __m256 a = _mm256_castsi256_ps(
                _mm256_shuffle_epi8(_mm256_i32gather_epi64(at, _mm256_castsi256_si128(order), 4), split));
            const __m256 b = _mm256_castsi256_ps(
                _mm256_shuffle_epi8(_mm256_i32gather_epi64(at, _mm256_extracti128_si256(order, 1), 4), split));
            const __m256i l = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
            const __m256i r = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
            xl = F(_mm256_cvtepi32_ps(_mm256_madd_epi16(l, weights)));
            xr = F(_mm256_cvtepi32_ps(_mm256_madd_epi16(r, weights)));
        }
    }
};

#include "engine/MixFastBody.h"

}  // namespace

TGroupRoutine AVX2Routine() { return &RenderGroup; }

}  // namespace norv::mixfast

#else

namespace norv::mixfast {
TGroupRoutine AVX2Routine() { return nullptr; }
}  // namespace norv::mixfast

#endif
