// Paths the toolkit and the artwork both draw.
#pragma once

#include <cairo.h>

#include <numbers>

namespace norv::tk {

// A rectangle with corners of radius r, as a closed sub-path.
inline void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r) {
    constexpr double pi = std::numbers::pi;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -pi / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, pi / 2);
    cairo_arc(cr, x + r, y + h - r, r, pi / 2, pi);
    cairo_arc(cr, x + r, y + r, r, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

}  // namespace norv::tk
