// The synthetic piano: what sounds in one note of one layer, as numbers.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "SetLayout.h"

namespace norv::defaultset {

// One string's share of one partial, or one soundboard mode.
struct Partial {
    int number = 0;       // n of partial n; soundboard modes count down from -1
    double freq = 0;      // Hz while the note rings freely
    int loopCycles = 0;   // whole cycles per loop that it settles to before the loop
    double amp = 0;       // initial amplitude
    double phase = 0;     // radians at frame 0
    double fastRate = 0;  // nepers per second of the prompt sound
    double slowRate = 0;  // nepers per second of the aftersound
    double fastShare = 0; // part of amp that decays at fastRate
};

// A burst of band-passed noise.
struct Knock {
    uint64_t seed = 0;
    double level = 0;   // RMS of the unshaped burst, relative to the partials' initial RMS
    double centre = 0;  // Hz, band-pass centre
    double q = 0;
    double delay = 0;   // seconds after the strike
    double decay = 0;   // seconds
};

// What the blow adds besides the strings: the hammer's knock on the
// string, the key landing on the keybed and a low soundboard thump.
struct Hammer {
    Knock felt;
    Knock keybed;
    double thumpLevel = 0;  // peak relative to the partials' initial RMS
    double thumpFreq = 0;   // Hz
    double thumpDecay = 0;  // seconds
};

struct NoteModel {
    int key = 0;
    double blow = 0;         // 0 the softest blow, 1 the hardest
    double fundamental = 0;  // Hz of the first partial, stretched (see StretchCents)
    int onsetFrames = 0;     // raised-cosine rise of the partials
    int settleFrames = 0;    // before loopStart: partials glide to their loop frequencies
    int loopStart = 0;       // a multiple of kRenderBlock
    int loopLength = 0;      // frames; the fundamental makes whole cycles in it
    std::vector<Partial> partials;
    Hammer hammer;
};

// Envelopes and glides are updated once per this many frames.
inline constexpr int kRenderBlock = 64;

double KeyFrequency(double key);
// Stiff-string inharmonicity coefficient B: lowest in the tenor, rising
// steeply toward the treble and gently toward the lowest bass strings.
double Inharmonicity(int key);
// Frequency of partial n when partial 1 sounds at f1: n f0 sqrt(1 + B n^2)
// with f0 chosen so that partial 1 lands on f1.
double PartialFrequency(double f1, double b, int n);
// Where the first partial of `key` is tuned, in cents from equal temperament.
double StretchCents(int key);

NoteModel BuildNoteModel(int key, double blow);

// One component of a note's early tone (50 to 300 ms, past the first knock,
// while the prompt sound still rings): its frequency and its mean power
// there, a unison's beating included.
struct EarlyComponent {
    double freq;
    double power;
};
std::vector<EarlyComponent> EarlyTone(const NoteModel& note);

// The early tone's brightness as a voice plays it through the muffle filter
// of this coefficient, in cents re 1 Hz, by two measures: the power-weighted
// mean frequency, and the RMS frequency, which heeds the highest partials
// more, where harder blows differ most.
struct Brightness {
    double centroid = 0;
    double rmsFrequency = 0;
};
Brightness PlayedBrightness(const std::vector<EarlyComponent>& tone, double coefficient);

// The blow of each layer for `key`, from the loudest (the hardest blow)
// down: where two layers meet, the softer sounds its brightness step darker
// than the louder by one measure and no more by the other, each through the
// muffle filter at its own velocity. Where the softest blow is not dark
// enough, the layer takes it.
std::array<double, kLayerCount> LayerBlows(int key);

}  // namespace norv::defaultset
