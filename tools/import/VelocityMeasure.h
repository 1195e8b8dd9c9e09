// The instrument compares a set's layer limits with its own velocity of a
// voice, not with MIDI velocity: a host starts a note of MIDI velocity v
// with level v / 100, and the instrument's velocity of level x is
// round(100 ln(10 x + 1) / ln 11). MIDI 1..127 thus spans 4..109, and above
// about 34 neighbouring MIDI velocities can share one value.
#pragma once

namespace norv::import {

// The instrument's velocity of a note-on with MIDI velocity `midi` (0..127).
int InstrumentVelocity(int midi);

}  // namespace norv::import
