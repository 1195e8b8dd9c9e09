#include "resources/Paint.h"

#include <cmath>

namespace norv::res {

void SetColor(cairo_t* cr, TRgb c, double alpha) { cairo_set_source_rgba(cr, c.R, c.G, c.B, alpha); }

void FillVertical(cairo_t* cr, double y0, double y1, TRgb top, TRgb bottom, double alpha) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y0, 0, y1);
    cairo_pattern_add_color_stop_rgba(g, 0, top.R, top.G, top.B, alpha);
    cairo_pattern_add_color_stop_rgba(g, 1, bottom.R, bottom.G, bottom.B, alpha);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

void ShadeVertical(cairo_t* cr, double x, double y, double w, double h, double alphaTop,
                   double alphaBottom) {
    cairo_pattern_t* g = cairo_pattern_create_linear(0, y, 0, y + h);
    cairo_pattern_add_color_stop_rgba(g, 0, 0, 0, 0, alphaTop);
    cairo_pattern_add_color_stop_rgba(g, 1, 0, 0, 0, alphaBottom);
    cairo_rectangle(cr, x, y, w, h);
    cairo_set_source(cr, g);
    cairo_fill(cr);
    cairo_pattern_destroy(g);
}

void FillRect(cairo_t* cr, double x, double y, double w, double h, TRgb c, double alpha) {
    cairo_rectangle(cr, x, y, w, h);
    SetColor(cr, c, alpha);
    cairo_fill(cr);
}

}  // namespace norv::res
