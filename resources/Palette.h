// The panel's colours. Stored colours are Windows COLORREF values
// (0x00BBGGRR); the others are chosen to sit with them.
#pragma once

#include <cstdint>

namespace norv::res {

struct TRgb {
    double R, G, B;
};

constexpr TRgb FromColorRef(uint32_t c) {
    return {(c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0, ((c >> 16) & 0xFF) / 255.0};
}
constexpr TRgb Rgb8(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0}; }
constexpr TRgb Mix(TRgb a, TRgb b, double t) {
    return {a.R + (b.R - a.R) * t, a.G + (b.G - a.G) * t, a.B + (b.B - a.B) * t};
}

// The editor's own colours.
inline constexpr TRgb kPanelColor = FromColorRef(9077633);
inline constexpr TRgb kFormColor = FromColorRef(6776408);
inline constexpr TRgb kKnobLineColor = FromColorRef(11511708);
inline constexpr TRgb kKnobPressedColor = FromColorRef(8230648);
inline constexpr TRgb kSelectorColor = FromColorRef(12703700);
inline constexpr TRgb kKbBtnColor = FromColorRef(6709335);
inline constexpr TRgb kKbBtnFontColor = FromColorRef(13025463);
inline constexpr TRgb kLabelColor = FromColorRef(6316128);

inline constexpr TRgb kBlack = Rgb8(0, 0, 0);
inline constexpr TRgb kWhite = Rgb8(255, 255, 255);

// Derived: the dark header and keyboard bed, engraved lettering, knob caps.
inline constexpr TRgb kHeaderColor = Mix(kFormColor, kBlack, 0.45);
inline constexpr TRgb kBedColor = Mix(kFormColor, kBlack, 0.55);
inline constexpr TRgb kEngraving = Rgb8(30, 33, 38);
inline constexpr TRgb kTitleColor = Rgb8(228, 230, 232);
inline constexpr TRgb kKnobCapTop = Rgb8(72, 77, 84);
inline constexpr TRgb kKnobCapBottom = Rgb8(22, 24, 28);
inline constexpr TRgb kFelt = Rgb8(96, 30, 36);
inline constexpr TRgb kAboutColor = Rgb8(223, 224, 219);

}  // namespace norv::res
