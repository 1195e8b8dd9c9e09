#include "resources/Canvas.h"

#include <stdexcept>

namespace norv::res {

TCanvas::TCanvas(int logicalWidth, int logicalHeight, int scale)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, logicalWidth * scale,
                                          logicalHeight * scale)),
      cr_(cairo_create(surface_)),
      scale_(scale) {
    if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
        throw std::runtime_error("cannot make a drawing surface");
    }
    cairo_scale(cr_, scale, scale);
}

TCanvas::~TCanvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

TImage TCanvas::Image() const {
    cairo_surface_flush(surface_);
    const int w = cairo_image_surface_get_width(surface_);
    const int h = cairo_image_surface_get_height(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    TImage image(w, h);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = row[x];
            const uint32_t a = p >> 24;
            if (a == 0 || a == 255) {
                image.At(x, y) = a == 0 ? 0 : p;
                continue;
            }
            auto straight = [a](uint32_t c) { return (c * 255 + a / 2) / a; };
            image.At(x, y) = (a << 24) | (straight((p >> 16) & 0xFF) << 16) |
                             (straight((p >> 8) & 0xFF) << 8) | straight(p & 0xFF);
        }
    }
    return image;
}

}  // namespace norv::res
