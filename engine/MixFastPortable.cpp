// First: it fixes the floating-point contract for this file.
#include "engine/MixFastLanes.h"

#include <cstring>

namespace norv::mixfast {
namespace {

// Every CPU: four voices at once in the compiler's generic 128-bit vectors
// (SSE2, NEON, or plain scalar code where there are none). A chunk of frames
// goes voice-wise first (all four voices a frame), then into the mix voice
// after voice in list order, each sum rounded to float.
constexpr int32_t W = kPortableLanes;  // two sets of four, interleaved
constexpr int32_t kSets = W / 4;
constexpr int32_t kFrames = 32;

using F4 = float __attribute__((vector_size(16)));
using D2 = double __attribute__((vector_size(16)));
using I4 = int32_t __attribute__((vector_size(16)));
using U4 = uint32_t __attribute__((vector_size(16)));

template <class V, class T>
inline V Load(const T* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class V, class T>
inline void Store(T* p, V v) {
    std::memcpy(p, &v, sizeof v);
}
inline D2 Low(F4 v) { return __builtin_convertvector(__builtin_shufflevector(v, v, 0, 1), D2); }
inline D2 High(F4 v) { return Low(__builtin_shufflevector(v, v, 2, 3, 2, 3)); }
inline F4 Join(D2 lo, D2 hi) {
    using F2 = float __attribute__((vector_size(8)));
    return __builtin_shufflevector(__builtin_convertvector(lo, F2), __builtin_convertvector(hi, F2), 0, 1, 2, 3);
}
inline bool Any(I4 m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }
inline F4 Select(I4 m, F4 a, F4 b) {
    return reinterpret_cast<F4>((reinterpret_cast<I4>(a) & m) | (reinterpret_cast<I4>(b) & ~m));
}

// float(y - a y y), and where that turns negative float(r + 0.5 r r); only
// positive samples are driven.
inline float Drive(float y, double amount) {
    if (y > 0.0f) {
        const double yd = y;
        y = static_cast<float>(yd - amount * yd * yd);
        if (y < 0.0f) {
            const double r = y;
            y = static_cast<float>(r + 0.5 * r * r);
        }
    }
    return y;
}

struct TVoices {
    I4 pos, step, loopEnd, loopLength;
    U4 frac;
    F4 level, decay, gainL, gainR, incL, incR;
    D2 fl[2], pl[2], fr[2], pr[2], coef[2], keep[2];  // keep = 1 - coef, exact
};

// The muffle filter: F (1 - c) + (y + P) c, rounded to float; returns the
// new state.
inline F4 Filter(D2 f[2], D2 p[2], const D2 c[2], const D2 keep[2], F4 y) {
    const D2 y0 = Low(y), y1 = High(y);
    const F4 out = Join(f[0] * keep[0] + (y0 + p[0]) * c[0], f[1] * keep[1] + (y1 + p[1]) * c[1]);
    f[0] = Low(out);
    f[1] = High(out);
    p[0] = y0;
    p[1] = y1;
    return out;
}

// One frame on for the four voices: step, loop wrap, sample values. A voice
// that runs off its data stays on its last frame, silent. Positions below 0
// count as past the end, which holds because LoopEnd is never negative.
template <bool Stereo>
inline void Step(TVoices& v, const int16_t* data, F4& xl, F4& xr) {
    v.frac += reinterpret_cast<U4>(v.step);
    v.pos += reinterpret_cast<I4>(v.frac >> 16);
    v.frac &= 0xFFFF;
    v.pos -= v.loopLength & (v.pos > v.loopEnd);
    const I4 stop = reinterpret_cast<U4>(v.pos) > reinterpret_cast<U4>(v.loopEnd);
    if (Any(stop)) {
        v.pos = (v.pos & ~stop) | (v.loopEnd & stop & ~(v.pos < 0));
        v.step &= ~stop;
        v.frac &= reinterpret_cast<U4>(~stop);
        v.level = Select(stop, F4{}, v.level);
    }
    constexpr int32_t channels = Stereo ? 2 : 1;
    const I4 f = reinterpret_cast<I4>(v.frac >> 9);
    // Built from registers: element stores followed by a vector load would
    // stall on the store buffer.
    const int16_t* a = data + static_cast<int64_t>(v.pos[0]) * channels;
    const int16_t* b = data + static_cast<int64_t>(v.pos[1]) * channels;
    const int16_t* c = data + static_cast<int64_t>(v.pos[2]) * channels;
    const int16_t* d = data + static_cast<int64_t>(v.pos[3]) * channels;
    const I4 l0{a[0], b[0], c[0], d[0]};
    const I4 l1{a[channels], b[channels], c[channels], d[channels]};
    I4 r0{}, r1{};
    if constexpr (Stereo) {
        r0 = I4{a[1], b[1], c[1], d[1]};
        r1 = I4{a[3], b[3], c[3], d[3]};
    }
    // 128 s0 + f (s1 - s0): every product and sum here is exact in float.
    const F4 ff = __builtin_convertvector(f, F4);
    xl = __builtin_convertvector(l0, F4) * 128.0f + ff * __builtin_convertvector(l1 - l0, F4);
    if constexpr (Stereo) xr = __builtin_convertvector(r0, F4) * 128.0f + ff * __builtin_convertvector(r1 - r0, F4);
}

// rows[j .. j + 3][at .. at + 3] turned: out[k] holds voice at + k's four
// frames.
inline void Turn(const float (*rows)[W], int at, F4* out) {
    const F4 a = Load<F4>(rows[0] + at), b = Load<F4>(rows[1] + at), c = Load<F4>(rows[2] + at),
             d = Load<F4>(rows[3] + at);
    const F4 ab0 = __builtin_shufflevector(a, b, 0, 4, 1, 5), ab1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const F4 cd0 = __builtin_shufflevector(c, d, 0, 4, 1, 5), cd1 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    out[0] = __builtin_shufflevector(ab0, cd0, 0, 1, 4, 5);
    out[1] = __builtin_shufflevector(ab0, cd0, 2, 3, 6, 7);
    out[2] = __builtin_shufflevector(ab1, cd1, 0, 1, 4, 5);
    out[3] = __builtin_shufflevector(ab1, cd1, 2, 3, 6, 7);
}

// A double rounded to float and back.
inline D2 Round(D2 v) {
    using F2 = float __attribute__((vector_size(8)));
    return __builtin_convertvector(__builtin_convertvector(v, F2), D2);
}

// Adds a chunk into the mix, voice after voice in list order, each addition
// of the exact product rounded once to float; four frames at a time.
template <bool Stereo>
void MixChunk(const TLaneState& s, const float (*outL)[W], const float (*outR)[W], const float (*gainL)[W],
              const float (*gainR)[W], float* mix, int32_t len) {
    int32_t j = 0;
    for (; j + 4 <= len; j += 4) {
        const F4 m0 = Load<F4>(mix + 2 * j), m1 = Load<F4>(mix + 2 * j + 4);
        const F4 left = __builtin_shufflevector(m0, m1, 0, 2, 4, 6), right = __builtin_shufflevector(m0, m1, 1, 3, 5, 7);
        D2 l0 = Low(left), l1 = High(left), r0 = Low(right), r1 = High(right);
        F4 fl[W], fr[W], gl[W], gr[W];
        for (int at = 0; at < W; at += 4) {
            Turn(outL + j, at, fl + at);
            if constexpr (Stereo) Turn(outR + j, at, fr + at);
            Turn(gainL + j, at, gl + at);
            Turn(gainR + j, at, gr + at);
        }
        for (int32_t k = 0; k < s.Count; ++k) {
            const double panL = s.PanL[k], panR = s.PanR[k];
            const F4 fk = Stereo ? fr[k] : fl[k];
            l0 = Round(l0 + Low(gl[k]) * panL * Low(fl[k]));
            l1 = Round(l1 + High(gl[k]) * panL * High(fl[k]));
            r0 = Round(r0 + Low(gr[k]) * panR * Low(fk));
            r1 = Round(r1 + High(gr[k]) * panR * High(fk));
        }
        const F4 l = Join(l0, l1), r = Join(r0, r1);
        Store(mix + 2 * j, __builtin_shufflevector(l, r, 0, 4, 1, 5));
        Store(mix + 2 * j + 4, __builtin_shufflevector(l, r, 2, 6, 3, 7));
    }
    for (; j < len; ++j)
        for (int32_t k = 0; k < s.Count; ++k) {
            mix[2 * j] = static_cast<float>(mix[2 * j] + gainL[j][k] * static_cast<double>(s.PanL[k]) * outL[j][k]);
            mix[2 * j + 1] = static_cast<float>(mix[2 * j + 1] + gainR[j][k] * static_cast<double>(s.PanR[k]) * outR[j][k]);
        }
}

// Four voices' state in vectors.
inline void LoadSet(TVoices& v, const TLaneState& s, int at) {
    v.pos = Load<I4>(s.Pos + at);
    v.step = Load<I4>(s.Step + at);
    v.frac = Load<U4>(s.Frac + at);
    v.loopEnd = Load<I4>(s.LoopEnd + at);
    v.loopLength = Load<I4>(s.LoopLength + at);
    v.level = Load<F4>(s.Level + at);
    v.decay = Load<F4>(s.Decay + at);
    v.gainL = Load<F4>(s.GainL + at);
    v.gainR = Load<F4>(s.GainR + at);
    v.incL = Load<F4>(s.IncL + at);
    v.incR = Load<F4>(s.IncR + at);
    const F4 fl = Load<F4>(s.FilterL + at), pl = Load<F4>(s.PrevL + at);
    const F4 fr = Load<F4>(s.FilterR + at), pr = Load<F4>(s.PrevR + at);
    const F4 coef = Load<F4>(s.Coef + at);
    v.fl[0] = Low(fl), v.fl[1] = High(fl);
    v.pl[0] = Low(pl), v.pl[1] = High(pl);
    v.fr[0] = Low(fr), v.fr[1] = High(fr);
    v.pr[0] = Low(pr), v.pr[1] = High(pr);
    v.coef[0] = Low(coef), v.coef[1] = High(coef);
    v.keep[0] = 1.0 - v.coef[0];
    v.keep[1] = 1.0 - v.coef[1];
}

inline void SaveSet(const TVoices& v, TLaneState& s, int at) {
    Store(s.Pos + at, v.pos);
    Store(s.Step + at, v.step);
    Store(s.Frac + at, v.frac);
    Store(s.Level + at, v.level);
    Store(s.GainL + at, v.gainL);
    Store(s.GainR + at, v.gainR);
    Store(s.FilterL + at, Join(v.fl[0], v.fl[1]));
    Store(s.PrevL + at, Join(v.pl[0], v.pl[1]));
    Store(s.FilterR + at, Join(v.fr[0], v.fr[1]));
    Store(s.PrevR + at, Join(v.pr[0], v.pr[1]));
}

// One frame of four voices, up to their filter outputs.
template <bool Stereo, bool Driven>
inline void Frame(TVoices& v, const int16_t* data, double amount, float* outL, float* outR, float* gainL,
                  float* gainR) {
    F4 xl{}, xr{};
    Step<Stereo>(v, data, xl, xr);
    // The level is kept times 2^-22, so this is float(x Level).
    F4 yl = xl * v.level, yr = Stereo ? xr * v.level : yl;
    v.level *= v.decay;
    if constexpr (Driven) {
        for (int k = 0; k < 4; ++k) {
            yl[k] = Drive(yl[k], amount);
            if constexpr (Stereo) yr[k] = Drive(yr[k], amount);
        }
    }
    const F4 l = Filter(v.fl, v.pl, v.coef, v.keep, yl);
    Store(outL, l);
    Store(outR, Stereo ? Filter(v.fr, v.pr, v.coef, v.keep, yr) : l);
    Store(gainL, v.gainL);
    Store(gainR, v.gainR);
    v.gainL += v.incL;
    v.gainR += v.incR;
}

template <bool Stereo, bool Driven>
void Run(TLaneState& s, const TVoiceBlock& b) {
    // Two sets of four whose chains of dependent steps interleave.
    TVoices v0, v1;
    static_assert(kSets == 2);
    LoadSet(v0, s, 0);
    LoadSet(v1, s, 4);
    float outL[kFrames][W], outR[kFrames][W], gainL[kFrames][W], gainR[kFrames][W];
    for (int32_t j0 = 0; j0 < b.Frames; j0 += kFrames) {
        const int32_t len = b.Frames - j0 < kFrames ? b.Frames - j0 : kFrames;
        for (int32_t j = 0; j < len; ++j) {
            Frame<Stereo, Driven>(v0, b.Data, b.Overdrive, outL[j], outR[j], gainL[j], gainR[j]);
            Frame<Stereo, Driven>(v1, b.Data, b.Overdrive, outL[j] + 4, outR[j] + 4, gainL[j] + 4, gainR[j] + 4);
        }
        MixChunk<Stereo>(s, outL, outR, gainL, gainR, b.Mix + 2 * j0, len);
    }
    SaveSet(v0, s, 0);
    SaveSet(v1, s, 4);
}

}  // namespace

void RenderGroupPortable(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block) {
    TLaneState s;
    LoadLanes(s, voices, count, W);
    const bool driven = block.Overdrive != 0.0f;
    if (block.Stereo)
        driven ? Run<true, true>(s, block) : Run<true, false>(s, block);
    else
        driven ? Run<false, true>(s, block) : Run<false, false>(s, block);
    StoreLanes(s, voices, block.Stereo);
}

}  // namespace norv::mixfast
