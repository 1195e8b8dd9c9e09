// How a source plays one note of a region, from its start: the level, the
// low-pass filter, the envelope while held and after the release. This is
// what a set's preset and data must reproduce for the set to sound like its
// source; SoundFont and SFZ readers describe their regions by it.
#pragma once

#include <functional>

namespace norv::import {

struct NoteShape {
    double GainDb = 0;  // on the sample as stored, velocity's share included
    // A two-pole low-pass; no filter when CutoffHz is 0.
    double CutoffHz = 0;
    double Q = 0.70710678;     // linear
    double FilterGain = 1.0;   // the source's level correction for its resonance
    // The level holds this long, then falls at DecayDbPerSecond down to
    // FloorDb below the start.
    double HoldSeconds = 1e9;
    double DecayDbPerSecond = 0;
    double FloorDb = 1e9;
    // After the note-off; 0: the source does not say.
    double ReleaseDbPerSecond = 0;

    // How far the level has fallen `seconds` after the start, in dB (>= 0).
    double FallDb(double seconds) const;
};

// The shape of the note at MIDI key and velocity 1..127.
using NoteShaper = std::function<NoteShape(int key, int velocity)>;

}  // namespace norv::import
