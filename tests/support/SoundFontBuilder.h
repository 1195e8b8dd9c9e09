// SoundFont files (SF2, or SF3 with Ogg Vorbis samples) built by tests from
// a description: samples, instruments and presets with their generators.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norv::test {

struct SfGen {
    uint16_t Oper = 0;
    uint16_t Amount = 0;
    static SfGen Value(uint16_t oper, int amount) { return {oper, static_cast<uint16_t>(amount)}; }
    static SfGen Range(uint16_t oper, int lo, int hi) { return {oper, static_cast<uint16_t>(lo | (hi << 8))}; }
};

struct SfSampleRecipe {
    std::string Name;
    std::vector<int16_t> Points;
    int Rate = 44100;
    int Root = 60;
    int Correction = 0;  // cents
    uint32_t LoopStart = 0, LoopEnd = 0;  // from the sample's first point; LoopEnd exclusive
    uint16_t Type = 1;   // 1 mono, 2 right, 4 left
    uint16_t Link = 0;
};

struct SfModRecipe {
    uint16_t Source = 0, Dest = 0;
    int16_t Amount = 0;
    uint16_t AmountSource = 0, Transform = 0;
};

struct SfZoneRecipe {
    std::vector<SfGen> Gens;  // the terminal generator (instrument, sampleID) last, as the format asks
    std::vector<SfModRecipe> Mods = {};
};

struct SfInstrumentRecipe {
    std::string Name;
    std::vector<SfZoneRecipe> Zones;
};

struct SfPresetRecipe {
    std::string Name;
    int Bank = 0, Program = 0;
    std::vector<SfZoneRecipe> Zones;
};

struct SoundFontRecipe {
    std::vector<SfSampleRecipe> Samples;
    std::vector<SfInstrumentRecipe> Instruments;
    std::vector<SfPresetRecipe> Presets;
    bool Vorbis = false;  // SF3: each sample an Ogg Vorbis stream
};

std::string BuildSoundFont(const SoundFontRecipe& recipe);

// A sine of `hz` at `rate`, peak `amplitude` (full scale 32767).
std::vector<int16_t> SinePoints(double hz, int rate, int frames, double amplitude);

}  // namespace norv::test
