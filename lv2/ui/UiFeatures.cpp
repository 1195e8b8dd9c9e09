#include "lv2/ui/UiFeatures.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>

#include <cmath>
#include <cstring>

namespace norv::lv2 {
namespace {

// Hosts give numbers as atom:Float mostly, some as atom:Double or atom:Int.
std::optional<double> NumberOption(const LV2_Options_Option& o, LV2_URID_Map& map) {
    if (!o.value) return std::nullopt;
    double v;
    if (o.type == map.map(map.handle, LV2_ATOM__Float) && o.size == sizeof(float)) {
        float f;
        std::memcpy(&f, o.value, sizeof f);
        v = f;
    } else if (o.type == map.map(map.handle, LV2_ATOM__Double) && o.size == sizeof(double)) {
        std::memcpy(&v, o.value, sizeof v);
    } else if (o.type == map.map(map.handle, LV2_ATOM__Int) && o.size == sizeof(int32_t)) {
        int32_t i;
        std::memcpy(&i, o.value, sizeof i);
        v = i;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(v) || v <= 0) return std::nullopt;
    return v;
}

}  // namespace

std::variant<UiFeatures, std::string> ReadUiFeatures(const LV2_Feature* const* features) {
    UiFeatures f;
    bool hasParent = false;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* p = features; p && *p; ++p) {
        const LV2_Feature& feature = **p;
        if (!feature.URI) continue;
        if (std::strcmp(feature.URI, LV2_UI__parent) == 0) {
            f.Parent = reinterpret_cast<uintptr_t>(feature.data);
            hasParent = true;
        } else if (std::strcmp(feature.URI, LV2_URID__map) == 0) {
            f.Map = static_cast<LV2_URID_Map*>(feature.data);
        } else if (std::strcmp(feature.URI, LV2_UI__resize) == 0) {
            f.Resize = static_cast<const LV2UI_Resize*>(feature.data);
        } else if (std::strcmp(feature.URI, LV2_UI__touch) == 0) {
            f.Touch = static_cast<const LV2UI_Touch*>(feature.data);
        } else if (std::strcmp(feature.URI, LV2_OPTIONS__options) == 0) {
            options = static_cast<const LV2_Options_Option*>(feature.data);
        }
    }
    if (!hasParent || f.Parent == 0)
        return std::string("the host gives no parent window (" LV2_UI__parent "); this UI only embeds into one");
    if (!f.Map || !f.Map->map) return std::string("the host gives no URID map (" LV2_URID__map ")");
    if (f.Resize && !f.Resize->ui_resize) f.Resize = nullptr;
    if (f.Touch && !f.Touch->touch) f.Touch = nullptr;

    const LV2_URID scale = f.Map->map(f.Map->handle, LV2_UI__scaleFactor);
    const LV2_URID rate = f.Map->map(f.Map->handle, LV2_PARAMETERS__sampleRate);
    for (const LV2_Options_Option* o = options; o && o->key != 0; ++o) {
        if (o->key == scale) f.Scale = NumberOption(*o, *f.Map);
        if (o->key == rate) f.SampleRate = NumberOption(*o, *f.Map);
    }
    return f;
}

}  // namespace norv::lv2
