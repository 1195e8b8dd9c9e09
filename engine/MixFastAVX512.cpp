// The voice renderer on AVX-512 (F, BW, DQ, VL): 16 frames a vector. A
// chunk's sample pairs come from two 32-word windows of the data rearranged
// by a word permute (one per channel); steps too long for the windows gather.
#include "engine/MixFastKernel.h"

#if defined(__x86_64__)

#include <bit>
#include <cmath>
#include <cstring>
#include <utility>

#define NORV_VOICE_TARGET __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma")))
#define NORV_LANES_TARGET NORV_VOICE_TARGET
#include "base/Lanes.h"

namespace norv::mixfast {
namespace {

struct TLanes {
    static constexpr int W = kAVX512Lanes;
    using F = lanes::F32<W>;
    using I = lanes::I32<W>;
    using U = lanes::U32<W>;
    static constexpr uint32_t kMaxStep = 1u << 23;
    // The largest step whose 16 frames and the frame after the last stay
    // within 32 frames from the first: 2.0.
    static constexpr uint32_t kWindowStep = 2u << 16;

    NORV_VOICE_TARGET __attribute__((always_inline)) static F Fma(F a, F b, F c) {
        return F(_mm512_fmadd_ps(__m512(a), __m512(b), __m512(c)));
    }

    // Lane moves as single instructions (valignd, vpermps).
    template <int S>
    NORV_VOICE_TARGET __attribute__((always_inline)) static F ShiftIn(F v, F fill) {
        return F(_mm512_alignr_epi32(__m512i(v), __m512i(fill), 16 - S));
    }
    NORV_VOICE_TARGET __attribute__((always_inline)) static F Last(F v) {
        return F(_mm512_permutexvar_ps(_mm512_set1_epi32(15), __m512(v)));
    }

    // The first n of 32 words, the rest zero: a read that never passes the
    // data's last frame.
    NORV_VOICE_TARGET __attribute__((always_inline)) static __m512i Words(const int16_t* at, int32_t n) {
        if (n >= 32) [[likely]]
            return _mm512_loadu_si512(at);
        return _mm512_maskz_loadu_epi16(n <= 0 ? 0u : (1u << n) - 1u, at);
    }

    NORV_VOICE_TARGET __attribute__((always_inline)) static F Interpolate(__m512i pairs, __m512i weights) {
        return F(_mm512_cvtepi32_ps(_mm512_madd_epi16(pairs, weights)));
    }

    // Constants a voice's loop holds in registers rather than building
    // them again for every chunk.
    struct TConstants {
        U K127, K128, K10000;
    };
    NORV_VOICE_TARGET __attribute__((always_inline)) static TConstants Constants() {
        TConstants k{U{} + 127u, U{} + 128u, U{} + 0x10000u};
        asm("" : "+v"(k.K127), "+v"(k.K128), "+v"(k.K10000));
        return k;
    }

    template <bool Stereo>
    NORV_VOICE_TARGET __attribute__((always_inline)) static void Fetch(const TConstants& k, const int16_t* data,
                                                                       int32_t base, int32_t first, U fr,
                                                                       uint32_t step, int32_t lastFrame, F& xl,
                                                                       F& xr) {
        const U f = (fr >> 9) & k.K127;
        const __m512i weights = __m512i((f << 16) - f + k.K128);  // (128 - f, f) word pairs
        const int32_t ends = lastFrame + 1 - base;  // frames readable from base
        if (step <= kWindowStep) [[likely]] {
            // The frame offset (high word of fr) in both words.
            const __m512i offsets = _mm512_shuffle_epi8(
                __m512i(fr),
                _mm512_broadcast_i32x4(_mm_setr_epi8(2, 3, 2, 3, 6, 7, 6, 7, 10, 11, 10, 11, 14, 15, 14, 15)));
            if constexpr (!Stereo) {
                // Two windows of 32 frames from multiples of 32 past base,
                // the one where bit 5 of the offset is clear first: word
                // indices are then the offsets themselves (the permute reads
                // their low 6 bits).
                const int32_t lo = (first & ~31) + (first & 32), hi = (first & ~31) + 32 - (first & 32);
                const __m512i a = Words(data + base + lo, ends - lo);
                const __m512i b = Words(data + base + hi, ends - hi);
                const __m512i index = _mm512_add_epi32(offsets, __m512i(k.K10000));  // o, o + 1
                xl = Interpolate(_mm512_permutex2var_epi16(a, index, b), weights);
            } else {
                // 32 stereo frames from the first in two windows; left pairs
                // at words 2 o, 2 o + 2, right ones one higher.
                const int32_t words = 2 * (ends - first);
                const int16_t* from = data + 2 * (static_cast<int64_t>(base) + first);
                const __m512i a = Words(from, words);
                const __m512i b = Words(from + 32, words - 32);
                const U left = U(offsets) + U(offsets) - (static_cast<uint32_t>(first) * 0x20002u - 0x20000u);
                xl = Interpolate(_mm512_permutex2var_epi16(a, __m512i(left), b), weights);
                xr = Interpolate(_mm512_permutex2var_epi16(a, __m512i(left + 0x10001u), b), weights);
            }
            return;
        }
        const __m512i frame = __m512i(I(fr >> 16) + base);
        if constexpr (!Stereo) {
            // One 32-bit read brings s0 and s1 together.
            xl = Interpolate(_mm512_i32gather_epi32(frame, data, 2), weights);
        } else {
            // One 64-bit read brings l0 r0 l1 r1; regrouped to (l0, l1) (r0, r1).
            const __m512i split =
                _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15));
            const __m512i a = _mm512_shuffle_epi8(
                _mm512_i32gather_epi64(_mm512_castsi512_si256(frame), data, 4), split);
            const __m512i b = _mm512_shuffle_epi8(
                _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(frame, 1), data, 4), split);
            const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
            const __m512i odd = _mm512_add_epi32(even, _mm512_set1_epi32(1));
            xl = Interpolate(_mm512_permutex2var_epi32(a, even, b), weights);
            xr = Interpolate(_mm512_permutex2var_epi32(a, odd, b), weights);
        }
    }
};

#include "engine/MixFastBody.h"

}  // namespace

TGroupRoutine AVX512Routine() { return &RenderGroup; }

}  // namespace norv::mixfast

#else

namespace norv::mixfast {
TGroupRoutine AVX512Routine() { return nullptr; }
}  // namespace norv::mixfast

#endif
