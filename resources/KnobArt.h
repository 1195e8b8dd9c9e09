// A knob's body under the knob control, which draws only its pointer line:
// a dark cap, and a scale of dots over 270 degrees with the gap at the bottom.
#pragma once

#include <cairo.h>

namespace norv::res {

// (cx, cy) is the centre of the 13 x 13 control; bipolar knobs mark their
// centre position, the others their start.
void DrawKnobBody(cairo_t* cr, double cx, double cy, bool bipolar);

}  // namespace norv::res
