#pragma once

// Inside the rate converter: the small vector type its kernels are written
// over (the compiler's generic vectors) and the few operations a CPU's file
// may give its own instructions (TGenericOps holds forms that any CPU runs).
//
// Reached through DSP_Resample_Body.h (see there): in an anonymous
// namespace, every function carrying the including file's target.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#ifndef NORV_RESAMPLE_TARGET
#error "define NORV_RESAMPLE_TARGET before including the converter's body"
#endif

// The hot loops must hold no calls.
#define NORV_RESAMPLE_INLINE inline __attribute__((always_inline)) NORV_RESAMPLE_TARGET
#define NORV_RESAMPLE_LAMBDA __attribute__((always_inline)) NORV_RESAMPLE_TARGET

namespace norv::resample {
namespace {

// N lanes of E. (An alias template would lose the attribute in g++.)
template <class E, int N>
struct TVecOf {
    typedef E type __attribute__((vector_size(sizeof(E) * N)));
};
template <int N>
using F32 = typename TVecOf<float, N>::type;
template <int N>
using I32 = typename TVecOf<int32_t, N>::type;
template <int N>
using I16 = typename TVecOf<int16_t, N>::type;
template <int N>
using F64 = typename TVecOf<double, N>::type;
template <int N>
using I64 = typename TVecOf<int64_t, N>::type;

template <class V>
NORV_RESAMPLE_INLINE V LoadU(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
NORV_RESAMPLE_INLINE void StoreU(void* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// The same bits as another vector type of the same size.
template <class To, class From>
NORV_RESAMPLE_INLINE To As(From v) {
    static_assert(sizeof(To) == sizeof(From));
    return (To)v;
}

// Lane by lane, as static_cast does. (g++ 12 turns this form into one
// instruction where it splits __builtin_convertvector in halves.)
template <class To, class From, size_t... I>
NORV_RESAMPLE_INLINE To ConvertOf(From v, std::index_sequence<I...>) {
    using E = std::remove_cvref_t<decltype(To{}[0])>;
    return To{static_cast<E>(v[I])...};
}
template <class To, class From>
NORV_RESAMPLE_INLINE To Convert(From v) {
    static_assert(sizeof(To) / sizeof(To{}[0]) == sizeof(From) / sizeof(From{}[0]));
    return ConvertOf<To>(v, std::make_index_sequence<sizeof(To) / sizeof(To{}[0])>());
}

// Every lane e.
template <class V, class E>
NORV_RESAMPLE_INLINE V Splat(E e) {
    V v = {};
    return v + static_cast<std::remove_cvref_t<decltype(v[0])>>(e);
}

// N lanes picked from a and b (b's lanes numbered on from a's): lane i is
// P::At(i). Patterns in blocks of four 32-bit lanes follow the x86 unpack
// and pack instructions, which work within 128-bit blocks.
template <class P, class V, size_t... I>
NORV_RESAMPLE_INLINE auto ShuffleOf(V a, V b, std::index_sequence<I...>) {
    return __builtin_shufflevector(a, b, P::At(static_cast<int>(I))...);
}
template <int N, class P, class V>
NORV_RESAMPLE_INLINE auto Shuffle(V a, V b) {
    return ShuffleOf<P>(a, b, std::make_index_sequence<N>());
}

template <int From>
struct TFrom {
    static constexpr int At(int i) { return From + i; }
};
struct TEven {
    static constexpr int At(int i) { return 2 * i; }
};
struct TTwice {
    static constexpr int At(int i) { return i / 2; }
};

// The lower and upper half of v.
template <class V>
NORV_RESAMPLE_INLINE auto Low(V v) {
    return Shuffle<sizeof v / sizeof v[0] / 2, TFrom<0>>(v, v);
}
template <class V>
NORV_RESAMPLE_INLINE auto High(V v) {
    constexpr int Half = sizeof v / sizeof v[0] / 2;
    return Shuffle<Half, TFrom<Half>>(v, v);
}
template <class V>
NORV_RESAMPLE_INLINE auto Concat(V a, V b) {
    return Shuffle<2 * sizeof a / sizeof a[0], TFrom<0>>(a, b);
}

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
