// The set's overall level (its velocityfactor): loud pedalled chords of
// ordinary playing should come close to full scale at default gain without
// clipping, as the samples' own peaks say nothing of how notes add up.
#pragma once

#include <functional>
#include <vector>

#include "tools/import/PresetFit.h"

namespace norv::import {

struct HeadroomInput {
    // The sample that plays a key at a MIDI velocity, as the set stores it
    // (full scale 1), interleaved in `Channels`, at `Rate`.
    std::function<const std::vector<float>&(int key, int midi)> Sample;
    int Channels = 1;
    double Rate = 44100;
    const PresetFit* Fit = nullptr;
};

// Where those chords peak.
inline constexpr double kChordPeakDbfs = -2.0;
// How much of each sample the chords play.
inline constexpr double kChordSeconds = 3.3;

struct Headroom {
    double VelocityFactor = 1.0;
    double PeakDbfs = 0;  // of the chords at velocityfactor 1
};

Headroom ChooseHeadroom(const HeadroomInput& input);

}  // namespace norv::import
