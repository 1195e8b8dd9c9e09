// The host's output rate and what derives from it. Header-only: the sample
// loader needs it without the rest of the engine.
#pragma once

#include <cstdint>

#include "base/Relaxed.h"

namespace norv {

class TAudioRenderer {
public:
    TAudioRenderer() { SetRate(44100); }

    // Rates below 1 Hz are ignored: they would turn every derived value into
    // an infinity.
    void SetRate(int32_t rate) {
        if (rate < 1) return;
        Rate = rate;
        InvRate = 1.0 / rate;
        RateRatio = 44100.0 / rate;
        OmegaScale = 6.283185307179586 * InvRate;
        NyquistLimit = static_cast<float>(0.4999 * rate);
        const float step = static_cast<float>(0.001 * RateRatio);
        MaxGainStep = step;
        MaxGainStep10 = step * 10.0f;
        MaxGainStepPcm = step * 32768.0f;
    }

    int32_t Rate = 0;
    // The host has told its rate; until then Rate is a stand-in.
    bool RateFromHost = false;
    double InvRate = 0;        // 1 / Rate
    double RateRatio = 0;      // 44100 / Rate
    double OmegaScale = 0;     // 2 pi / Rate
    float NyquistLimit = 0;    // 0.4999 Rate
    // Largest change of a voice gain per frame; the audio thread reads it
    // while the host may change the rate.
    Relaxed<float> MaxGainStep{0};
    float MaxGainStep10 = 0;
    float MaxGainStepPcm = 0;  // MaxGainStep in 16-bit units
};

}  // namespace norv
