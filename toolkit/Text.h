// Text through pango. Texts arrive as the system keeps them (code page 936
// or UTF-8) and are drawn as UTF-8.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace norv::tk {

struct TFont {
    int PixelHeight = 11;  // the layout's negative font height
    uint32_t Color = 0;
    bool Bold = false;
};

// Removes the mnemonic marks of a caption: "&&" shows "&", a single "&" is dropped.
std::string StripMnemonics(std::string_view caption);

// Logical width and height of a one-line text.
void MeasureText(cairo_t* cr, std::string_view text, const TFont& font, int& width, int& height);
// One line with its top-left at x, y.
void DrawText(cairo_t* cr, std::string_view text, const TFont& font, double x, double y);
// One line, vertically centred in the band top .. top + height.
void DrawTextCentredV(cairo_t* cr, std::string_view text, const TFont& font, double x, double top, double height);

}  // namespace norv::tk
