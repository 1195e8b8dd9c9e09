#include "resources/Lettering.h"

#include <pango/pangocairo.h>

#include "resources/Paint.h"
#include "toolkit/PanelFonts.h"

namespace norv::res {
namespace {

// Hinting Tahoma at these small sizes spaces letters unevenly ("DRI VE");
// exact outlines at exact positions read better and scale alike.
void Unhinted(PangoContext* context) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
}

class TLayout {
public:
    TLayout(cairo_t* cr, const std::string& text, const TTextStyle& style)
        : layout_(pango_cairo_create_layout(cr)) {
        Unhinted(pango_layout_get_context(layout_));
        pango_layout_context_changed(layout_);
        tk::TFontDescription font(tk::NewPanelFont(style.Pixels, style.Weight));
        pango_layout_set_font_description(layout_, font.get());
        if (style.LetterSpacing != 0) {
            PangoAttrList* attrs = pango_attr_list_new();
            pango_attr_list_insert(attrs, pango_attr_letter_spacing_new(
                                              static_cast<int>(style.LetterSpacing * PANGO_SCALE)));
            pango_layout_set_attributes(layout_, attrs);
            pango_attr_list_unref(attrs);
        }
        pango_layout_set_text(layout_, text.c_str(), static_cast<int>(text.size()));
    }
    ~TLayout() { g_object_unref(layout_); }
    TLayout(const TLayout&) = delete;
    TLayout& operator=(const TLayout&) = delete;

    PangoLayout* Get() const { return layout_; }
    double Width(double letterSpacing) const {
        PangoRectangle logical;
        pango_layout_get_extents(layout_, nullptr, &logical);
        // Pango adds the spacing after the last letter too; it is not part of the text.
        return static_cast<double>(logical.width) / PANGO_SCALE - letterSpacing;
    }

private:
    PangoLayout* layout_;
};

}  // namespace

double DrawText(cairo_t* cr, const std::string& text, double x, double top, TAlign align,
                const TTextStyle& style) {
    TLayout layout(cr, text, style);
    const double width = layout.Width(style.LetterSpacing);
    const double left = align == TAlign::Left ? x : align == TAlign::Centre ? x - width / 2 : x - width;
    cairo_save(cr);
    SetColor(cr, style.Color);
    cairo_move_to(cr, left, top);
    pango_cairo_show_layout(cr, layout.Get());
    cairo_restore(cr);
    return width;
}

double TextWidth(cairo_t* cr, const std::string& text, const TTextStyle& style) {
    return TLayout(cr, text, style).Width(style.LetterSpacing);
}

}  // namespace norv::res
