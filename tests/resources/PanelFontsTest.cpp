// The panel font: the family list at an absolute pixel size, and the
// fonts-wine Tahoma found by pango once registered.
#include <gtest/gtest.h>

#include <pango/pangocairo.h>

#include <filesystem>
#include <string>

#include "toolkit/PanelFonts.h"

namespace norv {
namespace {

std::string FamilyUsedFor(const char* text, PangoFontDescription* font) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    cairo_t* cr = cairo_create(surface);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text, -1);
    const auto* run = static_cast<PangoGlyphItem*>(pango_layout_get_line_readonly(layout, 0)->runs->data);
    PangoFontDescription* used = pango_font_describe(run->item->analysis.font);
    std::string family = pango_font_description_get_family(used);
    pango_font_description_free(used);
    g_object_unref(layout);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return family;
}

TEST(PanelFonts, DescriptionNamesTheFamiliesAtAnAbsolutePixelSize) {
    tk::TFontDescription font(tk::NewPanelFont(11, PANGO_WEIGHT_BOLD));
    EXPECT_STREQ(pango_font_description_get_family(font.get()), "Tahoma, DejaVu Sans, WenQuanYi Micro Hei");
    EXPECT_TRUE(pango_font_description_get_size_is_absolute(font.get()));
    EXPECT_EQ(pango_font_description_get_size(font.get()), 11 * PANGO_SCALE);
    EXPECT_EQ(pango_font_description_get_weight(font.get()), PANGO_WEIGHT_BOLD);
}

TEST(PanelFonts, LatinTextIsSetInTahomaOnceRegisteredAndChineseFallsThrough) {
    if (!std::filesystem::exists("/usr/share/wine/fonts/tahoma.ttf")) GTEST_SKIP() << "fonts-wine is not installed";
    tk::RegisterPanelFonts();
    tk::RegisterPanelFonts();  // a second call changes nothing
    tk::TFontDescription font(tk::NewPanelFont(11));
    EXPECT_EQ(FamilyUsedFor("Sample rate", font.get()), "Tahoma");
    EXPECT_NE(FamilyUsedFor("\xE5\x90\x8D\xE7\xA7\xB0", font.get()), "Tahoma");  // 名称
}

}  // namespace
}  // namespace norv
