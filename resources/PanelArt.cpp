#include "resources/PanelArt.h"

#include <cmath>

#include "resources/Canvas.h"
#include "resources/KnobArt.h"
#include "resources/Lettering.h"
#include "resources/Paint.h"
#include "resources/PanelLayout.h"

namespace norv::res {
namespace {

constexpr TTextStyle kTitleStyle{20, PANGO_WEIGHT_BOLD, 0.4, kTitleColor};
constexpr TTextStyle kSubtitleStyle{8, PANGO_WEIGHT_BOLD, 1.2, Rgb8(150, 162, 166)};
constexpr TTextStyle kLegendStyle{8, PANGO_WEIGHT_BOLD, 1, kEngraving};
constexpr TTextStyle kCaptionStyle{9, PANGO_WEIGHT_NORMAL, 0, kEngraving};
constexpr double kCaptionGap = 13;  // knob centre to the near edge of its caption's line box

void DrawPlate(cairo_t* cr) {
    cairo_rectangle(cr, 0, 0, kPanelWidth, kPanelHeightNoKeyboard);
    FillVertical(cr, kHeaderHeight, kPanelHeightNoKeyboard, Mix(kPanelColor, kWhite, 0.10),
                 Mix(kPanelColor, kBlack, 0.06));
    // Finished edges whether the panel ends here or the keyboard bed follows.
    FillRect(cr, 0, kPanelHeightNoKeyboard - 2, kPanelWidth, 1, kWhite, 0.16);
    FillRect(cr, 0, kPanelHeightNoKeyboard - 1, kPanelWidth, 1, kBlack, 0.55);
    FillRect(cr, 0, kHeaderHeight, 1, kPanelHeightNoKeyboard - kHeaderHeight - 1, kWhite, 0.12);
    FillRect(cr, kPanelWidth - 1, kHeaderHeight, 1, kPanelHeightNoKeyboard - kHeaderHeight - 1, kBlack, 0.2);
}

void DrawRecess(cairo_t* cr, const TBox& b, double margin, double radius) {
    RoundedRect(cr, b.Left - margin, b.Top - margin, b.Width + 2 * margin, b.Height + 2 * margin,
                radius);
    SetColor(cr, kBlack, 0.45);
    cairo_fill(cr);
    RoundedRect(cr, b.Left - margin, b.Top + b.Height, b.Width + 2 * margin, margin + 0.5, radius);
    SetColor(cr, kWhite, 0.10);
    cairo_fill(cr);
}

void DrawHeader(cairo_t* cr) {
    cairo_rectangle(cr, 0, 0, kPanelWidth, kHeaderHeight);
    FillVertical(cr, 0, kHeaderHeight, Mix(kHeaderColor, kWhite, 0.08), Mix(kHeaderColor, kBlack, 0.2));
    FillRect(cr, 0, 0, kPanelWidth, 1, kWhite, 0.10);
    FillRect(cr, 0, kHeaderHeight - 1, kPanelWidth, 1, kBlack, 0.6);

    const double titleWidth = DrawText(cr, "Norv Keys", 14, 9, TAlign::Left, kTitleStyle);
    DrawText(cr, "SAMPLED PIANO", 14 + titleWidth + 10, 19, TAlign::Left, kSubtitleStyle);

    DrawText(cr, "SOUND SET", kSelectorBox.Left + 1, 7, TAlign::Left, kSubtitleStyle);
    DrawRecess(cr, kSelectorBox, 1, 3);
    // The info button is round: centre (8, 8), radius 7 in its image.
    const double cx = kInfoButtonBox.Left + 8, cy = kInfoButtonBox.Top + 8;
    cairo_arc(cr, cx, cy + 0.5, 8.5, 0, 2 * M_PI);
    SetColor(cr, kWhite, 0.10);
    cairo_fill(cr);
    cairo_arc(cr, cx, cy, 8.5, 0, 2 * M_PI);
    SetColor(cr, kBlack, 0.5);
    cairo_fill(cr);
}

// An engraved line with its legend in a gap at the middle.
void DrawRule(cairo_t* cr, int left, int right, int y, const char* title) {
    const double centre = (left + right) / 2.0;
    const double half = TextWidth(cr, title, kLegendStyle) / 2 + 5;
    const double lineY = y - 0.5;  // rows y-1 (dark) and y (light)
    for (auto [x0, x1] : {std::pair<double, double>{left, centre - half}, {centre + half, right}}) {
        FillRect(cr, x0, lineY - 0.5, x1 - x0, 1, kEngraving, 0.7);
        FillRect(cr, x0, lineY + 0.5, x1 - x0, 1, kWhite, 0.22);
    }
    // Short end stops turn the rules into brackets around the group.
    for (double x : {double(left), double(right - 1)}) {
        FillRect(cr, x, lineY - 0.5, 1, 4, kEngraving, 0.7);
    }
    DrawText(cr, title, centre, y - 6, TAlign::Centre, kLegendStyle);
}

void DrawGroups(cairo_t* cr) {
    for (const TGroupColumn& g : kGroupColumns) {
        DrawRule(cr, g.Left, g.Right, kUpperRuleY, g.UpperTitle);
        DrawRule(cr, g.Left, g.Right, kLowerRuleY, g.LowerTitle);
    }
}

void DrawCaption(cairo_t* cr, const char* text, double cx, double cy, bool above) {
    const double lineHeight = kCaptionStyle.Pixels * 1.25;
    const double top = above ? cy - kCaptionGap - lineHeight : cy + kCaptionGap;
    DrawText(cr, text, cx, top, TAlign::Centre, kCaptionStyle);
}

void DrawKnobs(cairo_t* cr) {
    for (int i = 0; i < kParamCount; ++i) {
        const TPlace& k = kKnobPlaces[i];
        const double cx = k.Left + kKnobSize / 2.0, cy = k.Top + kKnobSize / 2.0;
        DrawKnobBody(cr, cx, cy, kParams[i].Min < 0);
        DrawCaption(cr, kKnobCaptions[i], cx, cy, k.Top < kLowerRuleY);
    }
    const TBox& b = kKeyboardButtonBox;
    DrawRecess(cr, b, 1, 4);
    DrawCaption(cr, kKeyboardButtonCaption, b.Left + b.Width / 2.0, b.Top + 6.5, false);
}

void DrawKeyboardBed(cairo_t* cr) {
    const double h = kPanelHeight - kPanelHeightNoKeyboard;
    cairo_rectangle(cr, 0, kPanelHeightNoKeyboard, kPanelWidth, h);
    FillVertical(cr, kPanelHeightNoKeyboard, kPanelHeight, Mix(kBedColor, kWhite, 0.05), Mix(kBedColor, kBlack, 0.25));
    FillRect(cr, 0, kPanelHeight - 1, kPanelWidth, 1, kBlack, 0.5);

    const TBox& w = kKeyboardWell;
    // The keys slide under a strip of felt; the well's edges throw a shadow.
    FillRect(cr, w.Left - 2, w.Top - 5, w.Width + 4, w.Height + 7, kBlack, 0.55);
    FillRect(cr, w.Left - 1, w.Top - 4, w.Width + 2, 4, kFelt);
    FillRect(cr, w.Left - 1, w.Top - 4, w.Width + 2, 1, kWhite, 0.12);
    FillRect(cr, w.Left - 2, w.Top + w.Height + 2, w.Width + 4, 1, kWhite, 0.08);
}

}  // namespace

TImage DrawPanel(int scale) {
    TCanvas canvas(kPanelWidth, kPanelHeight, scale);
    cairo_t* cr = canvas.Cr();
    DrawPlate(cr);
    DrawHeader(cr);
    DrawGroups(cr);
    DrawKnobs(cr);
    DrawKeyboardBed(cr);
    return canvas.Image();
}

}  // namespace norv::res
