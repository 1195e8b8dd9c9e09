// Renders one note of the synthetic piano.
#pragma once

#include <vector>

#include "PianoModel.h"

namespace norv::defaultset {

// loopStart + loopLength frames at kSampleRate, not yet scaled to a level.
// From loopStart on every component makes whole cycles per loop at a
// constant amplitude, so the last frame runs on into the loop's first.
std::vector<double> RenderNote(const NoteModel& note);

}  // namespace norv::defaultset
