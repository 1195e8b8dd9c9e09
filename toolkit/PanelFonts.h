// The panel's font: Tahoma at 11 px, from the fonts-wine package when it is
// installed, otherwise DejaVu Sans; CJK texts fall through to WenQuanYi.
#pragma once

#include <pango/pango.h>

#include <memory>

namespace norv::tk {

inline constexpr const char* kPanelFontFamilies = "Tahoma, DejaVu Sans, WenQuanYi Micro Hei";
inline constexpr double kPanelFontPixels = 11.0;

// Makes the installed Tahoma files known to fontconfig, once per process; a
// missing file is skipped silently. Any thread; call it before text is laid
// out (the calling thread's pango font map is refreshed, other threads' are not).
void RegisterPanelFonts();

// The panel's family list at an absolute size in user-space pixels (so a
// cairo scale of 2 draws it twice as large). Registers the fonts first.
// The caller frees it with pango_font_description_free (or holds it in a
// TFontDescription).
PangoFontDescription* NewPanelFont(double pixels, PangoWeight weight = PANGO_WEIGHT_NORMAL);

struct TFontDescriptionFree {
    void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};
using TFontDescription = std::unique_ptr<PangoFontDescription, TFontDescriptionFree>;

}  // namespace norv::tk
