// Layout of the default set: key zones, velocity layers, names.
#pragma once

#include <string>
#include <vector>

namespace norv::defaultset {

inline constexpr int kSampleRate = 44100;
inline constexpr int kLowestKey = 21;
inline constexpr int kHighestKey = 108;
inline constexpr int kZoneSpacing = 3;
inline constexpr int kLayerCount = 2;
// Engine velocities up to this play the soft layer. Host level v gives
// velocity 100 * ln(10 v + 1) / ln 11, so 85 splits at MIDI velocity 67:
// mezzo-forte still plays soft, forte plays hard.
inline constexpr int kSoftLayerLimit = 85;
// The last zone reaches every key the engine can ask for.
inline constexpr int kTopHigh = 999;

inline constexpr const char* kSetName = "Norv Grand";
inline constexpr const char* kShortName = "Grand";
inline constexpr const char* kAuthor = "Norv Keys";
inline constexpr const char* kDefinitionFile = "NorvGrand.wti";
inline constexpr const char* kSampleFolder = "NorvGrand";

enum class Layer { Soft = 0, Hard = 1 };

struct Zone {
    int root;
    int high;  // highest key of the zone
};

// Roots every kZoneSpacing keys from kLowestKey to kHighestKey, each zone
// centred on its root.
std::vector<Zone> ZoneLayout();

// "n060_soft.wav", "n060_hard.wav".
std::string SampleFileName(int root, Layer layer);

// The text of the set's definition.
std::string DefinitionText(const std::vector<Zone>& zones);

}  // namespace norv::defaultset
