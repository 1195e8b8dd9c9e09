// The editor's stored layout: the fifteen knobs and their settings.
#pragma once

#include <array>
#include <cstdint>

#include "engine/Parameters.h"

namespace norv {

// Where each knob sits and how it moves; its range, start and reset values
// and its hint come from the parameter table.
struct TKnobLayout {
    const char* Name;
    int Left, Top;
    uint32_t Options;
    int32_t MoveSpeed;
    bool AdjustColor;
};

// Index = Tag = parameter index.
extern const std::array<TKnobLayout, kParamCount> kKnobLayout;

inline constexpr int kPanelWidth = 400;
inline constexpr int kPanelHeight = 237;
inline constexpr int kPanelHeightNoKeyboard = 152;

}  // namespace norv
