// A cairo image to draw one artwork image on, in logical units at a scale
// (logical units x scale = pixels), so scale 2 is drawn natively, not upscaled.
#pragma once

#include <cairo.h>

#include "resources/Image.h"

namespace norv::res {

class TCanvas {
public:
    TCanvas(int logicalWidth, int logicalHeight, int scale);
    ~TCanvas();
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    cairo_t* Cr() const { return cr_; }
    int Scale() const { return scale_; }

    // The pixels drawn so far, alpha made straight again.
    TImage Image() const;

private:
    cairo_surface_t* surface_;
    cairo_t* cr_;
    int scale_;
};

// The image of count cells of w x h logical units side by side, cell i drawn
// by draw(cr, i) with its origin at the cell's top-left corner.
template <typename Draw>
TImage DrawStrip(int w, int h, int count, int scale, Draw draw) {
    TCanvas canvas(w * count, h, scale);
    for (int i = 0; i < count; ++i) {
        cairo_save(canvas.Cr());
        cairo_rectangle(canvas.Cr(), i * w, 0, w, h);
        cairo_clip(canvas.Cr());
        cairo_translate(canvas.Cr(), i * w, 0);
        draw(canvas.Cr(), i);
        cairo_restore(canvas.Cr());
    }
    return canvas.Image();
}

}  // namespace norv::res
