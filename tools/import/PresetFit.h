// The preset an imported set plays with, and the gain of each of its
// samples, chosen so that the instrument at default knobs sounds like the
// source: the source's decay (the instrument adds none of its own where the
// recording carries it), release, level and brightness against velocity,
// its tuning and stereo image left as recorded.
//
// Brightness goes through the muffle knobs: they follow velocity
// continuously as the source's velocity-to-cutoff does, where a filter baked
// into each layer would jump at every split. Only where the source is darker
// than the knobs can make a sample at any velocity does the sample carry a
// low-pass of its own.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/import/NoteShape.h"
#include "tools/import/SampleSpectrum.h"

namespace norv::import {

struct FitZone {
    int Key = 60;              // the key the zone is judged by
    std::vector<int> Outputs;  // the sample each layer plays, softest first
};

struct FitOutput {
    BandSpectrum Spectrum;  // of the sample as baked, at the set's rate
    int Root = 60;          // the key at which it sounds as recorded
    // The source's envelope that the data carries up to its loop.
    NoteShape Envelope;
    double LoopSeconds = 1e300;
};

struct PresetFitInput {
    std::vector<FitZone> Zones;
    std::vector<int> Limits;  // the set's velocity limits, layer 0's first
    std::vector<FitOutput> Outputs;
    double Rate = 44100;  // the set's
    bool Stereo = false;
    // How the source plays a key at a MIDI velocity, and which of the set's
    // samples holds the recording it plays there (-1: none does, judge by
    // the one the set plays); empty when it plays nothing there.
    struct SourceNote {
        NoteShape Shape;
        int Output = -1;
    };
    std::function<std::optional<SourceNote>(int key, int velocity)> Source;
};

struct PresetChoice {
    int Parameter = 0;  // index into the parameter table
    int Value = 0;      // in the knob's range
    std::string From;   // what it was fitted to, for the import's summary
};

struct PresetFit {
    std::vector<PresetChoice> Choices;
    std::vector<double> OutputGainDb;    // per output, before the set's normalisation
    std::vector<double> OutputCutoffHz;  // per output: the one-pole low-pass it carries; 0: none
    bool ReleaseHighNotes = false;
    // The knob values as the instrument sees them, for what follows the fit.
    int KnobValue(int parameter) const;
};

// The host rate the fit judges filters and decays at.
inline constexpr double kFitRate = 48000.0;

PresetFit FitPreset(const PresetFitInput& input);

// The engine velocity's layer for MIDI velocity `midi`, as the instrument picks it.
int LayerFor(const std::vector<int>& limits, int midi);

}  // namespace norv::import
