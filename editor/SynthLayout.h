// The editor's stored layout: the fifteen knobs and their settings.
#pragma once

#include <array>
#include <cstdint>

namespace norv {

struct TKnobLayout {
    const char* Name;
    int Left, Top;
    uint32_t Options;
    int32_t MoveSpeed;
    int32_t Min, Max;
    int32_t Value;         // at load; becomes the parameter's default
    int32_t DefaultValue;  // the knob's reset value
    bool AdjustColor;
    const char* Hint;      // UTF-8; the long part is the parameter's name
};

// Index = Tag = parameter index.
extern const std::array<TKnobLayout, 15> kKnobLayout;

inline constexpr int kPanelWidth = 400;
inline constexpr int kPanelHeight = 237;
inline constexpr int kPanelHeightNoKeyboard = 152;

}  // namespace norv
