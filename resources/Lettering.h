// Text on the artwork, in the panel's fonts, placed by the top of its line box.
#pragma once

#include <cairo.h>
#include <pango/pango.h>

#include <string>

#include "resources/Palette.h"

namespace norv::res {

enum class TAlign { Left, Centre, Right };

struct TTextStyle {
    double Pixels = 11.0;
    PangoWeight Weight = PANGO_WEIGHT_NORMAL;
    double LetterSpacing = 0.0;  // extra logical units between letters
    TRgb Color = kBlack;
};

// Draws text whose line box starts at top; x is its left edge, centre or
// right edge by align. Returns the text's logical width.
double DrawText(cairo_t* cr, const std::string& text, double x, double top, TAlign align,
                const TTextStyle& style);

double TextWidth(cairo_t* cr, const std::string& text, const TTextStyle& style);

}  // namespace norv::res
