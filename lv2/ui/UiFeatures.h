// What an LV2 host hands the UI at instantiation, read into one record.
#pragma once

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace norv::lv2 {

struct UiFeatures {
    uintptr_t Parent = 0;               // ui:parent, an X window id
    LV2_URID_Map* Map = nullptr;        // urid:map
    const LV2UI_Resize* Resize = nullptr;  // ui:resize, optional
    const LV2UI_Touch* Touch = nullptr;    // ui:touch, optional
    std::optional<double> Scale;        // ui:scaleFactor from the options
    std::optional<double> SampleRate;   // param:sampleRate from the options
};

// The features, or a message naming the one that is missing. Any thread.
std::variant<UiFeatures, std::string> ReadUiFeatures(const LV2_Feature* const* features);

}  // namespace norv::lv2
