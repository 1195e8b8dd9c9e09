// The lane vocabulary of the SIMD bodies (the voice renderer, the rate
// converter): vectors of N lanes (GCC/clang generic vectors) and the moves
// the bodies make with them, written once for any width.
//
// A per-CPU file defines NORV_LANES_TARGET (its target attribute, empty for
// none) and then includes this header. All of it lies in an anonymous
// namespace and carries that target: every file compiles its own copy for
// its CPU, and no wider instruction reaches code that a CPU without it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

#ifndef NORV_LANES_TARGET
#error "define NORV_LANES_TARGET (the including file's target attribute) before including base/Lanes.h"
#endif

// The hot loops must hold no calls.
#define NORV_LANES_INLINE inline __attribute__((always_inline)) NORV_LANES_TARGET

namespace norv::lanes {
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
using U32 = typename TVecOf<uint32_t, N>::type;
template <int N>
using I16 = typename TVecOf<int16_t, N>::type;
template <int N>
using F64 = typename TVecOf<double, N>::type;
template <int N>
using I64 = typename TVecOf<int64_t, N>::type;

template <class V>
using ElementOf = std::remove_cvref_t<decltype(V{}[0])>;
template <class V>
inline constexpr int LanesOf = static_cast<int>(sizeof(V) / sizeof(ElementOf<V>));

template <class V>
NORV_LANES_INLINE V LoadU(const void* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class V>
NORV_LANES_INLINE void StoreU(void* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

// The same bits as another vector type of the same size.
template <class To, class From>
NORV_LANES_INLINE To As(From v) {
    static_assert(sizeof(To) == sizeof(From));
    return (To)v;
}

// Lane by lane, as static_cast does. (g++ 12 turns this form into one
// instruction where it splits __builtin_convertvector in halves.)
template <class To, class From, size_t... K>
NORV_LANES_INLINE To ConvertOf(From v, std::index_sequence<K...>) {
    return To{static_cast<ElementOf<To>>(v[K])...};
}
template <class To, class From>
NORV_LANES_INLINE To Convert(From v) {
    static_assert(LanesOf<To> == LanesOf<From>);
    return ConvertOf<To>(v, std::make_index_sequence<LanesOf<To>>());
}

template <class V, class E, size_t... K>
NORV_LANES_INLINE V SplatOf(E e, std::index_sequence<K...>) {
    return V{(static_cast<void>(K), static_cast<ElementOf<V>>(e))...};
}
// Every lane e (lane by lane: 0 + e would turn -0 into +0).
template <class V, class E>
NORV_LANES_INLINE V Splat(E e) {
    return SplatOf<V>(e, std::make_index_sequence<LanesOf<V>>());
}

template <class V, size_t... K>
NORV_LANES_INLINE V IotaOf(std::index_sequence<K...>) {
    return V{static_cast<ElementOf<V>>(K)...};
}
// 0, 1, .., N - 1.
template <class V>
NORV_LANES_INLINE V Iota() {
    return IotaOf<V>(std::make_index_sequence<LanesOf<V>>());
}

// N lanes picked from a and b (b's lanes numbered on from a's): lane i is
// P::At(i). Patterns in blocks of four 32-bit lanes follow the x86 unpack
// and pack instructions, which work within 128-bit blocks.
template <class P, class V, size_t... K>
NORV_LANES_INLINE auto ShuffleOf(V a, V b, std::index_sequence<K...>) {
    return __builtin_shufflevector(a, b, P::At(static_cast<int>(K))...);
}
template <int N, class P, class V>
NORV_LANES_INLINE auto Shuffle(V a, V b) {
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
// Fill's last S lanes, then v's first N - S.
template <int N, int S>
struct TShiftedIn {
    static constexpr int At(int i) { return i < S ? N - S + i : N + i - S; }
};
template <int N>
struct TLastLane {
    static constexpr int At(int) { return N - 1; }
};
// Pairs (l, r) of lanes Half N / 2 onwards.
template <int N, int Half>
struct TInterleaved {
    static constexpr int At(int i) { return Half * N / 2 + i / 2 + (i % 2 ? N : 0); }
};

// The lower and upper half of v, and a and b one after the other.
template <class V>
NORV_LANES_INLINE auto Low(V v) {
    return Shuffle<LanesOf<V> / 2, TFrom<0>>(v, v);
}
template <class V>
NORV_LANES_INLINE auto High(V v) {
    return Shuffle<LanesOf<V> / 2, TFrom<LanesOf<V> / 2>>(v, v);
}
template <class V>
NORV_LANES_INLINE auto Concat(V a, V b) {
    return Shuffle<2 * LanesOf<V>, TFrom<0>>(a, b);
}

// A CPU's file may name the instruction of a lane move (Named::ShiftIn,
// Named::Last): compilers differ in what they make of generic shuffles.
template <class Named, int S, class V>
concept NamesShiftIn = requires(V v) { Named::template ShiftIn<S>(v, v); };
template <class Named, class V>
concept NamesLast = requires(V v) { Named::Last(v); };

// The lanes of v moved up by S, the first S taken from the last S of fill.
template <int S, class Named = void, class V>
NORV_LANES_INLINE V ShiftIn(V v, V fill) {
    if constexpr (NamesShiftIn<Named, S, V>)
        return Named::template ShiftIn<S>(v, fill);
    else
        return Shuffle<LanesOf<V>, TShiftedIn<LanesOf<V>, S>>(fill, v);
}

// Every lane a copy of the last.
template <class Named = void, class V>
NORV_LANES_INLINE V Last(V v) {
    if constexpr (NamesLast<Named, V>)
        return Named::Last(v);
    else
        return Shuffle<LanesOf<V>, TLastLane<LanesOf<V>>>(v, v);
}

// Lanes Half N / 2 onwards of planar l and r as interleaved pairs.
template <int Half, class V>
NORV_LANES_INLINE V Interleave(V l, V r) {
    return Shuffle<LanesOf<V>, TInterleaved<LanesOf<V>, Half>>(l, r);
}

}  // namespace
}  // namespace norv::lanes
