// How the parameters shape one voice: velocity from the note-on level, the
// muffle filter, the decay while held and after the release. The voice start
// plays by these, and the importer fits sets' presets to them. Pure
// functions in extended precision, rounded once; any thread.
#pragma once

#include <bit>
#include <cstdint>

namespace norv {

// The instance's constants that shape every voice: its volume and the scale
// of the muffle knob's cutoff.
inline constexpr float kVoiceVolume = std::bit_cast<float>(uint32_t{0x3E4CCCCD});  // 0.2
inline constexpr float kMuffleScale = 160.0f;

// Velocity 0..127 from the host's note-on level.
float EngineVelocity(float initVolume);

// The muffle filter's cutoff number c for a key and velocity; the filter's
// coefficient is MuffleCoefficient(c, 1 / rate).
float MuffleCutoff(float key, float velocity, long double muffleLevel, float velMuffleScale, float muffleScale);
float MuffleCoefficient(float cutoff, float invSampleRate);

// Nepers per second the level falls by while the note is held; 0 when Decay
// is at its minimum.
long double HoldRate(float key, long double decayLevel);
// The per-sample multiplier of the level while the note is held; exactly 1
// when Decay is at its minimum.
float HoldCoefficient(float key, long double decayLevel, float invSampleRate);

// The per-sample multiplier after a release; `releaseLevel` is the parameter's level.
float ReleaseCoefficient(float key, float releaseLevel, bool releaseHighNotes, float invSampleRate);

}  // namespace norv
