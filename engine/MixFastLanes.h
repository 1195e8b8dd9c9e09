// Inside the production voice renderer: a group of voices laid out one field
// per array, one voice per lane, and the per-CPU routines that render a group.
//
// Include this header first in every file of the renderer: the pragmas keep
// the compiler from fusing a multiply and an add that the routines keep apart.
#pragma once

#include "base/ExactSimd.h"

#include <cstdint>

#include "engine/MixFast.h"

namespace norv::mixfast {

// Sample values enter as integers 128 s0 + f (s1 - s0); the level is kept
// multiplied by 2^-22 so that one multiply gives float(x * Level) exactly.
inline constexpr float kLevelScale = 1.0f / 4194304.0f;
inline constexpr float kLevelUnscale = 4194304.0f;

struct alignas(64) TLaneState {
    int32_t Pos[kMaxVoiceLanes];
    int32_t Step[kMaxVoiceLanes];
    uint32_t Frac[kMaxVoiceLanes];
    int32_t LoopEnd[kMaxVoiceLanes];
    int32_t LoopLength[kMaxVoiceLanes];
    float Level[kMaxVoiceLanes];  // times kLevelScale
    float Decay[kMaxVoiceLanes];
    float FilterL[kMaxVoiceLanes];
    float PrevL[kMaxVoiceLanes];
    float FilterR[kMaxVoiceLanes];
    float PrevR[kMaxVoiceLanes];
    float Coef[kMaxVoiceLanes];
    float PanL[kMaxVoiceLanes];
    float PanR[kMaxVoiceLanes];
    float GainL[kMaxVoiceLanes];
    float GainR[kMaxVoiceLanes];
    float IncL[kMaxVoiceLanes];
    float IncR[kMaxVoiceLanes];
    int32_t Count = 0;  // voices in the group; lanes beyond copy the first
    bool Ramp = false;  // some gain moves during the block
};

// Fills `lanes` lanes from `count` voices (1 <= count <= lanes).
void LoadLanes(TLaneState& s, TPianoVoice* const* voices, int32_t count, int32_t lanes);
// Writes the first Count lanes back after a block of at least one frame.
void StoreLanes(const TLaneState& s, TPianoVoice* const* voices, bool stereo);

// One group for the whole block; null where the build has no such routine.
using TGroupRoutine = void (*)(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block);
void RenderGroupPortable(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block);
TGroupRoutine AVX2Routine();
TGroupRoutine AVX512Routine();

inline constexpr int32_t kPortableLanes = 8;
inline constexpr int32_t kAVX2Lanes = 8;
inline constexpr int32_t kAVX512Lanes = 16;

}  // namespace norv::mixfast
