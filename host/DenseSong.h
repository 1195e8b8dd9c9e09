// A dense piece for timing renders at high polyphony: the sustain pedal down
// throughout, a chord of eight notes every 100 ms, each key held for a second,
// spread over keys 30..99 with varied velocities. About 120 voices sound at
// once when none is stolen.
#pragma once

#include "host/MidiWriter.h"

namespace norv::host {

// `seconds` of chords (rounded to whole chords, at least one); the pedal
// lifts after the last chord.
MidiWriter DenseSong(double seconds);

}  // namespace norv::host
