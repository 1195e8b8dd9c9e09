// Small cairo helpers shared by the artwork images.
#pragma once

#include "toolkit/Shapes.h"

#include <cairo.h>

#include "resources/Palette.h"

namespace norv::res {

void SetColor(cairo_t* cr, TRgb c, double alpha = 1.0);
using tk::RoundedRect;
// Fills the current path with a top-to-bottom gradient over y0..y1; clears the path.
void FillVertical(cairo_t* cr, double y0, double y1, TRgb top, TRgb bottom, double alpha = 1.0);
// Black from alphaTop at y down to alphaBottom at y + h.
void ShadeVertical(cairo_t* cr, double x, double y, double w, double h, double alphaTop,
                   double alphaBottom);
void FillRect(cairo_t* cr, double x, double y, double w, double h, TRgb c, double alpha = 1.0);

}  // namespace norv::res
