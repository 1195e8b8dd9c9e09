#pragma once

// Inside the rate converter: the vector kernels, written once over the
// vector type of DSP_Resample_Vector.h for every width and CPU.
//
// A per-CPU file defines NORV_RESAMPLE_TARGET (its target attribute, empty
// for the portable file), includes this header, describes its operations (a
// TGenericOps with its own instructions where it has them) and hands out
// TableOf<its operations>. All of it lies in an anonymous namespace and
// carries the target: every file compiles its own copy for its CPU, and no
// wider instruction reaches code that a CPU without it may run.
//
// Each kernel gives RunScalar's result bit for bit: every lane follows the
// scalar order of operations, and only products that are exact fuse.

// First: it fixes the floating-point contract.
#include "wavetable/DSP_Resample_Kernels.h"

#include "wavetable/DSP_Resample_Vector.h"

namespace norv::resample {
namespace {

// The kernel's sums and differences: s1 = x(0) + x(1), d1 = x(0) - x(1),
// s2 = x(-1) + x(2), ..., d3 = x(-2) - x(3).
template <class F>
struct TTerms {
    F s1, d1, s2, d2, s3, d3;
};

// Int17: the terms are integers (16-bit sources), so the exact products
// fuse. N vectors statement by statement, so that their dependency chains
// overlap.
template <class T, bool Int17, int N = 1>
NORV_RESAMPLE_INLINE void Poly(const TTerms<typename T::F>* t, const typename T::F* z, typename T::F* out) {
    using F = typename T::F;
    F c0[N], c1[N], c2[N], c3[N], c4[N], c5[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        const TTerms<F>& u = t[j];
        if constexpr (Int17) {
            c0[j] = T::AddExact(T::AddExact(K0_3 * u.s3, K0_2, u.s2), K0_1, u.s1);
            c1[j] = T::AddExact(T::AddExact(K1_2 * u.d2, K1_3, u.d3), K1_1, u.d1);
            c2[j] = T::AddExact(K2_3 * u.s3, K2_2, u.s2) + K2_1 * u.s1;
            c3[j] = T::AddExact(K3_3 * u.d3, K3_2, u.d2) + K3_1 * u.d1;
            c4[j] = T::AddExact(K4_3 * u.s3, K4_2, u.s2) + K4_1 * u.s1;
        } else {
            c0[j] = (K0_3 * u.s3 + K0_2 * u.s2) + K0_1 * u.s1;
            c1[j] = (K1_3 * u.d3 + K1_2 * u.d2) + K1_1 * u.d1;
            c2[j] = (K2_3 * u.s3 + K2_2 * u.s2) + K2_1 * u.s1;
            c3[j] = (K3_3 * u.d3 + K3_2 * u.d2) + K3_1 * u.d1;
            c4[j] = (K4_3 * u.s3 + K4_2 * u.s2) + K4_1 * u.s1;
        }
        c5[j] = (K5_3 * u.d3 + K5_2 * u.d2) + K5_1 * u.d1;
    }
    F v[N];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = c5[j] * z[j] + c4[j];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = v[j] * z[j] + c3[j];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = v[j] * z[j] + c2[j];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) v[j] = v[j] * z[j] + c1[j];
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) out[j] = v[j] * z[j] + c0[j];
}

template <class T, bool Int17>
NORV_RESAMPLE_INLINE typename T::F Poly(const TTerms<typename T::F>& t, typename T::F z) {
    typename T::F v;
    Poly<T, Int17>(&t, &z, &v);
    return v;
}

template <class T>
NORV_RESAMPLE_INLINE TTerms<typename T::F> FloatTerms(const typename T::I* x) {
    using F = typename T::F;
    const F x0 = As<F>(x[0]), x1 = As<F>(x[1]), x2 = As<F>(x[2]), x3 = As<F>(x[3]), x4 = As<F>(x[4]),
            x5 = As<F>(x[5]);
    return {x2 + x3, x2 - x3, x1 + x4, x1 - x4, x0 + x5, x0 - x5};
}

// From 32-bit integer taps, exact.
template <class T>
NORV_RESAMPLE_INLINE TTerms<typename T::F> IntTerms(const typename T::I* x) {
    using F = typename T::F;
    return {Convert<F>(x[2] + x[3]), Convert<F>(x[2] - x[3]), Convert<F>(x[1] + x[4]),
            Convert<F>(x[1] - x[4]), Convert<F>(x[0] + x[5]), Convert<F>(x[0] - x[5])};
}

// From lanes holding the 16-bit pairs (x(0), x(1)), (x(-1), x(2)), (x(-2), x(3)), exact.
template <class T>
NORV_RESAMPLE_INLINE TTerms<typename T::F> PairTerms(typename T::I p1, typename T::I p2, typename T::I p3) {
    using F = typename T::F;
    typename T::I sum[3], difference[3];
    T::PairSums(p1, sum[0], difference[0]);
    T::PairSums(p2, sum[1], difference[1]);
    T::PairSums(p3, sum[2], difference[2]);
    return {Convert<F>(sum[0]), Convert<F>(difference[0]), Convert<F>(sum[1]),
            Convert<F>(difference[1]), Convert<F>(sum[2]), Convert<F>(difference[2])};
}

// 16-bit values go without the 1/32768 where the output is 16-bit (see
// ExactOnInt17). For float output they take it, as the scalar form does, so
// that tiny results, which may pass through subnormal numbers there, come
// out the same.
template <class T, bool Out16>
NORV_RESAMPLE_INLINE TTerms<typename T::F> ForOutput(TTerms<typename T::F> t) {
    if constexpr (!Out16)
        t = {t.s1 * Scale16, t.d1 * Scale16, t.s2 * Scale16, t.d2 * Scale16, t.s3 * Scale16, t.d3 * Scale16};
    return t;
}

// --- To 16-bit ---------------------------------------------------------

// v times `scale` rounded once: the product in double is exact.
template <class T>
NORV_RESAMPLE_INLINE typename T::I RoundExact(typename T::F v, double scale) {
    constexpr int H = T::Lanes / 2;
    auto half = [scale](F32<H> h) NORV_RESAMPLE_LAMBDA {
        // Adding 1.5 x 2^52 leaves no fraction.
        return Convert<I32<H>>((Convert<F64<H>>(h) * scale + 0x1.8p52) - 0x1.8p52);
    };
    return Concat(half(Low(v)), half(High(v)));
}

template <class T>
NORV_RESAMPLE_INLINE typename T::F Clamp(typename T::F v, float low, float high) {
    using F = typename T::F;
    return T::Min(T::Max(v, Splat<F>(low)), Splat<F>(high));
}

// SampleToInt16 stops at -32767 where packing stops at -32768.
template <class V>
NORV_RESAMPLE_INLINE V LimitBottom(V packed) {
    const V limit = Splat<V>(-32767);
    return packed > limit ? packed : limit;
}

// SampleToInt16 of 16-bit-path values (x 32768) as 32-bit integers, but for
// the limits (packing saturates at the top; see LimitBottom). A float
// product that lies on a half-integer may round the other way than the exact
// one (elsewhere both give the same integer): then the group takes the exact
// way.
template <class T, int N = 1>
NORV_RESAMPLE_INLINE void RoundInt17(const typename T::F* v, typename T::I* out) {
    typename T::F product[N];
    for (int j = 0; j < N; ++j) product[j] = v[j] * (32767.0f / 32768.0f);
    auto ties = T::Ties(product[0]);
    for (int j = 1; j < N; ++j) ties = ties | T::Ties(product[j]);
    if (T::Any(ties)) {
        for (int j = 0; j < N; ++j)
            out[j] = RoundExact<T>(Clamp<T>(v[j], -32768.0f, 32768.0f), 32767.0 / 32768.0);
    } else {
        for (int j = 0; j < N; ++j) out[j] = T::Round(product[j]);
    }
}

// SampleToInt16 of float values, as 32-bit integers.
template <class T>
NORV_RESAMPLE_INLINE typename T::I RoundFloat(typename T::F v) {
    v = Clamp<T>(v == v ? v : typename T::F{}, -1.0f, 1.0f);
    const typename T::F product = v * 32767.0f;
    if (T::Any(T::Ties(product))) return RoundExact<T>(v, 32767.0);
    return T::Round(product);
}

// The lanes of v as 16-bit values with saturation, in order.
template <class T>
NORV_RESAMPLE_INLINE I16<T::Lanes> Narrow(typename T::I v) {
    struct TFirstHalves {
        static constexpr int At(int i) { return 8 * (i / 4) + i % 4; }
    };
    const I16<2 * T::Lanes> packed = T::Pack(v, v);
    return Shuffle<T::Lanes, TFirstHalves>(packed, packed);
}

// --- Positions -----------------------------------------------------------

// Positions p0 + k s, W at a time. Every sum is exact, so adding W s to one
// gives the next exactly. 2^52 + floor(p) holds floor(p) (below 2^32) in
// its low 32 bits, and p less that sum less (2^52 - 0.5) is the fraction
// less 0.5 exactly: no conversions to integers, which some CPUs do slowly
// on wide vectors.
template <class T, int W>
class TPositions {
    static constexpr int D = T::Lanes / 2;  // doubles in a register
    static constexpr int R = W / D;         // registers in a group
    static_assert(R == 1 || R == 2);

public:
    NORV_RESAMPLE_INLINE TPositions(double p0, double step) : advance_(W * step) {
        F64<D> lanes;
        for (int j = 0; j < D; ++j) lanes[j] = j;
        for (int r = 0; r < R; ++r) a_[r] = p0 + (lanes + r * D) * step;
    }

    // The next group's indices and fractions.
    NORV_RESAMPLE_INLINE void Next(I32<W>& vi, F32<W>& zv) {
        F64<D> ia[R];
        F32<D> z[R];
        for (int r = 0; r < R; ++r) {
            ia[r] = T::Floor52(a_[r]);
            z[r] = Convert<F32<D>>(a_[r] - (ia[r] - (0x1p52 - 0.5)));
            a_[r] += advance_;
        }
        if constexpr (R == 2) {
            vi = Shuffle<W, TEven>(As<I32<2 * D>>(ia[0]), As<I32<2 * D>>(ia[1]));
            zv = Concat(z[0], z[1]);
        } else {
            vi = Shuffle<W, TEven>(As<I32<2 * D>>(ia[0]), As<I32<2 * D>>(ia[0]));
            zv = z[0];
        }
    }

private:
    F64<D> a_[R];
    double advance_;
};

// --- Reading taps --------------------------------------------------------

enum TTaps { Near, Far, Gather };

// The taps of a group whose frames are elements of Size bytes (a 16-bit
// value, widened as it is loaded; a float or a 16-bit stereo frame; a float
// stereo frame): x[k] holds tap x(k - 2) of every frame of the group in its
// element's lanes.
//
// Near and Far read taps by contiguous loads rearranged by permutes: for a
// group whose first frame index is i0, the window loaded at source frame
// i0 - 2 + k holds tap x(k - 2) of every frame of the group at element
// idx - i0, so one index vector serves all six taps. Groups spread wider
// than one window take two (Far); wider still, or at the very end of the
// source, they gather.
template <class T, int Size>
struct TElementTaps {
    using TOps = T;
    using I = typename T::I;
    // Frames of a group: the elements of a window.
    static constexpr int W = Size == 8 ? T::Lanes / 2 : T::Lanes;
    // The largest last-minus-first frame index of a group that Near (one
    // window) and Far (two) handle; they read source frames up to first + Reach.
    static constexpr int32_t MaxSpan[2] = {T::Permutes ? W - 1 : -1, T::Permutes ? 2 * W - 1 : -1};
    static constexpr int32_t Reach[2] = {W + 2, 2 * W + 2};
    struct TLoaded {
        I x[6];
    };

    NORV_RESAMPLE_INLINE static I Window(const uint8_t* p) {
        if constexpr (Size == 2)
            return Convert<I>(LoadU<I16<T::Lanes>>(p));
        else
            return LoadU<I>(p);
    }

    template <TTaps Taps>
    NORV_RESAMPLE_INLINE static TLoaded Load(const TSourceView& s, I32<W> vi, int32_t first) {
        TLoaded l;
        if constexpr (Taps == Gather || !T::Permutes) {
#pragma GCC unroll 6
            for (int k = 0; k < 6; ++k) l.x[k] = T::template Gather<Size>(s.data, vi + (k - 2));
        } else {
            const auto* p = static_cast<const uint8_t*>(s.data) + static_cast<ptrdiff_t>(first - 2) * Size;
            const auto index = T::template PermuteIndex<Size>(vi - first);
#pragma GCC unroll 6
            for (int k = 0; k < 6; ++k) {
                const I near = Window(p + k * Size);
                if constexpr (Taps == Near)
                    l.x[k] = T::Permute(near, index);
                else
                    l.x[k] = T::Permute2(near, Window(p + (k + W) * Size), index);
            }
        }
        return l;
    }
};

// --- Source layouts ------------------------------------------------------
//
// A layout works on groups of W output frames (see DSP_Resample_Drivers.h).

template <class T, bool Out16>
NORV_RESAMPLE_INLINE void StoreFloatSource(void* out, typename T::F v) {
    if constexpr (Out16)
        StoreU(out, Narrow<T>(RoundFloat<T>(v)));
    else
        StoreU(out, v);
}

// How a CPU reads 16-bit mono taps and takes their terms: as widened
// elements unless its file specialises this.
template <class T>
struct TMono16Taps : TElementTaps<T, 2> {
    NORV_RESAMPLE_INLINE static TTerms<typename T::F> Terms(const typename TElementTaps<T, 2>::TLoaded& l) {
        return IntTerms<T>(l.x);
    }
};

template <class T>
struct TMono16 : TMono16Taps<T> {
    using Base = TMono16Taps<T>;
    static constexpr size_t OutValues = Base::W;

    template <bool Out16>
    NORV_RESAMPLE_INLINE static void Compute(const typename Base::TLoaded& l, F32<Base::W> zv, void* out) {
        const typename T::F v = Poly<T, true>(ForOutput<T, Out16>(Base::Terms(l)), zv);
        if constexpr (Out16) {
            typename T::I r;
            RoundInt17<T>(&v, &r);
            StoreU(out, LimitBottom(Narrow<T>(r)));
        } else {
            StoreU(out, v);
        }
    }
};

// Stereo 16-bit: a frame is one 32-bit element, left in its low half.
template <class T>
struct TStereo16 : TElementTaps<T, 4> {
    using Base = TElementTaps<T, 4>;
    static constexpr size_t OutValues = 2 * Base::W;
    static constexpr int L = T::Lanes;

    // x86's unpack of 16-bit values: in each block of four lanes, the pairs
    // (a, b) of the low (or high) half of a's and b's.
    template <bool High>
    struct TUnpacked {
        static constexpr int At(int i) { return 8 * (i / 8) + (High ? 4 : 0) + i % 8 / 2 + (i % 2 ? 2 * L : 0); }
    };
    template <bool High>
    NORV_RESAMPLE_INLINE static typename T::I Unpack(typename T::I a, typename T::I b) {
        return As<typename T::I>(Shuffle<2 * L, TUnpacked<High>>(As<I16<2 * L>>(a), As<I16<2 * L>>(b)));
    }
    template <bool High, bool Out16>
    NORV_RESAMPLE_INLINE static TTerms<typename T::F> Terms(const typename T::I* x) {
        return ForOutput<T, Out16>(
            PairTerms<T>(Unpack<High>(x[2], x[3]), Unpack<High>(x[1], x[4]), Unpack<High>(x[0], x[5])));
    }
    // The fractions of the frames an unpack holds, for both channels.
    template <bool High>
    struct TFramesOf {
        static constexpr int At(int i) { return 4 * (i / 4) + (High ? 2 : 0) + i % 4 / 2; }
    };
    // Blocks of four lanes of a and b in turn, from block From of that order.
    template <int From>
    struct TInTurn {
        static constexpr int At(int i) { return (From + i / 4) % 2 * L + 4 * ((From + i / 4) / 2) + i % 4; }
    };

    // Unpacked, lanes hold (frame 4j, left), (4j, right), (4j + 1, left),
    // (4j + 1, right) in each block j of four (the high unpack frames 4j + 2
    // and 4j + 3): packed in this order they give interleaved 16-bit frames.
    template <bool Out16>
    NORV_RESAMPLE_INLINE static void Compute(const typename Base::TLoaded& l, F32<Base::W> zv, void* out) {
        const TTerms<typename T::F> t[2] = {Terms<false, Out16>(l.x), Terms<true, Out16>(l.x)};
        const typename T::F z[2] = {Shuffle<L, TFramesOf<false>>(zv, zv), Shuffle<L, TFramesOf<true>>(zv, zv)};
        typename T::F v[2];
        Poly<T, true, 2>(t, z, v);
        if constexpr (Out16) {
            typename T::I r[2];
            RoundInt17<T, 2>(v, r);
            StoreU(out, LimitBottom(T::Pack(r[0], r[1])));
        } else {
            StoreU(out, Shuffle<L, TInTurn<0>>(v[0], v[1]));
            StoreU(static_cast<float*>(out) + L, Shuffle<L, TInTurn<L / 4>>(v[0], v[1]));
        }
    }
};

template <class T>
struct TMonoFloat : TElementTaps<T, 4> {
    using Base = TElementTaps<T, 4>;
    static constexpr size_t OutValues = Base::W;

    template <bool Out16>
    NORV_RESAMPLE_INLINE static void Compute(const typename Base::TLoaded& l, F32<Base::W> zv, void* out) {
        StoreFloatSource<T, Out16>(out, Poly<T, false>(FloatTerms<T>(l.x), zv));
    }
};

// Stereo float: a frame is one 64-bit element; the lanes hold (frame,
// left), (frame, right) in output order.
template <class T>
struct TStereoFloat : TElementTaps<T, 8> {
    using Base = TElementTaps<T, 8>;
    static constexpr size_t OutValues = 2 * Base::W;

    template <bool Out16>
    NORV_RESAMPLE_INLINE static void Compute(const typename Base::TLoaded& l, F32<Base::W> zv, void* out) {
        const typename T::F z = Shuffle<T::Lanes, TTwice>(zv, zv);
        StoreFloatSource<T, Out16>(out, Poly<T, false>(FloatTerms<T>(l.x), z));
    }
};

}  // namespace
}  // namespace norv::resample

#include "wavetable/DSP_Resample_Drivers.h"
