// The block renderer's steps written literally, one sample at a time, with
// extended-precision intermediates rounded once where a value is stored.
// This is the test oracle for the production renderer; it is also what runs
// when the production renderer is switched off.
#pragma once

#include <cstdint>

#include "engine/Voice.h"
#include "engine/WorkingValues.h"

namespace norv {

// Plans one gain ramp over n frames (n >= 1): returns the start value and the
// per-frame increment; `end` is the gain reached at the end of the block.
void PlanGainRamp(float target, float& end, int32_t n, float maxStep, float& start, float& increment);

// Renders one voice for n frames, adding into the interleaved stereo mix.
void RenderVoiceReference(TPianoVoice& v, const int16_t* data, bool stereo, float overdrive, float* mix, int32_t n);

// Treble shelf, LFO and width delay over n frames of the mix, in place.
void ApplyEffectsReference(TEffectState& fx, const TWorkingValues& w, float* mix, int32_t n);

// Level below 0.0001, compared on the bit patterns as the end-of-voice rule does.
bool LevelHasFaded(float level);

}  // namespace norv
