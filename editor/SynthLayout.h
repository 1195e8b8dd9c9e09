// How the fifteen knobs behave; where they sit is the panel's geometry
// (resources/PanelLayout.h).
#pragma once

#include <array>
#include <cstdint>

#include "engine/Parameters.h"

namespace norv {

// How each knob moves; its range, start and reset values and its hint come
// from the parameter table.
struct TKnobLayout {
    const char* Name;
    uint32_t Options;
    int32_t MoveSpeed;
    bool AdjustColor;
};

// Index = Tag = parameter index.
extern const std::array<TKnobLayout, kParamCount> kKnobLayout;

}  // namespace norv
