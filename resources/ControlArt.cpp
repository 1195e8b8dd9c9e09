#include "resources/ControlArt.h"

#include <cmath>

#include "resources/Canvas.h"
#include "resources/Paint.h"

namespace norv::res {
namespace {

constexpr TRgb kEdge = Rgb8(26, 29, 32);
constexpr TRgb kIconDark = Rgb8(36, 40, 44);

// The part of the 29 x 27 image that the 25 x 20 button shows, whichever way
// the toolkit rounds the half pixel of the vertical centring.
constexpr double kBtnX = 3, kBtnY = 4, kBtnW = 23, kBtnH = 19;

void DrawKeysIcon(cairo_t* cr, TRgb keys, TRgb gaps) {
    constexpr double x0 = 9, y0 = 8, keyW = 3, h = 9;
    FillRect(cr, x0, y0, 4 * keyW, h, keys);
    for (int i = 1; i < 4; ++i) FillRect(cr, x0 + i * keyW - 1, y0, 1, h, gaps);
    for (int i = 1; i < 4; ++i) FillRect(cr, x0 + i * keyW - 1, y0, 2, 5, gaps);
}

void DrawKbButtonImage(cairo_t* cr, bool down) {
    RoundedRect(cr, kBtnX, kBtnY, kBtnW, kBtnH, 3);
    SetColor(cr, kEdge);
    cairo_fill(cr);
    RoundedRect(cr, kBtnX + 1, kBtnY + 1, kBtnW - 2, kBtnH - 2, 2);
    const TRgb top = down ? Mix(kKbBtnColor, kBlack, 0.45) : Mix(kKbBtnColor, kWhite, 0.18);
    const TRgb bottom = down ? Mix(kKbBtnColor, kBlack, 0.15) : Mix(kKbBtnColor, kBlack, 0.25);
    FillVertical(cr, kBtnY + 1, kBtnY + kBtnH - 1, top, bottom);
    if (!down) FillRect(cr, kBtnX + 2, kBtnY + 1, kBtnW - 4, 1, kWhite, 0.22);
    DrawKeysIcon(cr, down ? kTitleColor : kKbBtnFontColor, down ? kEdge : Mix(kKbBtnColor, kBlack, 0.3));
    // The lamp: lit while the keyboard is shown.
    FillRect(cr, 11, 19, 8, 1, down ? kKnobPressedColor : Mix(kKbBtnColor, kBlack, 0.4));
}

void DrawInfoButtonImage(cairo_t* cr, bool down) {
    constexpr double cx = 8, cy = 8, r = 7;
    cairo_arc(cr, cx, cy, r, 0, 2 * M_PI);
    SetColor(cr, kEdge);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, r - 1, 0, 2 * M_PI);
    if (down)
        FillVertical(cr, cy - r, cy + r, kKnobPressedColor, Mix(kKnobPressedColor, kBlack, 0.25));
    else
        FillVertical(cr, cy - r, cy + r, Rgb8(92, 100, 106), Rgb8(50, 56, 60));
    const TRgb glyph = down ? kIconDark : kTitleColor;
    FillRect(cr, 7, 3, 2, 2, glyph);
    FillRect(cr, 7, 6, 2, 7, glyph);
}

// Hovered, the field lights up and its edge takes the warm colour of a pressed knob.
void DrawSelectorImage(cairo_t* cr, bool hot) {
    constexpr double w = 150, h = 18, arrowX = 134;
    RoundedRect(cr, 0, 0, w, h, 2.5);
    SetColor(cr, hot ? Mix(kKnobPressedColor, kBlack, 0.45) : kEdge);
    cairo_fill(cr);
    RoundedRect(cr, 1, 1, w - 2, h - 2, 1.5);
    const TRgb top = Mix(kSelectorColor, kWhite, hot ? 0.7 : 0.3);
    const TRgb bottom = Mix(kSelectorColor, kWhite, hot ? 0.4 : 0.0);
    FillVertical(cr, 1, h - 1, top, bottom);
    FillRect(cr, 2, 1, w - 4, 1, kWhite, 0.5);
    FillRect(cr, arrowX - 1, 3, 1, h - 6, kBlack, 0.28);
    FillRect(cr, arrowX, 3, 1, h - 6, kWhite, 0.5);
    cairo_move_to(cr, arrowX + 4, 7);
    cairo_line_to(cr, arrowX + 11, 7);
    cairo_line_to(cr, arrowX + 7.5, 11);
    cairo_close_path(cr);
    SetColor(cr, hot ? Mix(kKnobPressedColor, kBlack, 0.35) : kIconDark);
    cairo_fill(cr);
}

}  // namespace

TImage DrawKeyboardButton(int scale) {
    return DrawStrip(29, 27, 2, scale, [](cairo_t* cr, int i) { DrawKbButtonImage(cr, i == 1); });
}

TImage DrawInfoButton(int scale) {
    return DrawStrip(17, 16, 2, scale, [](cairo_t* cr, int i) { DrawInfoButtonImage(cr, i == 1); });
}

TImage DrawViewSelector(int scale) {
    return DrawStrip(151, 18, 2, scale, [](cairo_t* cr, int i) { DrawSelectorImage(cr, i == 1); });
}

}  // namespace norv::res
