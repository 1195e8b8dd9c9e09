#pragma once

// Inside the rate converter: the few operations a CPU's file may give its
// own instructions (TGenericOps holds forms that any CPU runs), over the
// lane vocabulary of base/Lanes.h.
//
// Reached through DSP_Resample_Body.h (see there): in an anonymous
// namespace, every function carrying the including file's target.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#ifndef NORV_RESAMPLE_TARGET
#error "define NORV_RESAMPLE_TARGET before including the converter's body"
#endif

#define NORV_LANES_TARGET NORV_RESAMPLE_TARGET
#include "base/Lanes.h"

// The hot loops must hold no calls.
#define NORV_RESAMPLE_INLINE NORV_LANES_INLINE
#define NORV_RESAMPLE_LAMBDA __attribute__((always_inline)) NORV_RESAMPLE_TARGET

namespace norv::resample {
namespace {

using namespace lanes;

// The forms of the operations that any CPU runs, on L 32-bit lanes.
template <int L>
struct TGenericOps {
    static constexpr int Lanes = L;
    // Without Permute and Permute2 every group gathers its taps.
    static constexpr bool Permutes = false;
    using F = F32<L>;
    using I = I32<L>;

    // a + k x where k x is exact (see ExactOnInt17).
    NORV_RESAMPLE_INLINE static F AddExact(F a, float k, F x) { return a + k * x; }

    // As minps and maxps: b where a lane is NaN.
    NORV_RESAMPLE_INLINE static F Min(F a, F b) { return a < b ? a : b; }
    NORV_RESAMPLE_INLINE static F Max(F a, F b) { return a > b ? a : b; }

    // The nearest integer, ties to even (|v| < 2^22): adding 1.5 x 2^23
    // leaves no fraction.
    NORV_RESAMPLE_INLINE static F Nearest(F v) { return (v + 0x1.8p23f) - 0x1.8p23f; }
    NORV_RESAMPLE_INLINE static I Round(F v) { return Convert<I>(Nearest(v)); }

    // Lanes of a float product that lie on a half-integer (|v| < 2^22), as
    // a mask that Any reads and | joins.
    NORV_RESAMPLE_INLINE static I Ties(F product) {
        const F n = Nearest(product), d = product - n;
        return (d == 0.5f) | (d == -0.5f);
    }
    NORV_RESAMPLE_INLINE static bool Any(I mask) {
        int32_t any = 0;
        for (int i = 0; i < L; ++i) any |= mask[i];
        return any != 0;
    }

    // 2^52 + floor(p) for 0 <= p < 2^51, exact.
    NORV_RESAMPLE_INLINE static F64<L / 2> Floor52(F64<L / 2> p) {
        const F64<L / 2> n = p + 0x1p52;
        return n - 0x1p52 > p ? n - 1.0 : n;
    }

    // Permutes take element indices in 32-bit lanes: a 64-bit element's
    // two lanes 2 r and 2 r + 1.
    template <int Size, class Rel>
    NORV_RESAMPLE_INLINE static I PermuteIndex(Rel rel) {
        if constexpr (Size == 8) {
            I odd;
            for (int i = 0; i < L; ++i) odd[i] = i % 2;
            return Shuffle<L, TTwice>(rel, rel) * 2 + odd;
        } else {
            return rel;
        }
    }

    // Lanes holding the 16-bit pair (a, b), a in the low half: a + b and a - b.
    NORV_RESAMPLE_INLINE static void PairSums(I pairs, I& sum, I& difference) {
        const I a = (pairs << 16) >> 16, b = pairs >> 16;
        sum = a + b;
        difference = a - b;
    }

    // To 16 bits with saturation: a's first block of four, b's, a's second...
    struct TPacked {
        static constexpr int At(int i) { return 4 * (i / 8) + i % 4 + (i % 8 < 4 ? 0 : L); }
    };
    NORV_RESAMPLE_INLINE static I16<2 * L> Pack(I a, I b) {
        return Shuffle<2 * L, TPacked>(Saturated(a), Saturated(b));
    }
    NORV_RESAMPLE_INLINE static I16<L> Saturated(I v) {
        v = v < -32768 ? Splat<I>(-32768) : v;
        return Convert<I16<L>>(v > 32767 ? Splat<I>(32767) : v);
    }

    // The elements of Size bytes at base[idx[j]]: one 32-bit lane each, 16-bit
    // ones sign-extended, 64-bit ones over two lanes.
    template <int Size, class Index>
    NORV_RESAMPLE_INLINE static I Gather(const void* base, Index idx) {
        return GatherOf<Size>(base, idx, std::make_index_sequence<L / (Size == 8 ? 2 : 1)>());
    }
    template <int Size, class Index, size_t... J>
    NORV_RESAMPLE_INLINE static I GatherOf(const void* base, Index idx, std::index_sequence<J...>) {
        static_assert(sizeof idx == 4 * sizeof...(J));
        if constexpr (Size == 2)
            return I{Element<int16_t>(base, idx[J])...};
        else if constexpr (Size == 4)
            return I{Element<int32_t>(base, idx[J])...};
        else
            return As<I>(I64<L / 2>{Element<int64_t>(base, idx[J])...});
    }
    template <class E>
    NORV_RESAMPLE_INLINE static E Element(const void* base, int32_t index) {
        E e;
        std::memcpy(&e, static_cast<const uint8_t*>(base) + static_cast<ptrdiff_t>(index) * sizeof e, sizeof e);
        return e;
    }
};

}  // namespace
}  // namespace norv::resample
