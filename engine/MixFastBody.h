// The production voice renderer, written once over vectors of W lanes and
// built per CPU. Include it inside an anonymous namespace, after <bit>,
// <cmath>, <cstdint>, <cstring> and <utility>, with NORV_VOICE_TARGET defined
// as the including file's target attribute (empty for none), base/Lanes.h
// included for that target and TLanes declared:
//
//   W                 frames per vector: 4, 8 or 16
//   F, I, U           W floats, int32_t and uint32_t (lanes::F32<W>, I32, U32)
//   ShiftIn, Last     optional: those lane moves as single instructions
//   kMaxStep          the largest step Fetch takes (at most 2^23)
//   Fma(a, b, c)      a b + c
//   Fetch<Stereo>(data, base, first, fr, step, lastFrame, xl, xr)
//                     for lane k the frames p = base + (fr[k] >> 16) and p + 1
//                     and f = (fr[k] >> 9) & 127: 128 s0 + f (s1 - s0) as a
//                     float, left in xl, right in xr; first = fr[0] >> 16,
//                     and no read passes lastFrame
//
// Time goes in the lanes: one voice after another renders a sub-block, W
// frames at a time, into a planar scratch mix that is added into the block
// once per sub-block for all of them. Within a chunk of W frames the
// positions are in closed form, the level is a start value times powers of
// the decay, and the muffle filter (a first-order linear recurrence) is a
// prefix scan over the lanes with the previous chunk's state carried in.
// Chunks that wrap the loop or reach the end of the data step their
// positions frame by frame exactly as the reference does, as do gain ramps
// where float rounding makes the reference's steps uneven, so positions,
// steps and gains end every block as the reference leaves them; the level,
// filter and mix differ from it by float roundings only.

#define NORV_VOICE_INLINE NORV_VOICE_TARGET __attribute__((always_inline)) inline

using F = TLanes::F;
using I = TLanes::I;
using U = TLanes::U;
constexpr int W = TLanes::W;
static_assert(W == 4 || W == 8 || W == 16);
static_assert(TLanes::kMaxStep <= 1u << 23);

// Frames of the scratch mix; 2 KB each side, on the stack.
constexpr int32_t kSubBlock = 256;
static_assert(kSubBlock % W == 0);


// ---- Lane helpers ----

// ShiftIn and Last take TLanes: its instruction where it names one.
using lanes::Interleave;
using lanes::Iota;
using lanes::Last;
using lanes::LoadU;
using lanes::ShiftIn;
using lanes::Splat;
using lanes::StoreU;

// x^(k + from) in lane k (from 0 or 1): each lane multiplies the powers
// x^(2^i) of its exponent's bits, rounded from double.
NORV_VOICE_INLINE F Powers(double x, uint32_t from) {
    const U exponent = Iota<U>() + from;
    F p = Splat<F>(1.0f);
    for (uint32_t bit = 1; bit <= static_cast<uint32_t>(W); bit <<= 1, x *= x)
        p = (exponent & bit) != 0u ? p * static_cast<float>(x) : p;
    return p;
}

// x^n in double by squaring.
NORV_VOICE_INLINE double PowerOf(double x, int32_t n) {
    double r = 1.0;
    for (; n > 0; n >>= 1, x *= x)
        if (n & 1) r *= x;
    return r;
}

// ---- Level, overdrive, filter ----

// y - a y y for positive samples, and where that turns negative r + r r / 2.
NORV_VOICE_INLINE F Drive(F y, F amount) {
    // a y and its rounding error: y - a y y with one rounding, nearly.
    const F ay = amount * y;
    const F error = TLanes::Fma(amount, y, -ay);
    const F r = TLanes::Fma(-error, y, TLanes::Fma(-ay, y, y));
    const F q = TLanes::Fma(0.5f * r, r, r);
    const F zero{};
    return y > zero ? (r < zero ? q : r) : y;
}

// The muffle filter F = F + (y + P - F) c is F_k = a F_(k-1) + c (y_k +
// y_(k-1)) with a = 1 - c: a first-order recurrence, so a chunk's W values
// come from a prefix scan with the powers of a, plus the previous chunk's
// last value carried in times a^(k+1).
struct TFilter {
    F C;
    F A[4];   // a, a^2, a^4, a^8 (as many as the scan takes)
    F Carry;  // a^1 .. a^W
};

NORV_VOICE_INLINE TFilter MakeFilter(float coef) {
    TFilter f;
    const double a = 1.0 - static_cast<double>(coef);
    f.C = Splat<F>(coef);
    double p = a;
    for (F& v : f.A) {
        v = Splat<F>(static_cast<float>(p));
        p *= p;
    }
    // Lane W - 1, a^W, carries the state from chunk to chunk: rounded once,
    // so a long silent tail decays at the reference's rate.
    f.Carry = Powers(a, 1);
    return f;
}

// The recurrence's input u = c (y + y shifted by one frame): `before` holds
// the previous input in its last lane.
NORV_VOICE_INLINE F FilterInput(const TFilter& f, F y, F before) {
    return TLanes::Fma(f.C, ShiftIn<1, TLanes>(y, before), f.C * y);
}

// A chunk's filter outputs short of the previous chunk's.
NORV_VOICE_INLINE F ScanChunk(const TFilter& f, F s) {
    const F zero{};
    s = TLanes::Fma(f.A[0], ShiftIn<1, TLanes>(s, zero), s);
    s = TLanes::Fma(f.A[1], ShiftIn<2, TLanes>(s, zero), s);
    if constexpr (W > 4) s = TLanes::Fma(f.A[2], ShiftIn<4, TLanes>(s, zero), s);
    if constexpr (W > 8) s = TLanes::Fma(f.A[3], ShiftIn<8, TLanes>(s, zero), s);
    return s;
}

// ---- Positions ----

struct TPlay {
    int32_t Pos;
    uint32_t Frac;
    uint32_t Step;
    int32_t LoopEnd;
    int32_t LoopLength;
};

// Frames the voice may still move before passing LoopEnd, so that a chunk
// moving no further needs no wrap and no end; -1 where the next chunk needs
// the reference's own steps (a state out of the usual ranges, a step so
// large that a sub-block's positions would not fit 32 bits).
NORV_VOICE_INLINE int32_t RoomOf(const TPlay& p) {
    const bool usual = p.Frac <= 0xFFFF && static_cast<uint32_t>(p.Pos) <= static_cast<uint32_t>(p.LoopEnd) &&
                       p.Step <= TLanes::kMaxStep;
    return usual ? p.LoopEnd - p.Pos : -1;
}

// m frames stepped one at a time as the reference steps them: the loop wraps
// once, and a voice that cannot come back stops on its last frame. Writes
// the sample values (lanes from m on copy the last) and returns the frame
// where the voice stopped, W if it plays on.
template <bool Stereo>
NORV_VOICE_TARGET __attribute__((noinline)) int32_t StepFrames(TPlay& p, const int16_t* data, int32_t m, float* xl,
                                                               float* xr) {
    constexpr int ch = Stereo ? 2 : 1;
    int32_t stop = W;
    float l = 0, r = 0;
    for (int32_t k = 0; k < W; ++k) {
        if (k < m) {
            p.Frac += p.Step;
            p.Pos = static_cast<int32_t>(static_cast<uint32_t>(p.Pos) + (p.Frac >> 16));
            p.Frac &= 0xFFFF;
            if (p.Pos > p.LoopEnd)
                p.Pos = static_cast<int32_t>(static_cast<uint32_t>(p.Pos) - static_cast<uint32_t>(p.LoopLength));
            if (p.Pos > p.LoopEnd || p.Pos < 0) {
                p.Pos = p.Pos < 0 ? 0 : p.LoopEnd;
                p.Step = 0;
                p.Frac = 0;
                if (stop == W) stop = k;
            }
            const int32_t f = static_cast<int32_t>(p.Frac >> 9);
            const int16_t* s = data + static_cast<int64_t>(p.Pos) * ch;
            l = static_cast<float>(128 * s[0] + f * (s[ch] - s[0]));
            if constexpr (Stereo) r = static_cast<float>(128 * s[1] + f * (s[3] - s[1]));
        }
        xl[k] = l;
        xr[k] = r;
    }
    return stop;
}

// ---- Gains ----

// What adding inc to g adds while the sums stay in g's binade: inc rounded to
// a multiple of g's last place, the same for every step there. 0 where g
// never moves; NaN where that rule does not settle it (g zero, denormal or
// not finite, or inc halfway between two multiples, where the rounding
// follows g's last bit), so the gain goes one frame at a time.
NORV_VOICE_INLINE float EffectiveInc(float g, float inc) {
    const float none = __builtin_nanf("");
    if (!std::isfinite(g) || !std::isfinite(inc)) return none;
    const float e = (g + inc) - g;
    if (e == 0.0f) return 0.0f;
    const uint32_t exponent = std::bit_cast<uint32_t>(g) & 0x7F800000u;
    if (exponent == 0) return none;
    const double halfPlace = static_cast<double>(std::bit_cast<float>(exponent)) * 0x1p-24;
    return std::fabs(static_cast<double>(inc) - e) == halfPlace ? none : e;
}

// Whether the steps from g to next stayed within g's binade and above its
// lower end (where the sums of a falling gain would round finer).
NORV_VOICE_INLINE bool SameBinade(float g, float next) {
    const uint32_t a = std::bit_cast<uint32_t>(g), b = std::bit_cast<uint32_t>(next);
    return ((a ^ b) >> 23) == 0 && (b & 0x7FFFFFu) != 0;
}

// m gains added up one at a time as the reference does (lanes from m on
// copy the last); returns the gain after them.
NORV_VOICE_TARGET __attribute__((noinline)) float StepGains(float g, float inc, int32_t m, float* out) {
    for (int32_t k = 0; k < W; ++k) {
        out[k] = g;
        if (k < m) g = g + inc;
    }
    return g;
}

// A gain ramp of one channel: the chunk's W gains, the gain after m frames.
struct TRamp {
    float Gain, Inc, Effective;

    NORV_VOICE_INLINE F Chunk(int32_t m) {
        const float next = Gain + static_cast<float>(m) * Effective;
        if (Effective == 0.0f) return Splat<F>(Gain);
        if (SameBinade(Gain, next)) [[likely]] {
            // Exact: multiples of the last place within one binade.
            const F g = Splat<F>(Gain) + Iota<F>() * Effective;
            Gain = next;
            return g;
        }
        alignas(64) float g[W];
        Gain = StepGains(Gain, Inc, m, g);
        Effective = EffectiveInc(Gain, Inc);
        return LoadU<F>(g);
    }
};

// ---- One voice ----

template <bool Stereo, bool Driven, bool Ramp>
struct TVoiceRun {
    static constexpr int ch = Stereo ? 2 : 1;
    const int16_t* Data;
    typename TLanes::TConstants K;
    TPlay P;        // step and loop; position as at the last Rebase
    int32_t Base;   // the frame positions count from
    uint32_t Done;  // the position past Base, 16.16
    int32_t Room;   // RoomOf(P) at the last Rebase
    int64_t Ahead;  // bytes of data a sub-block moves through
    U StepTimes;    // step times 1 .. W
    U StepW;        // step times W
    U Fr;           // Done + StepTimes
    double Level;   // times 2^-22, the scale of the integer sample values
    float DecayCoef;
    bool Decays;    // DecayCoef is not 1
    double DecayChunk;
    F Decay;   // d^0 .. d^(W-1)
    F DecayW;  // d^W
    F Lv;      // the chunk's levels, float within a sub-block
    TFilter Filt;
    F StateL, BeforeL, StateR, BeforeR;
    F Amount;
    TRamp RampL, RampR;
    F PanL, PanR, GainPanL, GainPanR;

    // incL, incR: EffectiveInc of the voice's gains.
    NORV_VOICE_INLINE TVoiceRun(const TPianoVoice& v, const TVoiceBlock& b, int32_t len, float incL, float incR)
        : Data(b.Data),
          K(TLanes::Constants()),
          P{v.Pos, v.Frac, static_cast<uint32_t>(v.Step), v.LoopEnd, v.LoopLength},
          Ahead(((static_cast<int64_t>(len) * P.Step) >> 16) * ch * 2),
          Level(static_cast<double>(v.Level) * 0x1p-22),
          DecayCoef(v.DecayCoef),
          Decays(v.DecayCoef != 1.0f),
          DecayChunk(1.0),
          Decay(Splat<F>(1.0f)),
          DecayW(Splat<F>(1.0f)),
          Filt(MakeFilter(v.FilterCoef)),
          StateL(Splat<F>(v.FilterL)),
          BeforeL(Splat<F>(v.PrevL)),
          StateR(Splat<F>(v.FilterR)),
          BeforeR(Splat<F>(v.PrevR)),
          Amount(Splat<F>(b.Overdrive)),
          RampL{v.GainL, v.GainIncL, incL},
          RampR{v.GainR, v.GainIncR, incR},
          PanL(Splat<F>(v.PanGainL)),
          PanR(Splat<F>(v.PanGainR)),
          GainPanL(Splat<F>(v.GainL * v.PanGainL)),
          GainPanR(Splat<F>(v.GainR * v.PanGainR)) {
        if (Decays) {
            DecayChunk = PowerOf(v.DecayCoef, W);
            Decay = Powers(v.DecayCoef, 0);
            DecayW = Splat<F>(static_cast<float>(DecayChunk));
        }
        Rebase();
    }

    // Positions count from the reference's state again.
    NORV_VOICE_INLINE void Rebase() {
        Base = P.Pos;
        Done = P.Frac;
        Room = RoomOf(P);
        StepTimes = (Iota<U>() + 1u) * P.Step;
        StepW = Splat<U>(static_cast<uint32_t>(W) * P.Step);
        Fr = Splat<U>(Done) + StepTimes;
        Lv = Splat<F>(static_cast<float>(Level)) * Decay;
    }

    // Sample values and levels of a chunk, read ahead of their filtering.
    struct TRead {
        F Xl, Xr, Lv;
    };

    // The sample values of the next m frames, the level of each.
    template <bool Full>
    NORV_VOICE_INLINE TRead Read(int32_t m) {
        TRead r{F{}, F{}, Lv};
        const uint32_t end = Done + static_cast<uint32_t>(m) * P.Step;
        if (static_cast<int32_t>(end >> 16) <= Room) [[likely]] {
            const int32_t first = static_cast<int32_t>((Done + P.Step) >> 16);
            // What the same chunk of the next sub-block will read, into the
            // second-level cache by then (an address, maybe past the data).
            const uintptr_t at = reinterpret_cast<uintptr_t>(Data + static_cast<int64_t>(Base + first) * ch) +
                                 static_cast<uintptr_t>(Ahead);
            __builtin_prefetch(reinterpret_cast<const void*>(at), 0, 2);
            if constexpr (Stereo) __builtin_prefetch(reinterpret_cast<const void*>(at + 64), 0, 2);
            // Lanes from m on repeat the last frame: nothing past it is read.
            U fr = Fr;
            if constexpr (!Full) fr = Iota<U>() < static_cast<uint32_t>(m) ? fr : Splat<U>(end);
            TLanes::template Fetch<Stereo>(K, Data, Base, first, fr, P.Step, P.LoopEnd + 1, r.Xl, r.Xr);
            Done = end;
            Fr += StepW;
            if (Decays) {
                Level *= Full ? DecayChunk : PowerOf(DecayCoef, m);
                Lv *= DecayW;
            }
            return r;
        }
        alignas(64) float l[W], rr[W];
        TPlay q = Now();
        const int32_t stop = StepFrames<Stereo>(q, Data, m, l, rr);
        P = q;
        r.Xl = LoadU<F>(l);
        r.Xr = LoadU<F>(rr);
        if (stop < W) {
            r.Lv = Iota<I>() < stop ? r.Lv : F{};
            Level = 0.0;
        } else if (Decays) {
            Level *= Full ? DecayChunk : PowerOf(DecayCoef, m);
        }
        Rebase();
        return r;
    }

    // The reference's state at the current position.
    NORV_VOICE_INLINE TPlay Now() const {
        TPlay q = P;
        q.Pos = Base + static_cast<int32_t>(Done >> 16);
        q.Frac = Done & 0xFFFF;
        return q;
    }

    // The filter's inputs of a chunk, then its outputs short of the
    // previous chunk's.
    struct TShaped {
        F Sl, Sr;
    };

    // Level, overdrive and the filter's inputs of a chunk read before.
    template <bool Full>
    NORV_VOICE_INLINE TShaped Shape(const TRead& r, int32_t m) {
        F yl = r.Xl * r.Lv;
        F yr = r.Xr * r.Lv;
        if constexpr (Driven) {
            yl = Drive(yl, Amount);
            if constexpr (Stereo) yr = Drive(yr, Amount);
        }
        if constexpr (!Stereo) yr = yl;
        const TShaped s{FilterInput(Filt, yl, BeforeL), Stereo ? FilterInput(Filt, yr, BeforeR) : F{}};
        if constexpr (Full) {
            BeforeL = yl;
            BeforeR = yr;
        } else {
            BeforeL = Splat<F>(yl[m - 1]);
            BeforeR = Splat<F>(yr[m - 1]);
        }
        return s;
    }

    NORV_VOICE_INLINE TShaped Scan(const TShaped& s) const {
        return {ScanChunk(Filt, s.Sl), Stereo ? ScanChunk(Filt, s.Sr) : F{}};
    }

    // A chunk scanned before, its filter outputs complete, m frames of it
    // added into outL and outR (lanes from m on land past the sub-block's
    // frames).
    template <bool Full>
    NORV_VOICE_INLINE void Mix(const TShaped& s, float* outL, float* outR, int32_t m) {
        const F fl = TLanes::Fma(Filt.Carry, StateL, s.Sl);
        const F fr = Stereo ? TLanes::Fma(Filt.Carry, StateR, s.Sr) : fl;
        F gl = GainPanL, gr = GainPanR;
        if constexpr (Ramp) {
            gl = RampL.Chunk(m) * PanL;
            gr = RampR.Chunk(m) * PanR;
        }
        StoreU(outL, TLanes::Fma(gl, fl, LoadU<F>(outL)));
        StoreU(outR, TLanes::Fma(gr, fr, LoadU<F>(outR)));
        if constexpr (Full) {
            StateL = Last<TLanes>(fl);
            StateR = Last<TLanes>(fr);
        } else {
            StateL = Splat<F>(fl[m - 1]);
            StateR = Splat<F>(fr[m - 1]);
        }
    }

    // Mono voices keep equal left and right filter states.
    NORV_VOICE_INLINE void Store(TPianoVoice& v) const {
        const TPlay q = Now();
        v.Pos = q.Pos;
        v.Frac = q.Frac;
        v.Step = static_cast<int32_t>(q.Step);
        v.Level = static_cast<float>(Level * 0x1p22);
        v.FilterL = StateL[0];
        v.PrevL = BeforeL[W - 1];
        v.FilterR = StateR[0];
        v.PrevR = BeforeR[W - 1];
        if constexpr (Ramp) {
            v.GainL = RampL.Gain;
            v.GainR = RampR.Gain;
        }
    }
};

template <bool Stereo, bool Driven, bool Ramp>
NORV_VOICE_TARGET void RenderVoice(TPianoVoice& v, const TVoiceBlock& b, float* outL, float* outR, int32_t len,
                                   float incL, float incR) {
    TVoiceRun<Stereo, Driven, Ramp> run(v, b, len, incL, incR);
    // Chunks go through four stages a step apart: chunk k + 3 is read
    // while k + 2 is shaped, k + 1 scanned and k mixed, so that the long
    // chains of dependent steps of neighbouring chunks overlap.
    const int32_t full = len / W;
    int32_t k = 0;
    float* l = outL;
    float* r = outR;
    if (full >= 3) {
        auto read = run.template Read<true>(W);
        auto shaped = run.template Shape<true>(read, W);
        read = run.template Read<true>(W);
        auto scanned = run.Scan(shaped);
        shaped = run.template Shape<true>(read, W);
        read = run.template Read<true>(W);
        for (; k + 3 < full; ++k, l += W, r += W) {
            const auto nextRead = run.template Read<true>(W);
            const auto nextShaped = run.template Shape<true>(read, W);
            const auto nextScanned = run.Scan(shaped);
            run.template Mix<true>(scanned, l, r, W);
            read = nextRead;
            shaped = nextShaped;
            scanned = nextScanned;
        }
        // The last three chunks leave the stages.
        const auto lastShaped = run.template Shape<true>(read, W);
        const auto nextScanned = run.Scan(shaped);
        run.template Mix<true>(scanned, l, r, W);
        const auto lastScanned = run.Scan(lastShaped);
        run.template Mix<true>(nextScanned, l + W, r + W, W);
        run.template Mix<true>(lastScanned, l + 2 * W, r + 2 * W, W);
        k += 3;
    } else {
        for (; k < full; ++k)
            run.template Mix<true>(run.Scan(run.template Shape<true>(run.template Read<true>(W), W)), outL + k * W,
                                   outR + k * W, W);
    }
    const int32_t m = len - k * W;
    if (m > 0) {
        const auto read = run.template Read<false>(m);
        run.template Mix<false>(run.Scan(run.template Shape<false>(read, m)), outL + k * W, outR + k * W, m);
    }
    run.Store(v);
}

// ---- A group of voices ----

// The scratch mix added into the block's interleaved frames.
NORV_VOICE_INLINE void AddInterleaved(const float* l, const float* r, float* mix, int32_t len) {
    int32_t j = 0;
    for (; j + W <= len; j += W) {
        const F a = LoadU<F>(l + j), b = LoadU<F>(r + j);
        StoreU(mix + 2 * j, LoadU<F>(mix + 2 * j) + Interleave<0>(a, b));
        StoreU(mix + 2 * j + W, LoadU<F>(mix + 2 * j + W) + Interleave<1>(a, b));
    }
    for (; j < len; ++j) {
        mix[2 * j] += l[j];
        mix[2 * j + 1] += r[j];
    }
}

template <bool Stereo, bool Driven>
NORV_VOICE_TARGET void RenderGroupAs(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& b) {
    alignas(64) float outL[kSubBlock], outR[kSubBlock];
    for (int32_t j0 = 0; j0 < b.Frames; j0 += kSubBlock) {
        const int32_t len = b.Frames - j0 < kSubBlock ? b.Frames - j0 : kSubBlock;
        const size_t bytes = sizeof(float) * static_cast<size_t>((len + W - 1) / W * W);
        std::memset(outL, 0, bytes);
        std::memset(outR, 0, bytes);
        for (int32_t i = 0; i < count; ++i) {
            TPianoVoice& v = *voices[i];
            const float incL = EffectiveInc(v.GainL, v.GainIncL), incR = EffectiveInc(v.GainR, v.GainIncR);
            const bool ramp = incL != 0.0f || incR != 0.0f;
            ramp ? RenderVoice<Stereo, Driven, true>(v, b, outL, outR, len, incL, incR)
                 : RenderVoice<Stereo, Driven, false>(v, b, outL, outR, len, incL, incR);
        }
        AddInterleaved(outL, outR, b.Mix + 2 * static_cast<int64_t>(j0), len);
    }
}

NORV_VOICE_TARGET void RenderGroup(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& b) {
    if (b.Stereo)
        b.Overdrive != 0.0f ? RenderGroupAs<true, true>(voices, count, b) : RenderGroupAs<true, false>(voices, count, b);
    else
        b.Overdrive != 0.0f ? RenderGroupAs<false, true>(voices, count, b)
                            : RenderGroupAs<false, false>(voices, count, b);
}
