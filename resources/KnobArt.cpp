#include "resources/KnobArt.h"

#include <cmath>

#include "resources/Paint.h"
#include "resources/PanelLayout.h"

namespace norv::res {
namespace {

constexpr int kTicks = 11;
constexpr double kStartAngle = 0.75 * M_PI;  // lower left; cairo's angles turn clockwise
constexpr double kSweep = 1.5 * M_PI;

void DrawScale(cairo_t* cr, double cx, double cy, bool bipolar) {
    const int marked = bipolar ? kTicks / 2 : 0;
    for (int i = 0; i < kTicks; ++i) {
        const double a = kStartAngle + kSweep * i / (kTicks - 1);
        const bool big = i == marked || i == 0 || i == kTicks - 1;
        cairo_arc(cr, cx + kKnobTickRadius * std::cos(a), cy + kKnobTickRadius * std::sin(a),
                  big ? 1.1 : 0.75, 0, 2 * M_PI);
        SetColor(cr, kEngraving, big ? 0.95 : 0.7);
        cairo_fill(cr);
    }
}

void DrawCap(cairo_t* cr, double cx, double cy) {
    const double r = kKnobBodyRadius;
    cairo_arc(cr, cx, cy + 1, r + 0.6, 0, 2 * M_PI);
    SetColor(cr, kBlack, 0.3);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    SetColor(cr, Rgb8(14, 15, 18));
    cairo_fill(cr);
    // The skirt catches the light at the top, the face is a shade flatter.
    cairo_arc(cr, cx, cy, r - 0.8, 0, 2 * M_PI);
    FillVertical(cr, cy - r, cy + r, kKnobCapTop, kKnobCapBottom);
    cairo_arc(cr, cx, cy, r - 2.6, 0, 2 * M_PI);
    FillVertical(cr, cy - r, cy + r, Mix(kKnobCapBottom, kKnobCapTop, 0.35),
                 Mix(kKnobCapTop, kKnobCapBottom, 0.35));
}

}  // namespace

void DrawKnobBody(cairo_t* cr, double cx, double cy, bool bipolar) {
    DrawScale(cr, cx, cy, bipolar);
    DrawCap(cr, cx, cy);
}

}  // namespace norv::res
