#include "toolkit/PanelFonts.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>

#include <mutex>

namespace norv::tk {
namespace {

constexpr const char* kTahomaFiles[] = {
    "/usr/share/wine/fonts/tahoma.ttf",
    "/usr/share/wine/fonts/tahomabd.ttf",
};

void AddFontFiles() {
    bool added = false;
    for (const char* file : kTahomaFiles) {
        const auto* name = reinterpret_cast<const FcChar8*>(file);
        // FcConfigAppFontAddFile also fails for a file that does not exist.
        if (FcConfigAppFontAddFile(nullptr, name)) added = true;
    }
    // A pango font map made earlier keeps the font list it read then.
    if (added) pango_cairo_font_map_set_default(nullptr);
}

}  // namespace

void RegisterPanelFonts() {
    static std::once_flag once;
    std::call_once(once, AddFontFiles);
}

PangoFontDescription* NewPanelFont(double pixels, PangoWeight weight) {
    RegisterPanelFonts();
    PangoFontDescription* d = pango_font_description_new();
    pango_font_description_set_family(d, kPanelFontFamilies);
    pango_font_description_set_absolute_size(d, pixels * PANGO_SCALE);
    pango_font_description_set_weight(d, weight);
    return d;
}

}  // namespace norv::tk
