#include "resources/AboutArt.h"

#include "resources/Canvas.h"
#include "resources/Lettering.h"
#include "resources/Paint.h"
#include "resources/PanelLayout.h"

namespace norv::res {
namespace {

// The toolkit's labels: Tahoma 11 px in the labels' grey, so captions and values line up.
constexpr TTextStyle kFactStyle{11, PANGO_WEIGHT_NORMAL, 0, kLabelColor};
constexpr TTextStyle kTitleStyle{18, PANGO_WEIGHT_BOLD, 0.4, Rgb8(44, 48, 54)};
constexpr TTextStyle kTaglineStyle{11, PANGO_WEIGHT_NORMAL, 0, kLabelColor};
constexpr TTextStyle kHintStyle{8, PANGO_WEIGHT_BOLD, 1, Mix(kLabelColor, kAboutColor, 0.35)};
constexpr double kDividerX = 124;
constexpr double kCaptionRight = kAboutValueLeft - 8;

void DrawBackground(cairo_t* cr) {
    cairo_rectangle(cr, 0, 0, kAboutBox.Width, kAboutBox.Height);
    FillVertical(cr, 0, kAboutBox.Height, Mix(kAboutColor, kWhite, 0.35), kAboutColor);
    FillRect(cr, 0, 0, kAboutBox.Width, 1, kWhite, 0.8);
    FillRect(cr, 0, kAboutBox.Height - 1, kAboutBox.Width, 1, kBlack, 0.55);
    FillRect(cr, kDividerX, 8, 1, kAboutBox.Height - 16, kBlack, 0.14);
    FillRect(cr, kDividerX + 1, 8, 1, kAboutBox.Height - 16, kWhite, 0.7);
}

// A small octave as the instrument's mark.
void DrawMark(cairo_t* cr, double x, double y) {
    constexpr double keyW = 10, h = 20, blackH = 12;
    RoundedRect(cr, x - 2, y - 2, 7 * keyW + 4, h + 4, 2);
    SetColor(cr, kHeaderColor);
    cairo_fill(cr);
    FillRect(cr, x, y, 7 * keyW, h, Rgb8(246, 245, 240));
    for (int i = 1; i < 7; ++i) FillRect(cr, x + i * keyW - 1, y, 1, h, Rgb8(150, 150, 146));
    for (int i : {1, 2, 4, 5, 6}) FillRect(cr, x + i * keyW - 3.5, y, 6, blackH, Rgb8(28, 30, 34));
    FillRect(cr, x, y, 7 * keyW, 2, kFelt);
}

void DrawTitle(cairo_t* cr) {
    DrawText(cr, "Norv Keys", 14, 22, TAlign::Left, kTitleStyle);
    DrawText(cr, "Sampled piano", 15, 45, TAlign::Left, kTaglineStyle);
    DrawMark(cr, 16, 64);
    DrawText(cr, "CLICK TO CLOSE", 14, 92, TAlign::Left, kHintStyle);
}

void DrawFacts(cairo_t* cr) {
    for (size_t i = 0; i < kAboutRowTops.size(); ++i) {
        const double top = kAboutRowTops[i];
        if (i % 2 == 0) {
            RoundedRect(cr, kDividerX + 8, top, kAboutBox.Width - kDividerX - 16, 14, 2);
            SetColor(cr, kBlack, 0.045);
            cairo_fill(cr);
        }
        DrawText(cr, kAboutCaptions[i], kCaptionRight, top, TAlign::Right, kFactStyle);
    }
}

}  // namespace

TImage DrawAbout(int scale) {
    TCanvas canvas(kAboutBox.Width, kAboutBox.Height, scale);
    DrawBackground(canvas.Cr());
    DrawTitle(canvas.Cr());
    DrawFacts(canvas.Cr());
    return canvas.Image();
}

}  // namespace norv::res
