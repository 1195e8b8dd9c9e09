// First: it fixes the floating-point contract for this file.
#include "engine/MixFastLanes.h"

#if defined(__x86_64__)

#define NORV_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma")))
// The small steps below must melt into the loops that use them.
#define NORV_AVX512_INLINE NORV_AVX512 __attribute__((always_inline)) inline

namespace norv::mixfast {
namespace {

// Sixteen voices per group, one per lane. A block goes in chunks of 32
// frames, each in runs of 8:
//  - sample values for a run: a voice that stays inside its data for the run
//    (no loop wrap, no end) reads one window of 32 frames with a plain load
//    and picks its frames out of it, in closed form from its step; the few
//    others go frame by frame in scalar code; when many do, the whole group
//    goes frame by frame with gathers (a gather costs several windows);
//  - level, overdrive and muffle filter, frame by frame, all voices at once
//    (filter states as doubles, rounded to float every frame);
//  - the chunk's filter outputs turned voice-major and added into the mix
//    voice after voice, eight frames a register, each sum rounded to float.
constexpr int32_t W = kAVX512Lanes;
constexpr int32_t kRun = 8;
constexpr int32_t kFrames = 32;

// The largest step for window reads: a run's 8 frames and the frame after
// the last stay within the window of 32 frames.
constexpr uint32_t kWindowStep = 245760;  // 3.75 frames

struct TRegs {
    __m512i pos, frac, step, loopEnd, loopLength;
    __m512 level, decay, gainL, gainR, incL, incR;
    __m512d fl[2], pl[2], fr[2], pr[2], coef[2], keep[2];  // keep = 1 - coef, exact
};

// Sample values of a run, frame-major: x[channel][frame][voice], and the
// voices that ran off their data at each frame (their level drops to 0
// there).
struct alignas(64) TRunValues {
    float X[2][kRun][W];
    __mmask16 Stopped[kRun];
};

// Filter outputs and gains of a chunk, frame-major.
struct alignas(64) TRows {
    float FL[kFrames][W];
    float FR[kFrames][W];
    float GL[kFrames][W];
    float GR[kFrames][W];
};

// The same voice-major: one row of kFrames frames per voice.
struct alignas(64) TCols {
    float FL[W][kFrames];
    float FR[W][kFrames];
    float GL[W][kFrames];
    float GR[W][kFrames];
};

// Per block: for each window (two voices of 8 frames, or one stereo voice),
// which lanes' fractions it takes and their steps times 1 .. 8.
struct alignas(64) TWindowPlan {
    __m512i Lanes[W];
    __m512i StepTimes[W];
};

NORV_AVX512_INLINE __m512d Lo(__m512 v) { return _mm512_cvtps_pd(_mm512_castps512_ps256(v)); }
NORV_AVX512_INLINE __m512d Hi(__m512 v) { return _mm512_cvtps_pd(_mm512_extractf32x8_ps(v, 1)); }
NORV_AVX512_INLINE __m512 Join(__m256 lo, __m256 hi) { return _mm512_insertf32x8(_mm512_castps256_ps512(lo), hi, 1); }
// A double rounded to float precision, kept as a double (Veltkamp's split:
// cheaper here than converting there and back). An exact tie may go either
// way; the sums here practically never land on one.
NORV_AVX512_INLINE __m512d Round(__m512d v) {
    const __m512d t = _mm512_mul_pd(v, _mm512_set1_pd(536870913.0));  // 2^29 + 1
    return _mm512_sub_pd(t, _mm512_sub_pd(t, v));
}
NORV_AVX512_INLINE __m512d Eight(const float* p) { return _mm512_cvtps_pd(_mm256_load_ps(p)); }
NORV_AVX512_INLINE __m512i Set(int32_t v) { return _mm512_set1_epi32(v); }

NORV_AVX512_INLINE void Load(TRegs& r, const TLaneState& s) {
    r.pos = _mm512_load_si512(s.Pos);
    r.frac = _mm512_load_si512(s.Frac);
    r.step = _mm512_load_si512(s.Step);
    r.loopEnd = _mm512_load_si512(s.LoopEnd);
    r.loopLength = _mm512_load_si512(s.LoopLength);
    r.level = _mm512_load_ps(s.Level);
    r.decay = _mm512_load_ps(s.Decay);
    r.gainL = _mm512_load_ps(s.GainL);
    r.gainR = _mm512_load_ps(s.GainR);
    r.incL = _mm512_load_ps(s.IncL);
    r.incR = _mm512_load_ps(s.IncR);
#pragma GCC unroll 16
    for (int h = 0; h < 2; ++h) {
        r.fl[h] = Eight(s.FilterL + 8 * h);
        r.pl[h] = Eight(s.PrevL + 8 * h);
        r.fr[h] = Eight(s.FilterR + 8 * h);
        r.pr[h] = Eight(s.PrevR + 8 * h);
        r.coef[h] = Eight(s.Coef + 8 * h);
        r.keep[h] = _mm512_sub_pd(_mm512_set1_pd(1.0), r.coef[h]);
    }
}

NORV_AVX512_INLINE void Save(const TRegs& r, TLaneState& s) {
    _mm512_store_si512(s.Pos, r.pos);
    _mm512_store_si512(s.Frac, r.frac);
    _mm512_store_si512(s.Step, r.step);
    _mm512_store_ps(s.Level, r.level);
    _mm512_store_ps(s.GainL, r.gainL);
    _mm512_store_ps(s.GainR, r.gainR);
#pragma GCC unroll 16
    for (int h = 0; h < 2; ++h) {
        _mm256_store_ps(s.FilterL + 8 * h, _mm512_cvtpd_ps(r.fl[h]));
        _mm256_store_ps(s.PrevL + 8 * h, _mm512_cvtpd_ps(r.pl[h]));
        _mm256_store_ps(s.FilterR + 8 * h, _mm512_cvtpd_ps(r.fr[h]));
        _mm256_store_ps(s.PrevR + 8 * h, _mm512_cvtpd_ps(r.pr[h]));
    }
}

// ---- Sample values, frame by frame ----

// One frame on: step, loop wrap, and the lanes that ran off their data stop
// on their last frame; returns those lanes, whose level the caller zeroes.
// Positions below 0 count as past the end, which holds because LoopEnd is
// never negative.
NORV_AVX512_INLINE __mmask16 Advance(TRegs& r) {
    r.frac = _mm512_add_epi32(r.frac, r.step);
    r.pos = _mm512_add_epi32(r.pos, _mm512_srli_epi32(r.frac, 16));
    r.frac = _mm512_and_si512(r.frac, Set(0xFFFF));
    const __mmask16 wrap = _mm512_cmpgt_epi32_mask(r.pos, r.loopEnd);
    r.pos = _mm512_mask_sub_epi32(r.pos, wrap, r.pos, r.loopLength);
    const __mmask16 stop = _mm512_cmpgt_epu32_mask(r.pos, r.loopEnd);
    if (stop == 0) return stop;
    const __m512i zero = _mm512_setzero_si512();
    const __mmask16 below = _mm512_mask_cmplt_epi32_mask(stop, r.pos, zero);
    r.pos = _mm512_mask_mov_epi32(r.pos, stop, r.loopEnd);
    r.pos = _mm512_mask_mov_epi32(r.pos, below, zero);
    r.step = _mm512_mask_mov_epi32(r.step, stop, zero);
    r.frac = _mm512_mask_mov_epi32(r.frac, stop, zero);
    return stop;
}

// Interpolation weights as 16-bit pairs (128 - f, f), f the top 7 bits of
// the fraction; one multiply-add of a (s0, s1) pair then gives the exact
// integer 128 s0 + f (s1 - s0).
NORV_AVX512_INLINE __m512i Weights(__m512i frac) {
    const __m512i f = _mm512_and_si512(_mm512_srli_epi32(frac, 9), Set(127));
    return _mm512_add_epi32(_mm512_slli_epi32(f, 16), _mm512_sub_epi32(Set(128), f));
}

template <bool Stereo>
NORV_AVX512_INLINE void ReadFrame(const TRegs& r, const int16_t* data, TRunValues& v, int i) {
    const __m512i w = Weights(r.frac);
    if constexpr (!Stereo) {
        // One 32-bit read brings s0 and s1 together.
        const __m512i pair = _mm512_i32gather_epi32(r.pos, data, 2);
        _mm512_store_ps(v.X[0][i], _mm512_cvtepi32_ps(_mm512_madd_epi16(pair, w)));
    } else {
        // One 64-bit read brings l0 r0 l1 r1; regroup to (l0, l1) and (r0, r1).
        __m512i a = _mm512_i32gather_epi64(_mm512_castsi512_si256(r.pos), data, 4);
        __m512i b = _mm512_i32gather_epi64(_mm512_extracti64x4_epi64(r.pos, 1), data, 4);
        const __m512i split =
            _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15));
        a = _mm512_shuffle_epi8(a, split);
        b = _mm512_shuffle_epi8(b, split);
        const __m512i even = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30);
        const __m512i odd = _mm512_add_epi32(even, Set(1));
        _mm512_store_ps(v.X[0][i], _mm512_cvtepi32_ps(_mm512_madd_epi16(_mm512_permutex2var_epi32(a, even, b), w)));
        _mm512_store_ps(v.X[1][i], _mm512_cvtepi32_ps(_mm512_madd_epi16(_mm512_permutex2var_epi32(a, odd, b), w)));
    }
}

// ---- Turning 8 frames x 16 voices ----

// In-lane 4 x 4 transposes: lane q of out[i] takes element i of lane q of
// in[0..3] (and out[4 + i] of in[4..7]).
NORV_AVX512_INLINE void Transpose4(const __m512 in[8], __m512 out[8]) {
    __m512 t[8];
#pragma GCC unroll 16
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm512_unpacklo_ps(in[i], in[i + 1]);
        t[i + 1] = _mm512_unpackhi_ps(in[i], in[i + 1]);
    }
#pragma GCC unroll 16
    for (int q = 0; q < 8; q += 4) {
        out[q + 0] = _mm512_shuffle_ps(t[q], t[q + 2], _MM_SHUFFLE(1, 0, 1, 0));
        out[q + 1] = _mm512_shuffle_ps(t[q], t[q + 2], _MM_SHUFFLE(3, 2, 3, 2));
        out[q + 2] = _mm512_shuffle_ps(t[q + 1], t[q + 3], _MM_SHUFFLE(1, 0, 1, 0));
        out[q + 3] = _mm512_shuffle_ps(t[q + 1], t[q + 3], _MM_SHUFFLE(3, 2, 3, 2));
    }
}

// rows[frame][voice] -> cols[voice][at .. at + 7].
NORV_AVX512_INLINE void RowsToCols(const float (*rows)[W], float (*cols)[kFrames], int at) {
    __m512 in[8], u[8];
#pragma GCC unroll 16
    for (int i = 0; i < 8; ++i) in[i] = _mm512_load_ps(rows[i]);
    Transpose4(in, u);
    // Lane q of u[i] holds voice 4q + i, frames 0-3; of u[4 + i] frames 4-7.
    const __m512i first = _mm512_setr_epi32(0, 1, 2, 3, 16, 17, 18, 19, 4, 5, 6, 7, 20, 21, 22, 23);
    const __m512i second = _mm512_add_epi32(first, Set(8));
#pragma GCC unroll 16
    for (int i = 0; i < 4; ++i) {
        const __m512 a = _mm512_permutex2var_ps(u[i], first, u[4 + i]);   // voices i, 4 + i
        const __m512 b = _mm512_permutex2var_ps(u[i], second, u[4 + i]);  // voices 8 + i, 12 + i
        _mm256_store_ps(cols[i] + at, _mm512_castps512_ps256(a));
        _mm256_store_ps(cols[4 + i] + at, _mm512_extractf32x8_ps(a, 1));
        _mm256_store_ps(cols[8 + i] + at, _mm512_castps512_ps256(b));
        _mm256_store_ps(cols[12 + i] + at, _mm512_extractf32x8_ps(b, 1));
    }
}

// cols[voice][frame] (8 frames a voice) -> rows[frame][voice].
NORV_AVX512_INLINE void ColsToRows(const float (*cols)[kRun], float (*rows)[W]) {
    // z[p] holds voices 2p and 2p + 1: 128-bit lanes (2p 0-3, 2p 4-7,
    // 2p+1 0-3, 2p+1 4-7).
    __m512 z[8], u[8], out[8];
#pragma GCC unroll 16
    for (int p = 0; p < 8; ++p) z[p] = _mm512_load_ps(cols[2 * p]);
#pragma GCC unroll 16
    for (int i = 0; i < 4; ++i) {
        // Voices i, 4 + i, 8 + i, 12 + i: a lane pair of z[i/2], z[i/2 + 2],
        // z[i/2 + 4] and z[i/2 + 6], the first pair for even i.
        __m512 a, b;
        if ((i & 1) == 0) {
            a = _mm512_shuffle_f32x4(z[i / 2], z[i / 2 + 2], _MM_SHUFFLE(1, 0, 1, 0));
            b = _mm512_shuffle_f32x4(z[i / 2 + 4], z[i / 2 + 6], _MM_SHUFFLE(1, 0, 1, 0));
        } else {
            a = _mm512_shuffle_f32x4(z[i / 2], z[i / 2 + 2], _MM_SHUFFLE(3, 2, 3, 2));
            b = _mm512_shuffle_f32x4(z[i / 2 + 4], z[i / 2 + 6], _MM_SHUFFLE(3, 2, 3, 2));
        }
        // a: (i 0-3, i 4-7, 4+i 0-3, 4+i 4-7); b the same for 8 + i, 12 + i.
        u[i] = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(2, 0, 2, 0));
        u[4 + i] = _mm512_shuffle_f32x4(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    Transpose4(u, out);
#pragma GCC unroll 16
    for (int t = 0; t < 8; ++t) _mm512_store_ps(rows[t], out[t]);
}

// ---- Sample values, a run at a time from windows ----

NORV_AVX512_INLINE void PlanWindows(const TRegs& r, bool stereo, TWindowPlan& plan) {
    const __m512i times = _mm512_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8, 1, 2, 3, 4, 5, 6, 7, 8);
#pragma GCC unroll 16
    for (int k = 0; k < W; ++k) {
        // Mono: window k serves voices k and k + 1 (k even); stereo: windows
        // k serve voice k, left and right.
        plan.Lanes[k] = stereo ? Set(k)
                               : _mm512_setr_epi32(k, k, k, k, k, k, k, k, k + 1, k + 1, k + 1, k + 1, k + 1,
                                                   k + 1, k + 1, k + 1);
        plan.StepTimes[k] = _mm512_mullo_epi32(_mm512_permutexvar_epi32(plan.Lanes[k], r.step), times);
    }
}

// 32 values from value `first` on, none past the spare frame after LoopEnd
// (`last` values in all).
NORV_AVX512_INLINE __m512i Window(const int16_t* data, int64_t first, int64_t last) {
    const int64_t n = last - first;
    const __mmask32 mask = n >= 32 ? ~__mmask32{0} : (n <= 0 ? 0 : static_cast<__mmask32>((1u << n) - 1u));
    return _mm512_maskz_loadu_epi16(mask, data + first);
}

// One voice frame by frame, as the reference steps it: for the few voices of
// a run that leave their window (loop wrap, end of data, a long step).
template <bool Stereo>
NORV_AVX512_INLINE void LaneFrames(int k, int32_t m, const int16_t* data, int32_t* pos, uint32_t* frac, int32_t* step,
                                   const TLaneState& s, TRunValues& v) {
    constexpr int channels = Stereo ? 2 : 1;
    int32_t p = pos[k];
    uint32_t f = frac[k];
    int32_t st = step[k];
    for (int32_t i = 0; i < m; ++i) {
        f += static_cast<uint32_t>(st);
        p = static_cast<int32_t>(static_cast<uint32_t>(p) + (f >> 16));
        f &= 0xFFFF;
        if (p > s.LoopEnd[k]) p = static_cast<int32_t>(static_cast<uint32_t>(p) - static_cast<uint32_t>(s.LoopLength[k]));
        if (static_cast<uint32_t>(p) > static_cast<uint32_t>(s.LoopEnd[k])) {
            p = p < 0 ? 0 : s.LoopEnd[k];
            st = 0;
            f = 0;
            v.Stopped[i] = static_cast<__mmask16>(v.Stopped[i] | (1u << k));
        }
        const int32_t w = static_cast<int32_t>(f >> 9);
        const int16_t* at = data + static_cast<int64_t>(p) * channels;
        v.X[0][i][k] = static_cast<float>((128 - w) * at[0] + w * at[channels]);
        if constexpr (Stereo) v.X[1][i][k] = static_cast<float>((128 - w) * at[1] + w * at[channels + 1]);
    }
    pos[k] = p;
    frac[k] = f;
    step[k] = st;
}

// The voices that one run's windows cannot serve; beyond this many the run
// goes frame by frame with gathers.
constexpr int kMaxLaneFrames = 5;

// The sample values of the next `m` frames: from windows for every voice that
// stays inside its data (no loop wrap, no end) with a step the window covers,
// frame by frame for the others. False, with nothing changed, when too many
// voices need the frame-by-frame way.
template <bool Stereo>
NORV_AVX512_INLINE bool ReadRun(TRegs& r, const TLaneState& s, TWindowPlan& plan, const int16_t* data,
                                int32_t m, uint32_t windowStep, TRunValues& v, bool& stopped) {
    const __m512i fracEnd = _mm512_add_epi32(r.frac, _mm512_mullo_epi32(r.step, Set(m)));
    const __m512i posEnd = _mm512_add_epi32(r.pos, _mm512_srli_epi32(fracEnd, 16));
    const __mmask16 apart = _mm512_cmpgt_epi32_mask(posEnd, r.loopEnd) |
                            _mm512_cmpgt_epu32_mask(r.step, Set(static_cast<int32_t>(windowStep)));
    if (__builtin_popcount(apart) > kMaxLaneFrames) return false;

    alignas(64) int32_t pos[W];
    _mm512_store_si512(pos, r.pos);
    alignas(64) float cols[2][W][kRun];
    constexpr int channels = Stereo ? 2 : 1;
    if constexpr (!Stereo) {
        // Pairs (s0, s1) from two windows: word indices o and o + 1, the
        // second voice's 32 higher.
        const __m512i base = _mm512_setr_epi32(0x10000, 0x10000, 0x10000, 0x10000, 0x10000, 0x10000, 0x10000,
                                               0x10000, 0x210020, 0x210020, 0x210020, 0x210020, 0x210020,
                                               0x210020, 0x210020, 0x210020);
#pragma GCC unroll 8
        for (int k = 0; k < W; k += 2) {
            const __m512i w0 = Window(data, pos[k], static_cast<int64_t>(s.LoopEnd[k]) + 2);
            const __m512i w1 = Window(data, pos[k + 1], static_cast<int64_t>(s.LoopEnd[k + 1]) + 2);
            const __m512i frac = _mm512_add_epi32(_mm512_permutexvar_epi32(plan.Lanes[k], r.frac), plan.StepTimes[k]);
            const __m512i at = _mm512_srli_epi32(frac, 16);
            const __m512i idx = _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(at, 16), at), base);
            const __m512i pair = _mm512_permutex2var_epi16(w0, idx, w1);
            _mm512_store_ps(cols[0][k], _mm512_cvtepi32_ps(_mm512_madd_epi16(pair, Weights(frac))));
        }
        ColsToRows(cols[0], v.X[0]);
    } else {
        // 32 stereo frames in two windows. Left pairs at word indices 2o and
        // 2o + 2, right ones at 2o + 1 and 2o + 3: the left 8 frames in the
        // low half, the right in the high.
        const __m512i base = _mm512_setr_epi32(0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x20000, 0x20000,
                                               0x20000, 0x30001, 0x30001, 0x30001, 0x30001, 0x30001, 0x30001,
                                               0x30001, 0x30001);
#pragma GCC unroll 16
        for (int k = 0; k < W; ++k) {
            const int64_t first = static_cast<int64_t>(pos[k]) * channels;
            const int64_t last = (static_cast<int64_t>(s.LoopEnd[k]) + 2) * channels;
            const __m512i w0 = Window(data, first, last);
            const __m512i w1 = Window(data, first + 32, last);
            const __m512i fk = _mm512_add_epi32(_mm512_permutexvar_epi32(plan.Lanes[k], r.frac), plan.StepTimes[k]);
            const __m512i at = _mm512_srli_epi32(fk, 16);
            const __m512i twice = _mm512_add_epi32(at, at);
            const __m512i idx = _mm512_add_epi32(_mm512_add_epi32(_mm512_slli_epi32(twice, 16), twice), base);
            const __m512 x =
                _mm512_cvtepi32_ps(_mm512_madd_epi16(_mm512_permutex2var_epi16(w0, idx, w1), Weights(fk)));
            _mm256_store_ps(cols[0][k], _mm512_castps512_ps256(x));
            _mm256_store_ps(cols[1][k], _mm512_extractf32x8_ps(x, 1));
        }
        ColsToRows(cols[0], v.X[0]);
        ColsToRows(cols[1], v.X[1]);
    }
    if (apart != 0) {
        alignas(64) uint32_t frac[W];
        alignas(64) int32_t step[W];
        _mm512_store_si512(frac, r.frac);
        _mm512_store_si512(step, r.step);
        for (int32_t i = 0; i < m; ++i) v.Stopped[i] = 0;
        for (unsigned rest = apart; rest != 0; rest &= rest - 1)
            LaneFrames<Stereo>(__builtin_ctz(rest), m, data, pos, frac, step, s, v);
        r.pos = _mm512_mask_load_epi32(posEnd, apart, pos);
        r.frac = _mm512_mask_load_epi32(_mm512_and_si512(fracEnd, Set(0xFFFF)), apart, frac);
        const __m512i newStep = _mm512_load_si512(step);
        if (_mm512_cmpneq_epi32_mask(newStep, r.step) != 0) {
            // A voice stopped: its step is 0 from now on.
            r.step = newStep;
            PlanWindows(r, Stereo, plan);
        }
        stopped = true;
    } else {
        r.pos = posEnd;
        r.frac = _mm512_and_si512(fracEnd, Set(0xFFFF));
    }
    return true;
}

// ---- Level, overdrive, filter ----

// Overdrive of the positive samples, in doubles: float(y - a y y), and where
// that turns negative float(r + 0.5 r r).
NORV_AVX512_INLINE __m512 Drive(__m512 y, __m512d amount) {
    const __m512 zero = _mm512_setzero_ps();
    const __mmask16 positive = _mm512_cmp_ps_mask(y, zero, _CMP_GT_OQ);
    if (positive == 0) return y;
    const __m512d y0 = Lo(y), y1 = Hi(y);
    __m512 r = Join(_mm512_cvtpd_ps(_mm512_fnmadd_pd(_mm512_mul_pd(amount, y0), y0, y0)),
                    _mm512_cvtpd_ps(_mm512_fnmadd_pd(_mm512_mul_pd(amount, y1), y1, y1)));
    const __mmask16 negative = _mm512_mask_cmp_ps_mask(positive, r, zero, _CMP_LT_OQ);
    if (negative != 0) {
        const __m512d half = _mm512_set1_pd(0.5);
        const __m512d r0 = Lo(r), r1 = Hi(r);
        const __m512 q = Join(_mm512_cvtpd_ps(_mm512_fmadd_pd(_mm512_mul_pd(half, r0), r0, r0)),
                              _mm512_cvtpd_ps(_mm512_fmadd_pd(_mm512_mul_pd(half, r1), r1, r1)));
        r = _mm512_mask_mov_ps(r, negative, q);
    }
    return _mm512_mask_mov_ps(y, positive, r);
}

// A double rounded to float precision (to nearest, ties to even) in a few
// integer steps, short of the conversions' latency. Denormal floats do not
// arise: the render runs with them flushed, and the state keeps a value of
// that size as it is (below 1e-38, it makes no difference).
NORV_AVX512_INLINE __m512d RoundQuick(__m512d v) {
    const __m512i b = _mm512_castpd_si512(v);
    const __m512i odd = _mm512_and_si512(_mm512_srli_epi64(b, 29), _mm512_set1_epi64(1));
    const __m512i up = _mm512_add_epi64(_mm512_add_epi64(b, _mm512_set1_epi64(0x0FFFFFFF)), odd);
    return _mm512_castsi512_pd(_mm512_and_si512(up, _mm512_set1_epi64(~int64_t{0x1FFFFFFF})));
}

// The muffle filter of one channel; returns the new state as floats. The
// state's own path is one multiply-add and the rounding: F (1 - c) + (y + P) c.
NORV_AVX512_INLINE __m512 Filter(__m512d f[2], __m512d p[2], const __m512d c[2], const __m512d keep[2], __m512 y) {
    const __m512d y0 = Lo(y), y1 = Hi(y);
    f[0] = RoundQuick(_mm512_fmadd_pd(f[0], keep[0], _mm512_mul_pd(_mm512_add_pd(y0, p[0]), c[0])));
    f[1] = RoundQuick(_mm512_fmadd_pd(f[1], keep[1], _mm512_mul_pd(_mm512_add_pd(y1, p[1]), c[1])));
    p[0] = y0;
    p[1] = y1;
    return Join(_mm512_cvtpd_ps(f[0]), _mm512_cvtpd_ps(f[1]));
}

// ---- The mix ----

struct TMixGains {
    alignas(64) double GainPanL[W];  // GainL x PanGainL, exact in double
    alignas(64) double GainPanR[W];
    alignas(64) double PanL[W];
    alignas(64) double PanR[W];
};

// Adds a chunk of `len` frames into the mix, voice after voice in list order,
// each addition of the exact product rounded once to float.
template <bool Stereo, bool Ramp>
NORV_AVX512_INLINE void MixChunk(const TCols& c, const TMixGains& g, int32_t count, float* mix, int32_t len) {
    constexpr int kRuns = kFrames / 8;
    const __m512i split = _mm512_setr_epi32(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    __mmask16 frames[kRuns];
    __m512d l[kRuns], r[kRuns];
#pragma GCC unroll 4
    for (int q = 0; q < kRuns; ++q) {
        const int32_t n = len - 8 * q < 0 ? 0 : (len - 8 * q > 8 ? 8 : len - 8 * q);
        frames[q] = static_cast<__mmask16>((1u << (2 * n)) - 1u);
        const __m512 lr = _mm512_permutexvar_ps(split, _mm512_maskz_loadu_ps(frames[q], mix + 16 * q));
        l[q] = Lo(lr);
        r[q] = Hi(lr);
    }
    for (int32_t k = 0; k < count; ++k) {
        __m512d gl = _mm512_set1_pd(g.GainPanL[k]), gr = _mm512_set1_pd(g.GainPanR[k]);
#pragma GCC unroll 4
        for (int q = 0; q < kRuns; ++q) {
            const __m512d fl = Eight(c.FL[k] + 8 * q);
            const __m512d fr = Stereo ? Eight(c.FR[k] + 8 * q) : fl;
            if constexpr (Ramp) {
                gl = _mm512_mul_pd(Eight(c.GL[k] + 8 * q), _mm512_set1_pd(g.PanL[k]));
                gr = _mm512_mul_pd(Eight(c.GR[k] + 8 * q), _mm512_set1_pd(g.PanR[k]));
            }
            l[q] = Round(_mm512_fmadd_pd(gl, fl, l[q]));
            r[q] = Round(_mm512_fmadd_pd(gr, fr, r[q]));
        }
    }
    const __m512i join = _mm512_setr_epi32(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
#pragma GCC unroll 4
    for (int q = 0; q < kRuns; ++q)
        _mm512_mask_storeu_ps(mix + 16 * q, frames[q],
                              _mm512_permutexvar_ps(join, Join(_mm512_cvtpd_ps(l[q]), _mm512_cvtpd_ps(r[q]))));
}

// ---- A group for the whole block ----

template <bool Stereo, bool Driven, bool Ramp>
NORV_AVX512 void Run(TLaneState& s, const TVoiceBlock& b) {
    constexpr int channels = Stereo ? 2 : 1;
    TRegs r;
    Load(r, s);
    TMixGains g;
    for (int32_t k = 0; k < W; ++k) {
        g.PanL[k] = s.PanL[k];
        g.PanR[k] = s.PanR[k];
        g.GainPanL[k] = static_cast<double>(s.GainL[k]) * s.PanL[k];
        g.GainPanR[k] = static_cast<double>(s.GainR[k]) * s.PanR[k];
    }
    TWindowPlan plan;
    PlanWindows(r, Stereo, plan);

    TRows rows;
    TCols cols;
    TRunValues values;
    const __m512d amount = _mm512_set1_pd(b.Overdrive);
    for (int32_t j0 = 0; j0 < b.Frames; j0 += kFrames) {
        const int32_t len = b.Frames - j0 < kFrames ? b.Frames - j0 : kFrames;
        {
            // The frames the next chunk reads, in cache by the time it does.
            alignas(64) int32_t pos[W];
            _mm512_store_si512(pos, r.pos);
            for (int k = 0; k < W; ++k)
                _mm_prefetch(reinterpret_cast<const char*>(b.Data + (static_cast<int64_t>(pos[k]) + 96) * channels),
                             _MM_HINT_T0);
        }
        for (int32_t j1 = 0; j1 < len; j1 += kRun) {
            const int32_t m = len - j1 < kRun ? len - j1 : kRun;
            bool stopped = false;
            if (!ReadRun<Stereo>(r, s, plan, b.Data, m, kWindowStep, values, stopped)) {
                for (int32_t i = 0; i < m; ++i) {
                    values.Stopped[i] = Advance(r);
                    stopped = stopped || values.Stopped[i] != 0;
                    ReadFrame<Stereo>(r, b.Data, values, i);
                }
                // Steps fall to 0 at the end of the data only: the windows'
                // step multiples stay right for every other voice.
                if (stopped) PlanWindows(r, Stereo, plan);
            }
            for (int32_t i = 0; i < m; ++i) {
                if (stopped && values.Stopped[i] != 0)
                    r.level = _mm512_mask_mov_ps(r.level, values.Stopped[i], _mm512_setzero_ps());
                __m512 yl = _mm512_mul_ps(_mm512_load_ps(values.X[0][i]), r.level);
                __m512 yr = Stereo ? _mm512_mul_ps(_mm512_load_ps(values.X[1][i]), r.level) : yl;
                r.level = _mm512_mul_ps(r.level, r.decay);
                if constexpr (Driven) {
                    yl = Drive(yl, amount);
                    if constexpr (Stereo) yr = Drive(yr, amount);
                }
                _mm512_store_ps(rows.FL[j1 + i], Filter(r.fl, r.pl, r.coef, r.keep, yl));
                if constexpr (Stereo) _mm512_store_ps(rows.FR[j1 + i], Filter(r.fr, r.pr, r.coef, r.keep, yr));
                if constexpr (Ramp) {
                    _mm512_store_ps(rows.GL[j1 + i], r.gainL);
                    _mm512_store_ps(rows.GR[j1 + i], r.gainR);
                    r.gainL = _mm512_add_ps(r.gainL, r.incL);
                    r.gainR = _mm512_add_ps(r.gainR, r.incR);
                }
            }
            // The rest of a short last run goes through the turn unused.
            for (int32_t i = m; i < kRun; ++i) {
                const __m512 zero = _mm512_setzero_ps();
                _mm512_store_ps(rows.FL[j1 + i], zero);
                _mm512_store_ps(rows.FR[j1 + i], zero);
                _mm512_store_ps(rows.GL[j1 + i], zero);
                _mm512_store_ps(rows.GR[j1 + i], zero);
            }
        }
        for (int at = 0; at < len; at += 8) {
            RowsToCols(rows.FL + at, cols.FL, at);
            if constexpr (Stereo) RowsToCols(rows.FR + at, cols.FR, at);
            if constexpr (Ramp) {
                RowsToCols(rows.GL + at, cols.GL, at);
                RowsToCols(rows.GR + at, cols.GR, at);
            }
        }
        MixChunk<Stereo, Ramp>(cols, g, s.Count, b.Mix + 2 * j0, len);
    }
    if constexpr (!Ramp) {
        // Increments of zero: one addition gives what n of them give.
        r.gainL = _mm512_add_ps(r.gainL, r.incL);
        r.gainR = _mm512_add_ps(r.gainR, r.incR);
    }
    Save(r, s);
}

NORV_AVX512 void RenderGroup(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block) {
    TLaneState s;
    LoadLanes(s, voices, count, W);
    const bool driven = block.Overdrive != 0.0f;
    using Fn = void (*)(TLaneState&, const TVoiceBlock&);
    // [stereo][driven][ramp]
    static constexpr Fn kRunFor[2][2][2] = {
        {{&Run<false, false, false>, &Run<false, false, true>}, {&Run<false, true, false>, &Run<false, true, true>}},
        {{&Run<true, false, false>, &Run<true, false, true>}, {&Run<true, true, false>, &Run<true, true, true>}},
    };
    kRunFor[block.Stereo][driven][s.Ramp](s, block);
    StoreLanes(s, voices, block.Stereo);
}

}  // namespace

TGroupRoutine AVX512Routine() { return &RenderGroup; }

}  // namespace norv::mixfast

#else

namespace norv::mixfast {
TGroupRoutine AVX512Routine() { return nullptr; }
}  // namespace norv::mixfast

#endif
