#include "toolkit/MessageDialogView.h"

#include "toolkit/Shapes.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace norv::tk {
namespace {

// The CJK face first: the system's texts are simplified Chinese.
constexpr const char* kFont = "WenQuanYi Micro Hei, Sans 10";

constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr int kIconGap = 14;
constexpr int kButtonGap = 18;
constexpr int kBottomMargin = 14;
constexpr int kButtonMinWidth = 88;
constexpr int kButtonHeight = 28;
constexpr int kMinWidth = 260;
constexpr int kMaxTextHeight = 360;

// Line breaks stay; other control characters would be drawn as hex boxes.
std::string DrawableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            out += '\n';
        } else if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f) {
            out += ' ';
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

PangoLayout* MakeLayout(cairo_t* cr, const std::string& text) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string(kFont);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, text.c_str(), static_cast<int>(text.size()));
    return layout;
}

void PaintIcon(cairo_t* cr, const TBox& r) {
    const double cx = r.Left + r.Width / 2.0, cy = r.Top + r.Height / 2.0;
    const double radius = r.Width / 2.0 - 0.5;
    cairo_arc(cr, cx, cy, radius, 0, 2 * M_PI);
    cairo_set_source_rgb(cr, 0.80, 0.12, 0.10);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.55, 0.06, 0.05);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
    const double arm = radius * 0.42;
    cairo_move_to(cr, cx - arm, cy - arm);
    cairo_line_to(cr, cx + arm, cy + arm);
    cairo_move_to(cr, cx + arm, cy - arm);
    cairo_line_to(cr, cx - arm, cy + arm);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_set_line_width(cr, 3.5);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
}

}  // namespace

TMessageDialogView::TMessageDialogView(std::string_view utf8Text) {
    // Measuring needs a cairo context; drawing later re-targets the layouts.
    measureSurface_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    measureCr_ = cairo_create(measureSurface_);

    textLayout_ = MakeLayout(measureCr_, DrawableText(utf8Text));
    pango_layout_set_width(textLayout_, kMaxTextWidth * PANGO_SCALE);
    pango_layout_set_wrap(textLayout_, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_height(textLayout_, kMaxTextHeight * PANGO_SCALE);
    pango_layout_set_ellipsize(textLayout_, PANGO_ELLIPSIZE_END);
    buttonLayout_ = MakeLayout(measureCr_, "OK");

    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(textLayout_, &ink, &logical);
    // Wrapped lines can start left of 0 or reach past the width; keep the ink inside.
    const int textWidth = std::max(logical.x + logical.width, ink.x + ink.width) - std::min(0, std::min(logical.x, ink.x));
    const int textHeight = std::max(logical.height, 1);
    pango_layout_get_pixel_extents(buttonLayout_, nullptr, &logical);
    const int buttonWidth = std::max(kButtonMinWidth, logical.width + 32);

    icon_ = {kMargin, kMargin, kIconSize, kIconSize};
    const int textTop = kMargin + std::max(0, (kIconSize - textHeight) / 2);
    text_ = {kMargin + kIconSize + kIconGap, textTop, textWidth, textHeight};
    width_ = std::max({kMinWidth, text_.Left + text_.Width + kMargin, buttonWidth + 2 * kMargin});
    const int contentBottom = std::max(icon_.Top + icon_.Height, text_.Top + text_.Height);
    button_ = {(width_ - buttonWidth) / 2, contentBottom + kButtonGap, buttonWidth, kButtonHeight};
    height_ = button_.Top + button_.Height + kBottomMargin;
}

TMessageDialogView::~TMessageDialogView() {
    g_object_unref(buttonLayout_);
    g_object_unref(textLayout_);
    cairo_destroy(measureCr_);
    cairo_surface_destroy(measureSurface_);
}

int TMessageDialogView::UnknownGlyphs() const { return pango_layout_get_unknown_glyphs_count(textLayout_); }

void TMessageDialogView::Paint(cairo_t* cr, bool buttonDown) const {
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0.94, 0.94, 0.94);
    cairo_paint(cr);

    PaintIcon(cr, icon_);

    pango_cairo_update_layout(cr, textLayout_);
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    cairo_move_to(cr, text_.Left, text_.Top);
    pango_cairo_show_layout(cr, textLayout_);

    // The only button is the default one: Enter presses it, hence the accent frame.
    const TBox& b = button_;
    RoundedRect(cr, b.Left + 0.5, b.Top + 0.5, b.Width - 1, b.Height - 1, 4);
    if (buttonDown)
        cairo_set_source_rgb(cr, 0.78, 0.80, 0.84);
    else
        cairo_set_source_rgb(cr, 0.99, 0.99, 0.99);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0.16, 0.42, 0.80);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);

    pango_cairo_update_layout(cr, buttonLayout_);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(buttonLayout_, nullptr, &logical);
    const int shift = buttonDown ? 1 : 0;
    cairo_set_source_rgb(cr, 0.08, 0.08, 0.08);
    cairo_move_to(cr, b.Left + (b.Width - logical.width) / 2 + shift, b.Top + (b.Height - logical.height) / 2 + shift);
    pango_cairo_show_layout(cr, buttonLayout_);
    cairo_restore(cr);
}

}  // namespace norv::tk
