// The RIFF structure of a SoundFont 2 file (and of SF3, whose samples are
// Ogg Vorbis streams): presets, instruments, their zones' generators and the
// sample headers, read from bytes in memory. Every index and size is checked,
// so what comes out can be walked without further bounds tests.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace norv::import {

// Generator operators that the importer reads.
enum SfGenerator : uint16_t {
    kStartAddrsOffset = 0,
    kEndAddrsOffset = 1,
    kStartloopAddrsOffset = 2,
    kEndloopAddrsOffset = 3,
    kStartAddrsCoarseOffset = 4,
    kInitialFilterFc = 8,
    kInitialFilterQ = 9,
    kModEnvToFilterFc = 11,
    kEndAddrsCoarseOffset = 12,
    kPan = 17,
    kDelayModEnv = 25,
    kAttackModEnv = 26,
    kHoldModEnv = 27,
    kDecayModEnv = 28,
    kSustainModEnv = 29,
    kReleaseModEnv = 30,
    kKeynumToModEnvHold = 31,
    kKeynumToModEnvDecay = 32,
    kDelayVolEnv = 33,
    kAttackVolEnv = 34,
    kHoldVolEnv = 35,
    kDecayVolEnv = 36,
    kSustainVolEnv = 37,
    kReleaseVolEnv = 38,
    kKeynumToVolEnvHold = 39,
    kKeynumToVolEnvDecay = 40,
    kInstrument = 41,
    kKeyRange = 43,
    kVelRange = 44,
    kStartloopAddrsCoarseOffset = 45,
    kKeynum = 46,
    kVelocity = 47,
    kInitialAttenuation = 48,
    kEndloopAddrsCoarseOffset = 50,
    kCoarseTune = 51,
    kFineTune = 52,
    kSampleId = 53,
    kSampleModes = 54,
    kScaleTuning = 56,
    kOverridingRootKey = 58,
    kGeneratorCount = 61,
};

// A modulator record: Amount times the transformed Source, times the
// transformed AmountSource, is added to generator Dest.
struct SfModulator {
    uint16_t Source = 0;
    uint16_t Dest = 0;
    int16_t Amount = 0;
    uint16_t AmountSource = 0;
    uint16_t Transform = 0;
    // Modulators that differ only in their amount are the same one: a later
    // level replaces or adds to an earlier one.
    bool SameAs(const SfModulator& o) const {
        return Source == o.Source && Dest == o.Dest && AmountSource == o.AmountSource && Transform == o.Transform;
    }
};

struct SfZone {
    // Amount by operator; Set tells which were given. Ranges keep their two
    // bytes (low, high) in the amount's low and high byte.
    int16_t Amount[kGeneratorCount] = {};
    bool Set[kGeneratorCount] = {};
    std::vector<SfModulator> Mods;
    bool Global = false;

    int Get(SfGenerator g, int fallback) const { return Set[g] ? Amount[g] : fallback; }
    uint16_t Word(SfGenerator g) const { return static_cast<uint16_t>(Amount[g]); }
};

struct SfPreset {
    std::string Name;
    int Program = 0, Bank = 0;
    std::vector<SfZone> Zones;  // a global zone first when there is one
};

struct SfInstrument {
    std::string Name;
    std::vector<SfZone> Zones;
};

enum SfSampleType : uint16_t {
    kMonoSample = 1,
    kRightSample = 2,
    kLeftSample = 4,
    kLinkedSample = 8,
    kVorbisSample = 0x10,
    kRomSample = 0x8000,
};

struct SfSampleHeader {
    std::string Name;
    // SF2: sample points in the smpl chunk. SF3: Start and End are byte
    // offsets of the Ogg stream; the loop counts frames from its first frame.
    uint32_t Start = 0, End = 0, LoopStart = 0, LoopEnd = 0;
    uint32_t Rate = 0;
    uint8_t OriginalPitch = 60;
    int8_t Correction = 0;  // cents
    uint16_t Link = 0;
    uint16_t Type = 0;

    bool Vorbis() const { return (Type & kVorbisSample) != 0; }
};

struct SoundFontFile {
    int VersionMajor = 2, VersionMinor = 1;
    std::string BankName, Engineer;
    std::span<const uint8_t> Smpl;  // 16-bit sample points, or the Ogg streams
    std::span<const uint8_t> Sm24;  // low bytes of 24-bit samples; may be empty
    std::vector<SfPreset> Presets;
    std::vector<SfInstrument> Instruments;
    std::vector<SfSampleHeader> Samples;
};

// Throws ImportError naming `file` and what is wrong (chunk, record,
// generator). The spans point into `bytes`.
SoundFontFile ParseSoundFont(std::span<const uint8_t> bytes, const std::string& file);

// True when the bytes open like a SoundFont ("RIFF" .... "sfbk").
bool LooksLikeSoundFont(std::span<const uint8_t> bytes);

}  // namespace norv::import
