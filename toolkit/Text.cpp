#include "toolkit/Text.h"

#include <pango/pangocairo.h>

#include <memory>

#include "base/Cp936.h"
#include "toolkit/Color.h"
#include "toolkit/PanelFonts.h"

namespace norv::tk {
namespace {

struct LayoutDeleter {
    void operator()(PangoLayout* l) const { g_object_unref(l); }
};

std::unique_ptr<PangoLayout, LayoutDeleter> MakeLayout(cairo_t* cr, std::string_view text, const TFont& font) {
    const TFontDescription desc(NewPanelFont(font.PixelHeight, font.Bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL));
    std::unique_ptr<PangoLayout, LayoutDeleter> layout(pango_cairo_create_layout(cr));
    pango_layout_set_font_description(layout.get(), desc.get());
    const std::string utf8 = DisplayText(text);
    pango_layout_set_text(layout.get(), utf8.data(), static_cast<int>(utf8.size()));
    return layout;
}

}  // namespace

std::string StripMnemonics(std::string_view caption) {
    std::string out;
    out.reserve(caption.size());
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            out += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

void MeasureText(cairo_t* cr, std::string_view text, const TFont& font, int& width, int& height) {
    auto layout = MakeLayout(cr, text, font);
    pango_layout_get_pixel_size(layout.get(), &width, &height);
}

void DrawText(cairo_t* cr, std::string_view text, const TFont& font, double x, double y) {
    auto layout = MakeLayout(cr, text, font);
    cairo_save(cr);
    SetSourceColor(cr, font.Color);
    cairo_move_to(cr, x, y);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

void DrawTextCentredV(cairo_t* cr, std::string_view text, const TFont& font, double x, double top, double height) {
    auto layout = MakeLayout(cr, text, font);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout.get(), &w, &h);
    cairo_save(cr);
    SetSourceColor(cr, font.Color);
    cairo_move_to(cr, x, top + (height - h) / 2.0);
    pango_cairo_show_layout(cr, layout.get());
    cairo_restore(cr);
}

}  // namespace norv::tk
