// The engine's working values: what the voice start, the release and the
// block renderer read instead of the parameters. Written on the GUI thread,
// read on the audio thread, each a single 32-bit store.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/Relaxed.h"
#include "engine/Parameters.h"

namespace norv {

using ParamLevelArray = std::array<Relaxed<float>, kParamCount>;

struct TWorkingValues {
    Relaxed<int32_t> HardnessOffset{0};
    Relaxed<float> VelHardScale{0};
    Relaxed<float> VelMuffleScale{0};
    Relaxed<float> VelSensExponent{0};
    Relaxed<float> Width{0};
    Relaxed<float> WidthGain{0};
    Relaxed<float> KeySpread{0};
    Relaxed<float> FineTune{0};
    Relaxed<float> RandomDetune{0};
    Relaxed<float> StretchTune{0};
    Relaxed<float> TrebleGain{0};
    Relaxed<float> TrebleCoef{0};
    Relaxed<float> LfoDepthL{0};
    Relaxed<float> LfoDepthR{0};
    Relaxed<float> LfoStep{0};
    Relaxed<float> OverdriveAmount{0};

    Relaxed<float> InvSampleRate{0};  // 0 until the host sends a rate
    float Volume = 0;
    float MuffleScale = 0;
};

// Recomputes the values that derive from parameter `index` (-1: all) from
// the normalised levels, as each parameter's Derive says. Indices without
// working values change nothing.
void UpdateWorkingValues(TWorkingValues& w, const ParamLevelArray& levels, int32_t index);

// The effect state of the mix, advanced by the audio thread only.
struct TEffectState {
    float TrebleStateL = 0;
    float TrebleStateR = 0;
    float LfoSin = 0;
    float LfoCos = 1.0f;
    std::vector<float> DelayLine;
    int32_t DelayIndex = 0;
    int32_t DelayMask = 127;
};

// Volume 0.2, MuffleScale 160 and the effect state as a new instance has them.
void InitEngineConstants(TWorkingValues& w, TEffectState& fx);

}  // namespace norv
