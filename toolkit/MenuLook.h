// The colours of every popup menu of the process, from two base colours.
#pragma once

#include <cstdint>

namespace norv::tk {

struct TMenuLook {
    uint32_t Light = 13091513;  // the menu's face
    uint32_t Dark = 7695454;    // the highlight and the frame

    uint32_t Face() const { return Light; }
    uint32_t Highlight() const { return Dark; }
    uint32_t Text() const { return 0x000000; }
    uint32_t HighlightText() const { return 0xFFFFFF; }
    uint32_t DisabledText() const;
    uint32_t Separator() const;
};

TMenuLook& MenuLook();
// Both base colours keep their lightness and take `tint`'s hue (HSL), with a
// saturation of min(strength, tint's saturation).
void ColorizeMenus(uint32_t tint, double strength);

}  // namespace norv::tk
