#include "resources/KeyboardArt.h"

#include "resources/Canvas.h"
#include "resources/KeyGeometry.h"
#include "resources/Paint.h"

namespace norv::res {
namespace {

struct TKeyLook {
    TRgb FaceTop, FaceBottom, LipTop, LipBottom;
    double LipHeight;
    double FeltShadow;  // how far the felt's shadow reaches down the key
};

// A pressed key sinks: a shorter front, a deeper shadow, and the warm tint of
// the knobs' pressed line.
constexpr TKeyLook kWhiteRest{Rgb8(230, 229, 222), Rgb8(251, 250, 246), Rgb8(224, 222, 214),
                              Rgb8(190, 188, 181), 5, 5};
constexpr TKeyLook kWhitePressed{Rgb8(200, 176, 164), Rgb8(224, 202, 190), Rgb8(196, 172, 160),
                                 Rgb8(170, 148, 137), 3, 9};
constexpr TKeyLook kBlackRest{Rgb8(44, 44, 48), Rgb8(26, 26, 29), Rgb8(84, 84, 90),
                              Rgb8(50, 50, 54), 5, 0};
constexpr TKeyLook kBlackPressed{Rgb8(96, 56, 48), Rgb8(66, 38, 33), Rgb8(110, 70, 62),
                                 Rgb8(72, 44, 38), 2, 0};

constexpr TRgb kKeyGap = Rgb8(104, 102, 98);
constexpr TRgb kBlackEdge = Rgb8(12, 12, 14);

void DrawWhiteKey(cairo_t* cr, const TKeyRect& r, const TKeyLook& look) {
    const double w = r.Right - r.Left - 1;  // the last column is the gap to the next key
    const double lipTop = r.Bottom - look.LipHeight;
    cairo_rectangle(cr, r.Left, r.Top, w, lipTop - r.Top);
    FillVertical(cr, r.Top, lipTop, look.FaceTop, look.FaceBottom);
    cairo_rectangle(cr, r.Left, lipTop, w, look.LipHeight);
    FillVertical(cr, lipTop, r.Bottom, look.LipTop, look.LipBottom);
    FillRect(cr, r.Left, r.Top, 1, lipTop - r.Top, kWhite, 0.5);
    FillRect(cr, r.Right - 1, r.Top, 1, r.Bottom - r.Top, kKeyGap);
    ShadeVertical(cr, r.Left, r.Top, w + 1, look.FeltShadow, 0.45, 0.0);
}

void DrawBlackKeyShadow(cairo_t* cr, const TKeyRect& r) {
    // Falls on the white keys beside and below the black key.
    FillRect(cr, r.Right, r.Top, 1, r.Bottom - r.Top + 1, kBlack, 0.22);
    FillRect(cr, r.Left + 1, r.Bottom, r.Right - r.Left, 1, kBlack, 0.22);
    FillRect(cr, r.Left + 1, r.Bottom + 1, r.Right - r.Left, 1, kBlack, 0.08);
}

void DrawBlackKey(cairo_t* cr, const TKeyRect& r, const TKeyLook& look) {
    const double w = r.Right - r.Left;
    const double lipTop = r.Bottom - 1 - look.LipHeight;
    FillRect(cr, r.Left, r.Top, w, r.Bottom - r.Top, kBlackEdge);
    cairo_rectangle(cr, r.Left + 1, r.Top, w - 2, lipTop - r.Top);
    FillVertical(cr, r.Top, lipTop, look.FaceTop, look.FaceBottom);
    cairo_rectangle(cr, r.Left + 1, lipTop, w - 2, look.LipHeight);
    FillVertical(cr, lipTop, lipTop + look.LipHeight, look.LipTop, look.LipBottom);
    FillRect(cr, r.Left + 1, r.Top, 1, lipTop - r.Top, kWhite, 0.10);
}

void DrawOctave(cairo_t* cr, bool pressed) {
    const auto rects = OctaveKeyRects(kWhiteKeyWidth, kBlackKeyWidth, kBlackKeyOffset,
                                      kBlackKeyHeight, kOctaveHeight);
    for (int k = 0; k < 12; ++k)
        if (!IsBlackKey(k)) DrawWhiteKey(cr, rects[k], pressed ? kWhitePressed : kWhiteRest);
    for (int k = 0; k < 12; ++k)
        if (IsBlackKey(k)) DrawBlackKeyShadow(cr, rects[k]);
    for (int k = 0; k < 12; ++k)
        if (IsBlackKey(k)) DrawBlackKey(cr, rects[k], pressed ? kBlackPressed : kBlackRest);
}

}  // namespace

TImage DrawTestKeyboard(int scale) {
    return DrawStrip(kOctaveWidth, kOctaveHeight, 2, scale,
                     [](cairo_t* cr, int i) { DrawOctave(cr, i == 1); });
}

}  // namespace norv::res
