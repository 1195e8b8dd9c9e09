// One sample of the set made from a region's frames: the range the region
// plays, in the set's channels and rate, its tuning remainder and gain baked
// in, a loop that repeats seamlessly at the end of the data, or, without a
// loop, a short fade so that the end never clicks.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/import/NoteShape.h"
#include "tools/import/SourceRegion.h"

namespace norv::import {

struct BakeRequest {
    FrameRange Frames;  // of the decoded sample
    bool Looped = false;
    FrameRange Loop;        // within Frames when Looped
    double ShiftCents = 0;  // the result sounds this much higher at the same speed
    double GainDb = 0;
    double SourceRate = 44100;
    double Rate = 44100;  // the set's
    int Channels = 1;     // the set's: 1, or 2 (a mono source is doubled)
};

struct BakedSample {
    std::vector<float> Frames;  // interleaved, the set's channels
    int Channels = 1;
    bool Looped = false;
    int64_t LoopStart = 0, LoopEnd = 0;  // LoopEnd inclusive, the last frame of the data
    int64_t FrameCount() const { return static_cast<int64_t>(Frames.size()) / Channels; }
};

// The fade at the end of an unlooped sample.
inline constexpr double kEndFadeSeconds = 0.005;
// A resampled loop spans at least this many frames (whole repeats of the
// source's loop), so rounding its length to whole frames moves its pitch by
// at most half a frame in this many: 0.21 cents.
inline constexpr int64_t kMinResampledLoop = 4096;

// `source` holds `sourceChannels` interleaved channels.
BakedSample BakeSample(const std::vector<float>& source, int sourceChannels, const BakeRequest& request);

// The envelope's fall from the start, carried by the data up to the loop,
// whose level it then holds. A sample without a loop carries all of it.
void ApplyEnvelope(BakedSample& sample, const NoteShape& envelope, double rate);
// The fall the data carries `seconds` after its start, in dB.
double CarriedFallDb(const NoteShape& envelope, double loopSeconds, double seconds);

// The one-pole low-passes a sample may carry, half an octave apart (Hz; 0: none).
inline constexpr std::array<double, 10> kBakedCutoffs = {0, 8000, 5657, 4000, 2828, 2000, 1414, 1000, 707, 500};
double OnePoleCoefficient(double cutoffHz, double rate);
// Runs the low-pass over the data; through the loop as it repeats, so that
// the loop stays seamless.
void ApplyLowPass(BakedSample& sample, double cutoffHz, double rate);

}  // namespace norv::import
