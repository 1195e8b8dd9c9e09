// Where the artwork puts things on the 400 x 237 panel, in logical units:
// the places of the controls that draw over it and the captioned groups.
#pragma once

#include <array>

#include "engine/Parameters.h"

namespace norv::res {

struct TBox {
    int Left, Top, Width, Height;
};

inline constexpr int kPanelWidth = 400;
inline constexpr int kPanelHeight = 237;
inline constexpr int kCutHeight = 152;  // the panel's height with the keyboard hidden
inline constexpr int kHeaderHeight = 43;  // the information panel covers the rest down to the cut

inline constexpr TBox kSelectorBox{220, 20, 150, 18};
inline constexpr TBox kInfoButtonBox{369, 21, 17, 16};
inline constexpr TBox kKeyboardButtonBox{353, 119, 25, 20};
inline constexpr TBox kKeyboardWell{29, 160, 357, 66};

inline constexpr int kKnobSize = 13;
inline constexpr int kKnobBodyRadius = 9;
inline constexpr double kKnobTickRadius = 11.5;

// A group is a column of knobs under an engraved rule with a legend, split
// by a second rule with a legend for its lower row.
struct TGroupColumn {
    int Left, Right;
    const char* UpperTitle;
    const char* LowerTitle;
};
inline constexpr int kUpperRuleY = 52;
inline constexpr int kLowerRuleY = 104;
inline constexpr std::array<TGroupColumn, 4> kGroupColumns{{
    {14, 98, "ENVELOPE", "SPACE"},
    {109, 193, "EFFECTS", "TONE"},
    {204, 288, "MUFFLE", "HARDNESS"},
    {301, 386, "PITCH", "PLAY"},
}};

// Knob captions by parameter index: above the knobs of the upper row, below
// those of the lower row.
inline constexpr std::array<const char*, kParamCount> kKnobCaptions{
    "DECAY", "RELEASE", "AMOUNT", "VEL", "AMOUNT", "VEL", "VEL SENS", "STEREO",
    "TUNE", "DETUNE", "STRETCH", "TREBLE", "PAN/TREM", "LFO RATE", "DRIVE",
};
inline constexpr const char* kKeyboardButtonCaption = "KEYS";

// The information panel: 400 x 109, captions ending left of the values' column.
inline constexpr int kAboutWidth = 400;
inline constexpr int kAboutHeight = 109;
inline constexpr int kAboutValueLeft = 215;
inline constexpr std::array<int, 7> kAboutRowTops{8, 22, 36, 50, 64, 78, 92};
inline constexpr std::array<const char*, 7> kAboutCaptions{
    "Name", "Author", "Sample rate", "Velocity layers", "Samples", "Range", "File size",
};

}  // namespace norv::res
