#include "toolkit/Color.h"

#include <algorithm>
#include <cmath>

namespace norv::tk {
namespace {

struct Hsl {
    double H, S, L;  // H in [0, 1)
};

Hsl ToHsl(uint32_t c) {
    const double r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
    const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
    Hsl out{0, 0, (hi + lo) / 2};
    const double d = hi - lo;
    if (d <= 0) return out;
    out.S = out.L > 0.5 ? d / (2 - hi - lo) : d / (hi + lo);
    double h;
    if (hi == r)
        h = (g - b) / d + (g < b ? 6 : 0);
    else if (hi == g)
        h = (b - r) / d + 2;
    else
        h = (r - g) / d + 4;
    out.H = h / 6;
    return out;
}

double HueChannel(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 0.5) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
}

uint32_t FromHsl(const Hsl& c) {
    auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    if (c.S <= 0) return MakeColor(byte(c.L), byte(c.L), byte(c.L));
    const double q = c.L < 0.5 ? c.L * (1 + c.S) : c.L + c.S - c.L * c.S;
    const double p = 2 * c.L - q;
    return MakeColor(byte(HueChannel(p, q, c.H + 1.0 / 3)), byte(HueChannel(p, q, c.H)),
                     byte(HueChannel(p, q, c.H - 1.0 / 3)));
}

}  // namespace

void SetSourceColor(cairo_t* cr, uint32_t color, double alpha) {
    cairo_set_source_rgba(cr, RedOf(color), GreenOf(color), BlueOf(color), alpha);
}

uint32_t MixColors(uint32_t a, uint32_t b) {
    auto half = [&](int shift) { return static_cast<int>((((a >> shift) & 0xFF) + ((b >> shift) & 0xFF)) / 2); };
    return MakeColor(half(0), half(8), half(16));
}

uint32_t Colorize(uint32_t color, uint32_t tint, double strength) {
    const Hsl t = ToHsl(tint);
    Hsl c = ToHsl(color);
    c.H = t.H;
    c.S = std::min(strength, t.S);
    return FromHsl(c);
}

}  // namespace norv::tk
