#include "toolkit/MenuLook.h"

#include "toolkit/Color.h"

namespace norv::tk {

uint32_t TMenuLook::DisabledText() const { return MixColors(Light, Dark); }
uint32_t TMenuLook::Separator() const { return MixColors(Light, Dark); }

TMenuLook& MenuLook() {
    static TMenuLook look;
    return look;
}

void ColorizeMenus(uint32_t tint, double strength) {
    TMenuLook base;
    MenuLook().Light = Colorize(base.Light, tint, strength);
    MenuLook().Dark = Colorize(base.Dark, tint, strength);
}

}  // namespace norv::tk
