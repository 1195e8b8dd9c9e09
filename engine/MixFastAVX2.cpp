// First: it fixes the floating-point contract for this file.
#include "engine/MixFastLanes.h"

#if defined(__x86_64__)

#include <climits>
#include <cstring>

#define NORV_AVX2 __attribute__((target("avx2,fma")))
// The small steps below must melt into the loops that use them.
#define NORV_AVX2_INLINE NORV_AVX2 __attribute__((always_inline)) inline

namespace norv::mixfast {
namespace {

// Eight voices per group, one per lane. A block goes in chunks of 16 frames:
//  - frame by frame, all voices at once: step, loop wrap and end of data, a
//    gather of the sample values, level, overdrive and muffle filter (filter
//    states as doubles, rounded to float every frame);
//  - the chunk's filter outputs turned voice-major and added into the mix
//    voice after voice, four frames a register, each sum rounded to float.
constexpr int32_t W = kAVX2Lanes;
constexpr int32_t kFrames = 16;

struct TRegs {
    __m256i pos, frac, step, loopEnd, loopEndBiased, loopLength;
    __m256 level, decay, gainL, gainR, incL, incR;
    __m256d fl[2], pl[2], fr[2], pr[2], coef[2], keep[2];  // keep = 1 - coef, exact
};

// A chunk's per-voice results, one row per frame.
struct alignas(32) TRows {
    float FL[kFrames][W];
    float FR[kFrames][W];
    float GL[kFrames][W];
    float GR[kFrames][W];
};

// The same turned voice-major: one row of kFrames frames per voice.
struct alignas(32) TCols {
    float FL[W][kFrames];
    float FR[W][kFrames];
    float GL[W][kFrames];
    float GR[W][kFrames];
};

NORV_AVX2_INLINE __m256d Lo(__m256 v) { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
NORV_AVX2_INLINE __m256d Hi(__m256 v) { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }
NORV_AVX2_INLINE __m256 Join(__m128 lo, __m128 hi) { return _mm256_insertf128_ps(_mm256_castps128_ps256(lo), hi, 1); }
// A double rounded to float precision, kept as a double (Veltkamp's split:
// cheaper here than converting there and back). An exact tie may go either
// way; the sums here practically never land on one.
NORV_AVX2_INLINE __m256d Round(__m256d v) {
    const __m256d t = _mm256_mul_pd(v, _mm256_set1_pd(536870913.0));  // 2^29 + 1
    return _mm256_sub_pd(t, _mm256_sub_pd(t, v));
}

// The same in a few integer steps, with a shorter latency (to nearest, ties
// to even; denormal floats do not arise with them flushed, and a state that
// small makes no difference).
NORV_AVX2_INLINE __m256d RoundQuick(__m256d v) {
    const __m256i b = _mm256_castpd_si256(v);
    const __m256i odd = _mm256_and_si256(_mm256_srli_epi64(b, 29), _mm256_set1_epi64x(1));
    const __m256i up = _mm256_add_epi64(_mm256_add_epi64(b, _mm256_set1_epi64x(0x0FFFFFFF)), odd);
    return _mm256_castsi256_pd(_mm256_and_si256(up, _mm256_set1_epi64x(~int64_t{0x1FFFFFFF})));
}
NORV_AVX2_INLINE __m256d Pair(const float* p) { return _mm256_cvtps_pd(_mm_load_ps(p)); }

NORV_AVX2_INLINE __m256i Ints(const void* p) { return _mm256_load_si256(static_cast<const __m256i*>(p)); }

NORV_AVX2_INLINE void Load(TRegs& r, const TLaneState& s) {
    r.pos = Ints(s.Pos);
    r.frac = Ints(s.Frac);
    r.step = Ints(s.Step);
    r.loopEnd = Ints(s.LoopEnd);
    r.loopEndBiased = _mm256_xor_si256(r.loopEnd, _mm256_set1_epi32(INT32_MIN));
    r.loopLength = Ints(s.LoopLength);
    r.level = _mm256_load_ps(s.Level);
    r.decay = _mm256_load_ps(s.Decay);
    r.gainL = _mm256_load_ps(s.GainL);
    r.gainR = _mm256_load_ps(s.GainR);
    r.incL = _mm256_load_ps(s.IncL);
    r.incR = _mm256_load_ps(s.IncR);
#pragma GCC unroll 2
    for (int h = 0; h < 2; ++h) {
        r.fl[h] = Pair(s.FilterL + 4 * h);
        r.pl[h] = Pair(s.PrevL + 4 * h);
        r.fr[h] = Pair(s.FilterR + 4 * h);
        r.pr[h] = Pair(s.PrevR + 4 * h);
        r.coef[h] = Pair(s.Coef + 4 * h);
        r.keep[h] = _mm256_sub_pd(_mm256_set1_pd(1.0), r.coef[h]);
    }
}

NORV_AVX2_INLINE void Save(const TRegs& r, TLaneState& s) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.Pos), r.pos);
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.Frac), r.frac);
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.Step), r.step);
    _mm256_store_ps(s.Level, r.level);
    _mm256_store_ps(s.GainL, r.gainL);
    _mm256_store_ps(s.GainR, r.gainR);
#pragma GCC unroll 2
    for (int h = 0; h < 2; ++h) {
        _mm_store_ps(s.FilterL + 4 * h, _mm256_cvtpd_ps(r.fl[h]));
        _mm_store_ps(s.PrevL + 4 * h, _mm256_cvtpd_ps(r.pl[h]));
        _mm_store_ps(s.FilterR + 4 * h, _mm256_cvtpd_ps(r.fr[h]));
        _mm_store_ps(s.PrevR + 4 * h, _mm256_cvtpd_ps(r.pr[h]));
    }
}

// One frame on: step, loop wrap, and the lanes that ran off their data stop
// on their last frame, silent. Positions below 0 count as past the end,
// which holds because LoopEnd is never negative.
NORV_AVX2_INLINE void Advance(TRegs& r) {
    r.frac = _mm256_add_epi32(r.frac, r.step);
    r.pos = _mm256_add_epi32(r.pos, _mm256_srli_epi32(r.frac, 16));
    r.frac = _mm256_and_si256(r.frac, _mm256_set1_epi32(0xFFFF));
    const __m256i wrap = _mm256_cmpgt_epi32(r.pos, r.loopEnd);
    r.pos = _mm256_sub_epi32(r.pos, _mm256_and_si256(wrap, r.loopLength));
    const __m256i stop =
        _mm256_cmpgt_epi32(_mm256_xor_si256(r.pos, _mm256_set1_epi32(INT32_MIN)), r.loopEndBiased);
    if (_mm256_testz_si256(stop, stop)) return;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i below = _mm256_cmpgt_epi32(zero, r.pos);
    r.pos = _mm256_blendv_epi8(r.pos, _mm256_blendv_epi8(r.loopEnd, zero, below), stop);
    r.step = _mm256_andnot_si256(stop, r.step);
    r.frac = _mm256_andnot_si256(stop, r.frac);
    r.level = _mm256_andnot_ps(_mm256_castsi256_ps(stop), r.level);
}

// Interpolation weights as 16-bit pairs (128 - f, f), f the top 7 bits of
// the fraction; one multiply-add of a (s0, s1) pair then gives the exact
// integer 128 s0 + f (s1 - s0).
NORV_AVX2_INLINE __m256i Weights(__m256i frac) {
    const __m256i f = _mm256_srli_epi32(frac, 9);
    return _mm256_add_epi32(_mm256_slli_epi32(f, 16), _mm256_sub_epi32(_mm256_set1_epi32(128), f));
}

NORV_AVX2_INLINE __m256 ReadMono(const TRegs& r, const int16_t* data) {
    // One 32-bit read brings s0 and s1 together.
    const __m256i pair = _mm256_i32gather_epi32(reinterpret_cast<const int*>(data), r.pos, 2);
    return _mm256_cvtepi32_ps(_mm256_madd_epi16(pair, Weights(r.frac)));
}

NORV_AVX2_INLINE void ReadStereo(const TRegs& r, const int16_t* data, __m256& xl, __m256& xr) {
    // One 64-bit read brings l0 r0 l1 r1; regroup to (l0, l1) and (r0, r1).
    const auto* base = reinterpret_cast<const long long*>(data);
    __m256i a = _mm256_i32gather_epi64(base, _mm256_castsi256_si128(r.pos), 4);
    __m256i b = _mm256_i32gather_epi64(base, _mm256_extracti128_si256(r.pos, 1), 4);
    const __m256i split = _mm256_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15,
                                           0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15);
    a = _mm256_shuffle_epi8(a, split);
    b = _mm256_shuffle_epi8(b, split);
    const __m256 fa = _mm256_castsi256_ps(a), fb = _mm256_castsi256_ps(b);
    const __m256i l = _mm256_castpd_si256(_mm256_permute4x64_pd(
        _mm256_castps_pd(_mm256_shuffle_ps(fa, fb, _MM_SHUFFLE(2, 0, 2, 0))), _MM_SHUFFLE(3, 1, 2, 0)));
    const __m256i rr = _mm256_castpd_si256(_mm256_permute4x64_pd(
        _mm256_castps_pd(_mm256_shuffle_ps(fa, fb, _MM_SHUFFLE(3, 1, 3, 1))), _MM_SHUFFLE(3, 1, 2, 0)));
    const __m256i w = Weights(r.frac);
    xl = _mm256_cvtepi32_ps(_mm256_madd_epi16(l, w));
    xr = _mm256_cvtepi32_ps(_mm256_madd_epi16(rr, w));
}

// Overdrive of the positive samples, in doubles: float(y - a y y), and where
// that turns negative float(r + 0.5 r r).
NORV_AVX2_INLINE __m256 Drive(__m256 y, __m256d amount) {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 positive = _mm256_cmp_ps(y, zero, _CMP_GT_OQ);
    if (_mm256_testz_ps(positive, positive)) return y;
    const __m256d y0 = Lo(y), y1 = Hi(y);
    __m256 r = Join(_mm256_cvtpd_ps(_mm256_fnmadd_pd(_mm256_mul_pd(amount, y0), y0, y0)),
                    _mm256_cvtpd_ps(_mm256_fnmadd_pd(_mm256_mul_pd(amount, y1), y1, y1)));
    const __m256 negative = _mm256_and_ps(positive, _mm256_cmp_ps(r, zero, _CMP_LT_OQ));
    if (!_mm256_testz_ps(negative, negative)) {
        const __m256d half = _mm256_set1_pd(0.5);
        const __m256d r0 = Lo(r), r1 = Hi(r);
        const __m256 q = Join(_mm256_cvtpd_ps(_mm256_fmadd_pd(_mm256_mul_pd(half, r0), r0, r0)),
                              _mm256_cvtpd_ps(_mm256_fmadd_pd(_mm256_mul_pd(half, r1), r1, r1)));
        r = _mm256_blendv_ps(r, q, negative);
    }
    return _mm256_blendv_ps(y, r, positive);
}

// The muffle filter of one channel; returns the new state as floats. The
// state's own path is one multiply-add and the rounding: F (1 - c) + (y + P) c.
NORV_AVX2_INLINE __m256 Filter(__m256d f[2], __m256d p[2], const __m256d c[2], const __m256d keep[2], __m256 y) {
    const __m256d y0 = Lo(y), y1 = Hi(y);
    f[0] = RoundQuick(_mm256_fmadd_pd(f[0], keep[0], _mm256_mul_pd(_mm256_add_pd(y0, p[0]), c[0])));
    f[1] = RoundQuick(_mm256_fmadd_pd(f[1], keep[1], _mm256_mul_pd(_mm256_add_pd(y1, p[1]), c[1])));
    p[0] = y0;
    p[1] = y1;
    return Join(_mm256_cvtpd_ps(f[0]), _mm256_cvtpd_ps(f[1]));
}

// rows[frame][voice] -> cols[voice][at .. at + 7], 8 x 8.
NORV_AVX2_INLINE void Transpose(const float (*rows)[W], float (*cols)[kFrames], int at) {
    __m256 t[8], u[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; i += 2) {
        const __m256 a = _mm256_load_ps(rows[i]), b = _mm256_load_ps(rows[i + 1]);
        t[i] = _mm256_unpacklo_ps(a, b);
        t[i + 1] = _mm256_unpackhi_ps(a, b);
    }
#pragma GCC unroll 8
    for (int q = 0; q < 8; q += 4) {
        u[q / 4 * 4 + 0] = _mm256_shuffle_ps(t[q], t[q + 2], _MM_SHUFFLE(1, 0, 1, 0));
        u[q / 4 * 4 + 1] = _mm256_shuffle_ps(t[q], t[q + 2], _MM_SHUFFLE(3, 2, 3, 2));
        u[q / 4 * 4 + 2] = _mm256_shuffle_ps(t[q + 1], t[q + 3], _MM_SHUFFLE(1, 0, 1, 0));
        u[q / 4 * 4 + 3] = _mm256_shuffle_ps(t[q + 1], t[q + 3], _MM_SHUFFLE(3, 2, 3, 2));
    }
    // u[i]: voices i and 4 + i, frames 0-3; u[4 + i]: the same, frames 4-7.
#pragma GCC unroll 8
    for (int i = 0; i < 4; ++i) {
        _mm256_store_ps(cols[i] + at, _mm256_permute2f128_ps(u[i], u[4 + i], 0x20));
        _mm256_store_ps(cols[4 + i] + at, _mm256_permute2f128_ps(u[i], u[4 + i], 0x31));
    }
}

struct TMixGains {
    alignas(32) double GainPanL[W];  // GainL x PanGainL, exact in double
    alignas(32) double GainPanR[W];
    alignas(32) double PanL[W];
    alignas(32) double PanR[W];
};

// Adds a chunk of `len` frames into the mix, voice after voice in list order,
// each addition of the exact product rounded once to float.
template <bool Stereo, bool Ramp>
NORV_AVX2_INLINE void MixChunk(const TCols& c, const TMixGains& g, int32_t count, float* mix, int32_t len) {
    constexpr int kRuns = kFrames / 4;
    alignas(32) float tail[2 * kFrames] = {};
    float* at = mix;
    if (len < kFrames) {
        std::memcpy(tail, mix, sizeof(float) * 2 * static_cast<size_t>(len));
        at = tail;
    }
    __m256d l[kRuns], r[kRuns];
#pragma GCC unroll 4
    for (int q = 0; q < kRuns; ++q) {
        // Four frames (l r l r l r l r) to four lefts and four rights.
        const __m256 m = _mm256_loadu_ps(at + 8 * q);
        const __m256 lr = _mm256_permutevar8x32_ps(m, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
        l[q] = Lo(lr);
        r[q] = Hi(lr);
    }
    for (int32_t k = 0; k < count; ++k) {
        __m256d gl = _mm256_set1_pd(g.GainPanL[k]), gr = _mm256_set1_pd(g.GainPanR[k]);
#pragma GCC unroll 4
        for (int q = 0; q < kRuns; ++q) {
            const __m256d fl = Pair(c.FL[k] + 4 * q);
            const __m256d fr = Stereo ? Pair(c.FR[k] + 4 * q) : fl;
            if constexpr (Ramp) {
                gl = _mm256_mul_pd(Pair(c.GL[k] + 4 * q), _mm256_set1_pd(g.PanL[k]));
                gr = _mm256_mul_pd(Pair(c.GR[k] + 4 * q), _mm256_set1_pd(g.PanR[k]));
            }
            l[q] = Round(_mm256_fmadd_pd(gl, fl, l[q]));
            r[q] = Round(_mm256_fmadd_pd(gr, fr, r[q]));
        }
    }
#pragma GCC unroll 4
    for (int q = 0; q < kRuns; ++q) {
        const __m256 lr = Join(_mm256_cvtpd_ps(l[q]), _mm256_cvtpd_ps(r[q]));
        _mm256_storeu_ps(at + 8 * q, _mm256_permutevar8x32_ps(lr, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
    }
    if (at == tail) std::memcpy(mix, tail, sizeof(float) * 2 * static_cast<size_t>(len));
}

template <bool Stereo, bool Driven, bool Ramp>
NORV_AVX2 void Run(TLaneState& s, const TVoiceBlock& b) {
    TRegs r;
    Load(r, s);
    TMixGains g;
    for (int32_t k = 0; k < W; ++k) {
        g.PanL[k] = s.PanL[k];
        g.PanR[k] = s.PanR[k];
        g.GainPanL[k] = static_cast<double>(s.GainL[k]) * s.PanL[k];
        g.GainPanR[k] = static_cast<double>(s.GainR[k]) * s.PanR[k];
    }
    TRows rows = {};
    TCols cols;
    const __m256d amount = _mm256_set1_pd(b.Overdrive);
    for (int32_t j0 = 0; j0 < b.Frames; j0 += kFrames) {
        const int32_t len = b.Frames - j0 < kFrames ? b.Frames - j0 : kFrames;
        for (int32_t i = 0; i < len; ++i) {
            Advance(r);
            __m256 yl, yr;
            if constexpr (Stereo) {
                __m256 xl, xr;
                ReadStereo(r, b.Data, xl, xr);
                yl = _mm256_mul_ps(xl, r.level);
                yr = _mm256_mul_ps(xr, r.level);
            } else {
                yl = yr = _mm256_mul_ps(ReadMono(r, b.Data), r.level);
            }
            r.level = _mm256_mul_ps(r.level, r.decay);
            if constexpr (Driven) {
                yl = Drive(yl, amount);
                if constexpr (Stereo) yr = Drive(yr, amount);
            }
            _mm256_store_ps(rows.FL[i], Filter(r.fl, r.pl, r.coef, r.keep, yl));
            if constexpr (Stereo) _mm256_store_ps(rows.FR[i], Filter(r.fr, r.pr, r.coef, r.keep, yr));
            if constexpr (Ramp) {
                _mm256_store_ps(rows.GL[i], r.gainL);
                _mm256_store_ps(rows.GR[i], r.gainR);
                r.gainL = _mm256_add_ps(r.gainL, r.incL);
                r.gainR = _mm256_add_ps(r.gainR, r.incR);
            }
        }
        for (int at = 0; at < len; at += 8) {
            Transpose(rows.FL + at, cols.FL, at);
            if constexpr (Stereo) Transpose(rows.FR + at, cols.FR, at);
            if constexpr (Ramp) {
                Transpose(rows.GL + at, cols.GL, at);
                Transpose(rows.GR + at, cols.GR, at);
            }
        }
        MixChunk<Stereo, Ramp>(cols, g, s.Count, b.Mix + 2 * j0, len);
    }
    if constexpr (!Ramp) {
        // Increments of zero: one addition gives what n of them give.
        r.gainL = _mm256_add_ps(r.gainL, r.incL);
        r.gainR = _mm256_add_ps(r.gainR, r.incR);
    }
    Save(r, s);
}

NORV_AVX2 void RenderGroup(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block) {
    TLaneState s;
    LoadLanes(s, voices, count, W);
    const bool driven = block.Overdrive != 0.0f;
    using Fn = void (*)(TLaneState&, const TVoiceBlock&);
    // [stereo][driven][ramp]
    static constexpr Fn kRun[2][2][2] = {
        {{&Run<false, false, false>, &Run<false, false, true>}, {&Run<false, true, false>, &Run<false, true, true>}},
        {{&Run<true, false, false>, &Run<true, false, true>}, {&Run<true, true, false>, &Run<true, true, true>}},
    };
    kRun[block.Stereo][driven][s.Ramp](s, block);
    StoreLanes(s, voices, block.Stereo);
}

}  // namespace

TGroupRoutine AVX2Routine() { return &RenderGroup; }

}  // namespace norv::mixfast

#else

namespace norv::mixfast {
TGroupRoutine AVX2Routine() { return nullptr; }
}  // namespace norv::mixfast

#endif
