#include "support/TestPiano.h"

namespace norv::test {
namespace {

using P = TestPiano;

enum : uint16_t {
    kSampleModes = 54, kSampleId = 53, kKeyRange = 43, kVelRange = 44, kAttenuation = 48, kFineTune = 52,
    kInstrument = 41, kScaleTuning = 56,
};

SfSampleRecipe Looped(const std::string& name, double hz, double peak, int root, uint16_t type = 1, uint16_t link = 0) {
    SfSampleRecipe s{name, SinePoints(hz, P::kRate, P::kLoopEnd, peak), P::kRate, root, 0, P::kLoopStart, P::kLoopEnd,
                   type, link};
    return s;
}

}  // namespace

SoundFontRecipe TestPianoRecipe(bool vorbis) {
    SoundFontRecipe recipe;
    recipe.Vorbis = vorbis;
    recipe.Samples = {
        Looped("low soft", P::kLowHz, P::kLowSoftPeak, 48),
        Looped("low loud", P::kLowHz, P::kLowLoudPeak, 48),
        {"high soft", SinePoints(P::kHighHz, P::kRate, P::kUnloopedFrames, P::kHighPeak), P::kRate, 72, 0, 0, 0, 1, 0},
        Looped("high loud L", P::kHighHz, P::kHighPeak, 72, 4, 4),
        Looped("high loud R", P::kHighHz, P::kHighRightPeak, 72, 2, 3),
    };
    const auto zone = [](int loKey, int hiKey, int loVel, int hiVel, int sample, bool looped, int attenuation = 0,
                         int fine = 0) {
        return SfZoneRecipe{{SfGen::Range(kKeyRange, loKey, hiKey), SfGen::Range(kVelRange, loVel, hiVel),
                           SfGen::Value(kAttenuation, attenuation), SfGen::Value(kFineTune, fine),
                           SfGen::Value(kSampleModes, looped ? 1 : 0), SfGen::Value(kSampleId, sample)}};
    };
    const int tune = static_cast<int>(P::kTuneCents);
    recipe.Instruments = {
        {"Piano",
         {zone(0, 59, 1, 80, 0, true), zone(0, 59, 81, 127, 1, true, static_cast<int>(10 * P::kAttenuationDb)),
          zone(60, 127, 1, 80, 2, false, 0, tune), zone(60, 127, 81, 127, 3, true, 0, tune),
          zone(60, 127, 81, 127, 4, true, 0, tune)}},
        {"Kit", {SfZoneRecipe{{SfGen::Value(kScaleTuning, 0), SfGen::Value(kSampleId, 2)}}}},
    };
    recipe.Presets = {
        {"Drums", 128, 0, {SfZoneRecipe{{SfGen::Value(kInstrument, 1)}}}},
        {"Test Piano", 0, 0, {SfZoneRecipe{{SfGen::Value(kInstrument, 0)}}}},
    };
    return recipe;
}

}  // namespace norv::test
