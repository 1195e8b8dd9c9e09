#pragma once

// Inside the rate converter: the loops that run the layouts of
// DSP_Resample_Body.h over many output frames, and the kernel table of a
// CPU's operations. Part of the body (see there).
//
// A Layout (one per source format) works on groups of W output frames:
//   TOps               the CPU's operations
//   W, OutValues       frames and output values of a group
//   MaxSpan[2]         the largest last-minus-first frame index that reading
//                      taps Near (one register) and Far (two) handles
//   Reach[2]           Near and Far read source frames up to first + Reach
//   TLoaded, Load<Taps>(src, vi, first), Compute<Out16>(loaded, zv, out)
//
// The drivers only decide which frames go through which code.

namespace norv::resample {
namespace {

template <class Layout, bool Out16>
constexpr size_t GroupBytes = Layout::OutValues * (Out16 ? 2 : 4);

// Positions given as arrays: each group picks its way of reading taps.
template <class Layout, bool Out16>
NORV_RESAMPLE_TARGET void RunLayout(const TSourceView& s, const int32_t* idx, const float* z, int32_t count,
                                    void* out) {
    constexpr int W = Layout::W;
    auto* o = static_cast<uint8_t*>(out);
    int32_t n = 0;
    for (; n + W <= count; n += W, o += GroupBytes<Layout, Out16>) {
        const int32_t first = idx[n], span = idx[n + W - 1] - first;
        const I32<W> vi = LoadU<I32<W>>(idx + n);
        typename Layout::TLoaded l;
        if (span <= Layout::MaxSpan[Near] && first + Layout::Reach[Near] < s.frames)
            l = Layout::template Load<Near>(s, vi, first);
        else if (span <= Layout::MaxSpan[Far] && first + Layout::Reach[Far] < s.frames)
            l = Layout::template Load<Far>(s, vi, first);
        else
            l = Layout::template Load<Gather>(s, vi, first);
        Layout::template Compute<Out16>(l, LoadU<F32<W>>(z + n), o);
    }
    if (n < count) RunScalar(s, idx + n, z + n, count - n, o, Out16);
}

// Positions computed on the way. The next group's taps are loaded before
// the current group is computed: a group's chain of dependent steps is long,
// and this way the processor works on two at once.
template <class Layout, TTaps Taps, bool Out16>
NORV_RESAMPLE_TARGET int32_t SteppedLayout(const TSourceView& s, double p0, double step, int32_t count, void* out) {
    constexpr int W = Layout::W;
    TPositions<typename Layout::TOps, W> positions(p0, step);
    auto* o = static_cast<uint8_t*>(out);
    // Cleared, though the turns never read one before loading it: the
    // compiler cannot always see that.
    typename Layout::TLoaded a{}, b{};
    F32<W> za{}, zb{};
    // Loads the group from frame `from` on; false at the end of the run or
    // where the reads would pass the end of the source.
    auto load = [&](typename Layout::TLoaded& l, F32<W>& zv, int32_t from) NORV_RESAMPLE_LAMBDA {
        if (from + W > count) return false;
        I32<W> vi;
        positions.Next(vi, zv);
        const int32_t first = vi[0];
        if (Taps != Gather && first + Layout::Reach[Taps] >= s.frames) return false;
        l = Layout::template Load<Taps>(s, vi, first);
        return true;
    };
    // Computes one loaded group after loading the next into the other
    // variables: they take turns, so nothing is copied.
    int32_t n = 0;
    auto next = [&](const typename Layout::TLoaded& l, F32<W> zv, typename Layout::TLoaded& coming,
                    F32<W>& zComing) NORV_RESAMPLE_LAMBDA {
        const bool more = load(coming, zComing, n + W);
        Layout::template Compute<Out16>(l, zv, o);
        n += W;
        o += GroupBytes<Layout, Out16>;
        return more;
    };
    if (!load(a, za, 0)) return 0;
    while (next(a, za, b, zb) && next(b, zb, a, za)) {
    }
    return n;
}

// The way of reading taps follows from the step: the indices of W frames
// span at most floor((W - 1) s) + 1.
template <class Layout, bool Out16>
NORV_RESAMPLE_TARGET int32_t SteppedFor(const TSourceView& s, double p0, double step, int32_t count, void* out) {
    const double reach = (Layout::W - 1) * step;
    if (reach < Layout::MaxSpan[Near]) return SteppedLayout<Layout, Near, Out16>(s, p0, step, count, out);
    if (reach < Layout::MaxSpan[Far]) return SteppedLayout<Layout, Far, Out16>(s, p0, step, count, out);
    return SteppedLayout<Layout, Gather, Out16>(s, p0, step, count, out);
}

template <class Layout, bool Out16>
struct TRunOf {
    static void Do(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out) {
        RunLayout<Layout, Out16>(s, idx, z, count, out);
    }
};

template <class Layout, bool Out16>
struct TSteppedOf {
    static int32_t Do(const TSourceView& s, double p0, double step, int32_t count, void* out) {
        return SteppedFor<Layout, Out16>(s, p0, step, count, out);
    }
};

// F<layout, 16-bit output>::Do for the source's channels and format.
template <class T, template <class, bool> class F, typename... A>
auto Dispatch(const TSourceView& s, bool out16, A... a) {
    if (s.channels == 2) {
        if (s.isFloat) return out16 ? F<TStereoFloat<T>, true>::Do(s, a...) : F<TStereoFloat<T>, false>::Do(s, a...);
        return out16 ? F<TStereo16<T>, true>::Do(s, a...) : F<TStereo16<T>, false>::Do(s, a...);
    }
    if (s.isFloat) return out16 ? F<TMonoFloat<T>, true>::Do(s, a...) : F<TMonoFloat<T>, false>::Do(s, a...);
    return out16 ? F<TMono16<T>, true>::Do(s, a...) : F<TMono16<T>, false>::Do(s, a...);
}

template <class T>
void RunKernel(const TSourceView& s, const int32_t* idx, const float* z, int32_t count, void* out, bool out16) {
    Dispatch<T, TRunOf>(s, out16, idx, z, count, out);
}

template <class T>
int32_t SteppedKernel(const TSourceView& s, double p0, double step, int32_t count, void* out, bool out16) {
    return Dispatch<T, TSteppedOf>(s, out16, p0, step, count, out);
}

template <class T>
NORV_RESAMPLE_TARGET void ToInt16Kernel(const float* in, int16_t* out, size_t count) {
    constexpr int L = T::Lanes;
    size_t n = 0;
    for (; n + L <= count; n += L) StoreU(out + n, Narrow<T>(RoundFloat<T>(LoadU<typename T::F>(in + n))));
    for (; n < count; ++n) out[n] = SampleToInt16(in[n]);
}

template <class T>
NORV_RESAMPLE_TARGET void PositionsKernel(double p0, double s, int32_t count, int32_t* idx, float* z) {
    constexpr int L = T::Lanes;
    TPositions<T, L> positions(p0, s);
    int32_t k = 0;
    for (; k + L <= count; k += L) {
        I32<L> vi;
        F32<L> zv;
        positions.Next(vi, zv);
        StoreU(idx + k, vi);
        StoreU(z + k, zv);
    }
    for (; k < count; ++k) SplitPosition(p0 + static_cast<double>(k) * s, idx[k], z[k]);
}

template <class T>
constexpr TKernelTable TableOf{RunKernel<T>, ToInt16Kernel<T>, PositionsKernel<T>, SteppedKernel<T>};

}  // namespace
}  // namespace norv::resample
