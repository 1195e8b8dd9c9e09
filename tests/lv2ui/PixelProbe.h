// Pictures of windows compared around a point: did a control redraw?
#pragma once

#include <cairo.h>

#include <memory>
#include <string>

namespace norv::test {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// The window as the server shows it; holds nullptr when it cannot be read.
Surface GrabSurface(const std::string& display, unsigned long window);

// Pixels that differ within the square of `radius` around (cx, cy); -1 when
// the pictures differ in size or the square is not inside them.
int DifferingPixelsNear(cairo_surface_t* a, cairo_surface_t* b, int cx, int cy, int radius);

}  // namespace norv::test
