// One sounding note, as the engine keeps it.
#pragma once

#include <cstdint>

namespace norv {

inline constexpr int32_t kNoShownKey = 0x7FFFFFFF;

// Where the host keeps a voice's controls. The host owns them for the
// voice's whole life and may change them between blocks; the engine only
// reads them.
struct THostVoiceLink {
    const float* InitVolume = nullptr;  // note-on level; 1.0 is velocity 100
    const float* CurPan = nullptr;      // -1 .. 1
    const float* CurVolume = nullptr;   // 0 or more
    const float* CurPitch = nullptr;    // cents from key 60
};

struct TPianoVoice {
    THostVoiceLink Link;
    intptr_t VoiceTag = 0;
    int32_t ShownKey = kNoShownKey;
    bool Ended = false;
    float PitchCents = 0;
    int32_t Step = 0;      // 16.16 fixed point per output frame
    uint32_t Frac = 0;     // 0..65535 between frames
    int32_t Pos = 0;       // frame index into the set's data
    int32_t LoopEnd = 0;
    int32_t LoopLength = 0;
    float Level = 0;
    float DecayCoef = 0;
    float FilterL = 0;
    float PrevL = 0;
    float FilterR = 0;
    float PrevR = 0;
    float FilterCoef = 0;
    float PanGainL = 0;
    float PanGainR = 0;
    float Key = 0;
    float VelSensExp = 0;
    float GainIncL = 0;
    float GainIncR = 0;
    float GainEndL = 0;
    float GainEndR = 0;
    float GainL = 0;
    float GainR = 0;
    // The host level's last curve, kept because the power function costs
    // more than the rest of a voice's block preparation: volume^exponent.
    float CurveVolume = -1;
    float CurveExponent = 0;
    float CurveLevel = 0;
};

}  // namespace norv
