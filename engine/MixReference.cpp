#include "engine/MixReference.h"

#include <bit>
#include <cmath>

namespace norv {
namespace {

using L = long double;

inline float F(L x) { return static_cast<float>(x); }

// A voice whose loop cannot bring it back (no loop, or a step longer than the
// loop) has played its data: it stays on its last frame, silent, and the
// end-of-voice sweep ends it. So reads never leave the data.
inline void StopAtEnd(TPianoVoice& v) {
    v.Pos = v.Pos < 0 ? 0 : v.LoopEnd;
    v.Step = 0;
    v.Frac = 0;
    v.Level = 0.0f;
}

inline float Sample(const int16_t* data, int32_t frame, int channel, int channels) {
    return data[static_cast<int64_t>(frame) * channels + channel];
}

inline float Interpolate(int32_t s0, int32_t s1, uint32_t frac) {
    int32_t f = static_cast<int32_t>(frac >> 9);
    return static_cast<float>(128 * s0 + f * (s1 - s0)) / 4194304.0f;
}

inline float Overdrive(float y, float amount) {
    if (y > 0.0f && amount != 0.0f) {
        y = F(static_cast<L>(y) - static_cast<L>(amount) * y * y);
        if (y < 0.0f) y = F(static_cast<L>(y) + 0.5L * y * y);
    }
    return y;
}

}  // namespace

bool LevelHasFaded(float level) {
    return std::bit_cast<int32_t>(level) < static_cast<int32_t>(0x38D1B717);
}

void PlanGainRamp(float target, float& end, int32_t n, float maxStep, float& start, float& increment) {
    start = end;
    increment = F(static_cast<L>(target) - start);
    if (std::bit_cast<uint32_t>(increment) == 0) return;
    end = target;
    increment = F(static_cast<L>(increment) / n);
    if (std::fabs(increment) <= maxStep) return;
    increment = std::copysign(maxStep, increment);
    end = F(static_cast<L>(n) * increment + start);
    if ((std::bit_cast<uint32_t>(end) & 0x7FFFFFFFu) < 0x33800000u) {
        end = 0.0f;
        increment = F(-static_cast<L>(start) / n);
    }
}

void RenderVoiceReference(TPianoVoice& v, const int16_t* data, bool stereo, float overdrive, float* mix, int32_t n) {
    const int channels = stereo ? 2 : 1;
    for (int32_t j = 0; j < n; ++j) {
        v.Frac += static_cast<uint32_t>(v.Step);
        v.Pos += static_cast<int32_t>(v.Frac >> 16);
        v.Frac &= 0xFFFF;
        if (v.Pos > v.LoopEnd) v.Pos -= v.LoopLength;
        if (v.Pos > v.LoopEnd || v.Pos < 0) StopAtEnd(v);

        float yL, yR;
        {
            float xL = Interpolate(static_cast<int32_t>(Sample(data, v.Pos, 0, channels)),
                                   static_cast<int32_t>(Sample(data, v.Pos + 1, 0, channels)), v.Frac);
            yL = F(static_cast<L>(xL) * v.Level);
            if (stereo) {
                float xR = Interpolate(static_cast<int32_t>(Sample(data, v.Pos, 1, channels)),
                                       static_cast<int32_t>(Sample(data, v.Pos + 1, 1, channels)), v.Frac);
                yR = F(static_cast<L>(xR) * v.Level);
            } else {
                yR = yL;
            }
            v.Level = F(static_cast<L>(v.Level) * v.DecayCoef);
        }
        yL = Overdrive(yL, overdrive);
        if (stereo) yR = Overdrive(yR, overdrive);

        v.FilterL = F(v.FilterL + (static_cast<L>(yL) + v.PrevL - v.FilterL) * v.FilterCoef);
        v.PrevL = yL;
        if (stereo) {
            v.FilterR = F(v.FilterR + (static_cast<L>(yR) + v.PrevR - v.FilterR) * v.FilterCoef);
            v.PrevR = yR;
        } else {
            v.PrevR = v.PrevL;
            v.FilterR = v.FilterL;
        }

        float* frame = mix + 2 * j;
        frame[0] = F(frame[0] + static_cast<L>(v.GainL) * v.PanGainL * v.FilterL);
        frame[1] = F(frame[1] + static_cast<L>(v.GainR) * v.PanGainR * v.FilterR);
        v.GainL = F(static_cast<L>(v.GainL) + v.GainIncL);
        v.GainR = F(static_cast<L>(v.GainR) + v.GainIncR);
    }
}

void ApplyEffectsReference(TEffectState& fx, const TWorkingValues& w, float* mix, int32_t n) {
    const L trebleCoef = w.TrebleCoef.load();
    const L trebleGain = w.TrebleGain.load();
    const L lfoStep = w.LfoStep.load();
    const L depthL = w.LfoDepthL.load();
    const L depthR = w.LfoDepthR.load();
    const L width = w.Width.load();
    float* delay = fx.DelayLine.data();
    for (int32_t j = 0; j < n; ++j) {
        float l = mix[2 * j];
        float r = mix[2 * j + 1];
        fx.TrebleStateL = F(fx.TrebleStateL + (static_cast<L>(l) - fx.TrebleStateL) * trebleCoef);
        fx.TrebleStateR = F(fx.TrebleStateR + (static_cast<L>(r) - fx.TrebleStateR) * trebleCoef);
        r = F(r + (static_cast<L>(r) - fx.TrebleStateR) * trebleGain);
        l = F(l + (static_cast<L>(l) - fx.TrebleStateL) * trebleGain);
        fx.LfoSin = F(fx.LfoSin + lfoStep * fx.LfoCos);
        fx.LfoCos = F(fx.LfoCos - lfoStep * fx.LfoSin);
        l = F(l + static_cast<L>(l) * depthL * fx.LfoCos);
        r = F(r + static_cast<L>(r) * depthR * fx.LfoCos);
        delay[fx.DelayIndex] = F(static_cast<L>(l) + r);
        fx.DelayIndex = (fx.DelayIndex & fx.DelayMask) + 1;
        float wv = F(width * delay[fx.DelayIndex]);
        mix[2 * j] = F(static_cast<L>(l) + wv);
        mix[2 * j + 1] = F(static_cast<L>(r) - wv);
    }
}

}  // namespace norv
