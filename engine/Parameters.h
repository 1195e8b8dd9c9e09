// The fifteen parameters, declared once: what the instance stores, what the
// editor's knobs show, what command lines and plug-in descriptions call them,
// and which working values each one drives. Read-only; any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace norv {

struct TWorkingValues;

inline constexpr int kParamCount = 15;

enum ParamIndex : int32_t {
    kDecay = 0,
    kRelease = 1,
    kHardness = 2,
    kVelHard = 3,
    kMuffle = 4,
    kVelMuffle = 5,
    kVelSens = 6,
    kStereo = 7,
    kTune = 8,
    kDetune = 9,
    kStretch = 10,
    kTreble = 11,
    kPanTrem = 12,
    kLFORate = 13,
    kOverdrive = 14,
};

struct TParamInfo {
    // As the host reads it (in code page 936 there, at most 14 bytes); the
    // knob's hint is "|" followed by it. UTF-8.
    const char* Name;
    // A short English name for command lines and plug-in descriptions.
    const char* ShortName;
    int32_t Min, Max;
    int32_t Initial;  // the knob's value when the editor is made: the parameter's default
    int32_t Reset;    // where the knob's reset entry puts it
    // The value text at knob position v, UTF-8.
    std::string (*Text)(const TParamInfo& p, int32_t v);
    // Recomputes the working values this parameter drives from its level;
    // nullptr for the three that the voices read directly.
    void (*Derive)(TWorkingValues& w, long double level);
};

extern const std::array<TParamInfo, kParamCount> kParams;

// The normalised level (value - Min) / (Max - Min) as the instance stores it.
float ParamLevelOf(int32_t index, int32_t value);

// The value in the knob's range that the host's 0..65536 scale gives.
int32_t ParamFromHostScale(int32_t index, int32_t hostValue);

// The level the sound uses. Values far past a knob's end (from a saved state
// or a host) are stored as they are, but their level is held this many
// ranges past either end, so that no gain in the chain can overflow; values
// a person sets on purpose stay well inside.
inline constexpr long double kLevelReach = 16.0L;
long double SoundLevel(float level);

}  // namespace norv
