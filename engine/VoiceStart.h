// The settings a voice gets when it starts, and the step recomputation when
// the host changes its pitch. Setup code: extended precision, rounded once.
#pragma once

#include <cstdint>

#include "engine/Voice.h"
#include "engine/VoiceShape.h"
#include "engine/WorkingValues.h"

namespace norv {

class TPianoWaveTable;

// Key 0..127 with fraction from 6000 + CurPitch (already rounded to float).
float KeyFromPitchCents(float pitchCents);

// The tuning offset in semitones for key k.
float TuningOffset(float k, const TWorkingValues& w);

// Index of the first record of the zone that plays key k with zone offset o;
// the last zone when no zone reaches the key.
int32_t FindZone(const TPianoWaveTable& table, float k, int32_t o);

// Everything but the host link, gains and Ended (StartVoice sets those),
// from the host's note-on level and pitch.
void SetupVoice(TPianoVoice& v, float initVolume, float curPitch, const TWorkingValues& w,
                const ParamLevelArray& levels, const TPianoWaveTable& table);

// Whether the host's current pitch differs from the one the step was made for.
bool PitchChanged(const TPianoVoice& v);

// Recomputes Step (and PitchCents) for the host's current pitch.
void RecomputeStep(TPianoVoice& v, const TWorkingValues& w, const TPianoWaveTable& table);

}  // namespace norv
