// A small piano as a SoundFont, for the importer's tests: two zones, two
// velocity layers, sines of known pitch and level, a loop, an unlooped
// sample, a stereo pair, a tuning of +37 cents and an attenuation.
//
//   zone    keys    root  layer (MIDI)  sample                                   loop
//   low     0-59    48    soft 1-80     310 Hz, peak 8000                         frames 8820-13229
//   low     0-59    48    loud 81-127   310 Hz, peak 20000, attenuation 6 dB      frames 8820-13229
//   high    60-127  72    soft 1-80     500 Hz, peak 12000, 0.4 s, +37 cents     none
//   high    60-127  72    loud 81-127   500 Hz stereo: left 12000, right 6000,   frames 8820-13229
//                                        +37 cents
// All at 44100 Hz; the looped samples are 13230 frames long and their loops
// hold whole periods.
#pragma once

#include <string>

#include "support/SoundFontBuilder.h"

namespace norv::test {

struct TestPiano {
    static constexpr int kRate = 44100;
    static constexpr double kLowHz = 310.0;
    static constexpr double kHighHz = 500.0;
    static constexpr double kTuneCents = 37.0;
    static constexpr int kLoopStart = 8820, kLoopEnd = 13230;  // end exclusive
    static constexpr int kUnloopedFrames = 17640;
    static constexpr double kLowSoftPeak = 8000, kLowLoudPeak = 20000, kHighPeak = 12000, kHighRightPeak = 6000;
    static constexpr double kAttenuationDb = 6.0;
};

// The preset "Test Piano" at 0:0, and "Drums" at 128:0 whose zones do not
// follow the keys.
SoundFontRecipe TestPianoRecipe(bool vorbis = false);

}  // namespace norv::test
