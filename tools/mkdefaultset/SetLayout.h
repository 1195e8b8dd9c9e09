// Layout of the default set: key zones, velocity layers, the preset, names.
#pragma once

#include <array>
#include <string>
#include <vector>

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

// One velocity layer: the highest engine velocity it plays and how bright
// it sounds, as a fraction of the key's span from its softest blow to its
// hardest (PianoModel's LayerBlows finds the blow).
struct LayerSpec {
    int topVelocity;
    double brightness;
};

// The engine velocity of MIDI velocity m is about 100 ln(m/10 + 1) / ln 11:
// 1, 2 and 3 give 4, 8 and 11. The voice's level rises as the velocity to
// the power VelSens sets, steeply where m is small, so those three get
// layers of their own that keep the steps between them small. Above them
// the layers split the engine velocities evenly and the brightness in
// nearly even steps, a little smaller at the bottom, where the muffle
// filter opening from its floor adds most within each layer.
inline constexpr std::array<LayerSpec, 11> kLayers = {{
    {4, 0.00},    // MIDI 1
    {8, 0.03},    // 2
    {11, 0.06},   // 3
    {26, 0.09},   // 4-8
    {38, 0.19},   // 9-15
    {50, 0.31},   // 16-23
    {62, 0.44},   // 24-34
    {74, 0.58},   // 35-49
    {86, 0.72},   // 50-69
    {98, 0.86},   // 70-96
    {999, 1.00},  // 97-127
}};
inline constexpr int kLayerCount = static_cast<int>(kLayers.size());

// The set's preset, as fractions of the knobs' ranges (each an exact knob step).
struct PresetValue {
    int index;
    double fraction;
};
inline constexpr int kDecayParam = 0;
inline constexpr int kMuffleParam = 4;
inline constexpr int kVelMuffleParam = 5;
inline constexpr int kVelSensParam = 6;
inline constexpr std::array<PresetValue, 4> kPreset = {{
    // The slowest decay the engine has: the samples carry the prompt sound,
    // the engine the aftersound, longer in the bass than in the treble.
    {kDecayParam, 1.0},
    // Muffle cutoff 140 + 1.55 (velocity - 64): at the key's floor up to
    // about velocity 25, fully open at the top.
    {kMuffleParam, 0.75},
    {kVelMuffleParam, 0.557},
    // Level exponent 0.25 + 5 x 0.08 = 0.65.
    {kVelSensParam, 0.08},
}};

struct Zone {
    int root;
    int high;  // highest key of the zone
};

// Roots every kZoneSpacing keys from kLowestKey to kHighestKey, each zone
// centred on its root.
std::vector<Zone> ZoneLayout();

// "n060_v01.wav" (softest) ... "n060_v11.wav".
std::string SampleFileName(int root, int layer);

// The text of the set's definition.
std::string DefinitionText(const std::vector<Zone>& zones);

}  // namespace norv::defaultset
