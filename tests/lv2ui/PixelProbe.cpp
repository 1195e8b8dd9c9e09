#include "lv2ui/PixelProbe.h"

#include <cstdint>

#include "support/XSession.h"

namespace norv::test {

Surface GrabSurface(const std::string& display, unsigned long window) {
    return {GrabWindow(display, window), cairo_surface_destroy};
}

int DifferingPixelsNear(cairo_surface_t* a, cairo_surface_t* b, int cx, int cy, int radius) {
    const int w = cairo_image_surface_get_width(a), h = cairo_image_surface_get_height(a);
    if (w != cairo_image_surface_get_width(b) || h != cairo_image_surface_get_height(b)) return -1;
    if (cx - radius < 0 || cy - radius < 0 || cx + radius >= w || cy + radius >= h) return -1;
    int n = 0;
    for (int y = cy - radius; y <= cy + radius; ++y) {
        const auto* ra = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(a) + y * cairo_image_surface_get_stride(a));
        const auto* rb = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(b) + y * cairo_image_surface_get_stride(b));
        for (int x = cx - radius; x <= cx + radius; ++x) n += (ra[x] & 0xFFFFFF) != (rb[x] & 0xFFFFFF);
    }
    return n;
}

}  // namespace norv::test
