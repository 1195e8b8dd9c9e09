// The synthetic piano: what sounds in one note of one layer, as numbers.
#pragma once

#include <cstdint>
#include <vector>

#include "SetLayout.h"

namespace norv::defaultset {

// One string's share of one partial.
struct Partial {
    int number = 0;       // n of partial n
    double freq = 0;      // Hz while the note rings freely
    int loopCycles = 0;   // whole cycles per loop that it settles to before the loop
    double amp = 0;       // initial amplitude
    double phase = 0;     // radians at frame 0
    double fastRate = 0;  // nepers per second of the prompt sound
    double slowRate = 0;  // nepers per second of the aftersound
    double fastShare = 0; // part of amp that decays at fastRate
};

// The knock of the hammer: a filtered noise burst and a low soundboard thump.
struct Hammer {
    uint64_t noiseSeed = 0;
    double noiseLevel = 0;   // RMS relative to the partials' initial RMS
    double noiseCentre = 0;  // Hz, band-pass centre
    double noiseQ = 0;
    double noiseDecay = 0;   // seconds
    double thumpLevel = 0;   // peak relative to the partials' initial RMS
    double thumpFreq = 0;    // Hz
    double thumpDecay = 0;   // seconds
};

struct NoteModel {
    int key = 0;
    Layer layer = Layer::Soft;
    double fundamental = 0;  // Hz of the first partial, stretched from the key (see StretchFactor)
    int onsetFrames = 0;     // raised-cosine rise of the partials
    int settleFrames = 0;    // before loopStart: partials glide to their loop frequencies
    int loopStart = 0;       // a multiple of kRenderBlock
    int loopLength = 0;      // frames; the fundamental makes whole cycles in it
    std::vector<Partial> partials;
    Hammer hammer;
};

// Envelopes and glides are updated once per this many frames.
inline constexpr int kRenderBlock = 32;

double KeyFrequency(double key);
// Stiff-string inharmonicity coefficient B: lowest in the tenor, rising
// steeply toward the treble and gently toward the lowest bass strings.
double Inharmonicity(int key);
// Frequency of partial n when partial 1 sounds at f1: n f0 sqrt(1 + B n^2)
// with f0 chosen so that partial 1 lands on f1.
double PartialFrequency(double f1, double b, int n);

NoteModel BuildNoteModel(int key, Layer layer);

}  // namespace norv::defaultset
