#pragma once

// Inside the rate converter: the loops that run a vector kernel over many
// output frames, shared by the per-CPU files. Include it inside an
// anonymous namespace after defining NORV_RESAMPLE_TARGET (the target
// attribute of the including file).
//
// A Layout (one per source format) works on groups of W output frames:
//   W, OutValues       frames and output values of a group
//   MaxSpan[2]         the largest last-minus-first frame index that reading
//                      taps Near (one register) and Far (two) handles
//   Reach[2]           Near and Far read source frames up to first + Reach
//   TIndex, TFraction  vectors of the group's frame indices and fractions
//   TPositions         positions p0 + k s, W at a time: Next(TIndex&, TFraction&)
//   Indices(idx), Fractions(z), First(vi)
//   TLoaded, Load<Taps>(src, vi, first), Compute<Out16>(loaded, zv, out)
//
// The kernel sets for each CPU give the same results as RunScalar bit for
// bit; the drivers only decide which frames go through which code.

enum TTaps { Near, Far, Gather };

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
        const typename Layout::TIndex vi = Layout::Indices(idx + n);
        typename Layout::TLoaded l;
        if (span <= Layout::MaxSpan[Near] && first + Layout::Reach[Near] < s.frames)
            l = Layout::template Load<Near>(s, vi, first);
        else if (span <= Layout::MaxSpan[Far] && first + Layout::Reach[Far] < s.frames)
            l = Layout::template Load<Far>(s, vi, first);
        else
            l = Layout::template Load<Gather>(s, vi, first);
        Layout::template Compute<Out16>(l, Layout::Fractions(z + n), o);
    }
    if (n < count) RunScalar(s, idx + n, z + n, count - n, o, Out16);
}

// Positions computed on the way. The next group's taps are loaded before
// the current group is computed: a group's chain of dependent steps is long,
// and this way the processor works on two at once.
template <class Layout, TTaps Taps, bool Out16>
NORV_RESAMPLE_TARGET int32_t SteppedLayout(const TSourceView& s, double p0, double step, int32_t count, void* out) {
    constexpr int W = Layout::W;
    typename Layout::TPositions positions(p0, step);
    auto* o = static_cast<uint8_t*>(out);
    typename Layout::TLoaded a, b;
    typename Layout::TFraction za, zb;
    // Loads the group from frame `from` on; false at the end of the run or
    // where the reads would pass the end of the source.
    auto load = [&](typename Layout::TLoaded& l, typename Layout::TFraction& zv, int32_t from)
                    __attribute__((always_inline)) NORV_RESAMPLE_TARGET {
        if (from + W > count) return false;
        typename Layout::TIndex vi;
        positions.Next(vi, zv);
        const int32_t first = Layout::First(vi);
        if (Taps != Gather && first + Layout::Reach[Taps] >= s.frames) return false;
        l = Layout::template Load<Taps>(s, vi, first);
        return true;
    };
    // Computes one loaded group after loading the next into the other
    // variables: they take turns, so nothing is copied.
    int32_t n = 0;
    auto next = [&](const typename Layout::TLoaded& l, typename Layout::TFraction zv,
                    typename Layout::TLoaded& coming, typename Layout::TFraction& zComing)
                    __attribute__((always_inline)) NORV_RESAMPLE_TARGET {
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
template <class Mono16, class Stereo16, class MonoFloat, class StereoFloat, template <class, bool> class F,
          typename... A>
auto Dispatch(const TSourceView& s, bool out16, A... a) {
    if (s.channels == 2) {
        if (s.isFloat) return out16 ? F<StereoFloat, true>::Do(s, a...) : F<StereoFloat, false>::Do(s, a...);
        return out16 ? F<Stereo16, true>::Do(s, a...) : F<Stereo16, false>::Do(s, a...);
    }
    if (s.isFloat) return out16 ? F<MonoFloat, true>::Do(s, a...) : F<MonoFloat, false>::Do(s, a...);
    return out16 ? F<Mono16, true>::Do(s, a...) : F<Mono16, false>::Do(s, a...);
}
