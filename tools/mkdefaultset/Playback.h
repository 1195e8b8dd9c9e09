// How the engine will play the set with its preset: the velocity a MIDI
// note-on becomes, the layer that velocity picks, the voice's level, the
// muffle filter and the decay the engine adds. The generator levels the
// layers against each other through this; the formulas are the engine's own.
#pragma once

#include <cstddef>
#include <vector>

namespace norv::defaultset {

// Engine velocity of a MIDI note-on velocity 1..127: 4 .. 109.
int EngineVelocity(int midiVelocity);

// Layer index that an engine velocity plays.
int LayerOf(int engineVelocity);

// The highest MIDI velocity that plays a layer.
int HighestMidiVelocity(int layer);

// Gain of the voice for a MIDI velocity.
double VoiceLevel(int midiVelocity);

// Coefficient of the engine's muffle filter for a note of `key` at this
// engine velocity and output rate.
double MuffleCoefficient(int engineVelocity, int key, double rate);

// The muffle filter's gain at `frequency`, 1 at 0 Hz.
double MuffleGain(double frequency, double coefficient, double rate);

// x[begin, end) through the muffle filter, from a clear state at `begin`.
std::vector<double> Muffled(const std::vector<double>& x, std::size_t begin, std::size_t end, double coefficient);

// Nepers per second that the engine's decay takes from a held note of `key`.
double EngineDecayRate(int key);

}  // namespace norv::defaultset
