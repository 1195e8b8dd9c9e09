// Layout of the default set: key zones, velocity layers, the preset, names.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/Parameters.h"

namespace norv::defaultset {

inline constexpr int kSampleRate = 44100;
inline constexpr int kLowestKey = 21;
inline constexpr int kHighestKey = 108;
inline constexpr int kZoneSpacing = 3;
// The last zone reaches every key the engine can ask for.
inline constexpr int kTopHigh = 999;

inline constexpr const char* kSetName = "Norv Grand";
inline constexpr const char* kShortName = "Grand";
inline constexpr const char* kAuthor = "Norv Keys";
inline constexpr const char* kDefinitionFile = "NorvGrand.wti";
inline constexpr const char* kSampleFolder = "NorvGrand";

// One velocity layer: the highest engine velocity it plays and how much
// darker it sounds than the layer above where they meet, in cents of the
// early tone's brightness as the muffle filter lets it through
// (PianoModel's LayerBlows finds the blow).
struct LayerSpec {
    int topVelocity;
    double brightnessStep;
};

// The engine velocity of MIDI velocity m is about 100 ln(m/10 + 1) / ln 11.
// The voice's level follows m itself (VelSens below), which steps by 1.6 dB
// or more below m = 6, so 1 to 5 get layers of their own, with small steps
// between them. A grand's level spans about 36 dB from velocity 13 to 127,
// the voice curve 20: each split adds what its step allows (DefaultSet), so
// six splits sit above 30, about evenly in log m. Each brightness step
// stays below what a listener hears as a jump.
inline constexpr std::array<LayerSpec, 12> kLayers = {{
    {4, 30},   // MIDI 1
    {8, 30},   // 2
    {11, 30},  // 3
    {14, 30},  // 4
    {17, 40},  // 5
    {58, 90},  // 6-30
    {65, 90},  // 31-38
    {74, 90},  // 39-49
    {82, 90},  // 50-62
    {91, 90},  // 63-79
    {99, 90},  // 80-98
    {999, 0},  // 99-127
}};
inline constexpr int kLayerCount = static_cast<int>(kLayers.size());

// The set's preset, as fractions of the knobs' ranges (each an exact knob step).
struct PresetValue {
    int index;
    double fraction;
};
inline constexpr std::array<PresetValue, 4> kPreset = {{
    // The slowest decay the engine has: the samples carry the prompt sound,
    // the engine the aftersound, longer in the bass than in the treble.
    {norv::kDecay, 1.0},
    // Muffle cutoff 80 + 2.89 (velocity - 64): at every key's floor up to
    // MIDI 30, fully open at 127, so soft notes sound much darker than loud.
    {norv::kMuffle, 0.435},
    {norv::kVelMuffle, 0.76},
    // Level exponent 0.25 + 5 x 0.15 = 1: the voice's level in proportion
    // to the velocity.
    {norv::kVelSens, 0.15},
}};

struct Zone {
    int root;
    int high;  // highest key of the zone
};

// Roots every kZoneSpacing keys from kLowestKey to kHighestKey, each zone
// centred on its root.
std::vector<Zone> ZoneLayout();

// "n060_v01.wav" (softest) ... "n060_v12.wav".
std::string SampleFileName(int root, int layer);

// The text of the set's definition.
std::string DefinitionText(const std::vector<Zone>& zones);

}  // namespace norv::defaultset
