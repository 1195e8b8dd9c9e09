// Colours are 0x00BBGGRR values, as the layout stores them.
#pragma once

#include <cairo.h>

#include <cstdint>

namespace norv::tk {

inline double RedOf(uint32_t c) { return (c & 0xFF) / 255.0; }
inline double GreenOf(uint32_t c) { return ((c >> 8) & 0xFF) / 255.0; }
inline double BlueOf(uint32_t c) { return ((c >> 16) & 0xFF) / 255.0; }
inline uint32_t MakeColor(int r, int g, int b) {
    return static_cast<uint32_t>(r & 0xFF) | static_cast<uint32_t>(g & 0xFF) << 8 | static_cast<uint32_t>(b & 0xFF) << 16;
}

void SetSourceColor(cairo_t* cr, uint32_t color, double alpha = 1.0);

// Half-way between two colours, channel by channel, rounded down.
uint32_t MixColors(uint32_t a, uint32_t b);

// `color` keeps its own lightness and takes the hue of `tint`, with a
// saturation of min(strength, saturation of `tint`) (HSL).
uint32_t Colorize(uint32_t color, uint32_t tint, double strength);

}  // namespace norv::tk
