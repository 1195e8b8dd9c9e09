// The panel's geometry in logical units, read by the editor form that lays
// its controls out, by the artwork drawn under them and by whoever shows the
// panel: its sizes, every control's box, the knobs' places, the captioned
// groups of the artwork.
#pragma once

#include <array>

#include "engine/Parameters.h"

namespace norv::res {

struct TBox {
    int Left, Top, Width, Height;
};

struct TPlace {
    int Left, Top;
};

inline constexpr int kPanelWidth = 400;
inline constexpr int kPanelHeight = 237;
// The height with the keyboard hidden: the keyboard's well starts below it.
inline constexpr int kPanelHeightNoKeyboard = 152;
// The header holds the selector; the information panel covers the rest down to the cut.
inline constexpr int kHeaderHeight = 43;

inline constexpr TBox kSelectorBox{220, 20, 150, 18};
inline constexpr TBox kInfoButtonBox{369, 21, 17, 16};
// The progress bar where the form first puts it, and over the selector while a set loads.
inline constexpr TBox kProgressBox{85, 9, 106, 13};
inline constexpr TBox kLoadingProgressBox{218, 22, 131, 14};
inline constexpr TBox kKeyboardButtonBox{353, 119, 25, 20};
inline constexpr TBox kKeyboardWell{29, 160, 357, 66};
// Inside the well: ten octaves of 119 pixels, four of them left of it, so it shows keys 48 to 83.
inline constexpr TBox kKeyboardBox{-476, 0, 1190, 66};

// Knob places by parameter index (= Tag): the top row at 76, the bottom row at 119.
inline constexpr int kKnobSize = 13;
inline constexpr std::array<TPlace, kParamCount> kKnobPlaces{{
    {28, 76}, {71, 76}, {261, 119}, {218, 119}, {261, 76}, {218, 76}, {315, 119}, {71, 119},
    {315, 76}, {356, 76}, {166, 119}, {123, 119}, {28, 119}, {166, 76}, {123, 76},
}};
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

// The information panel, under the header, down to the cut; captions end
// left of the values' column.
inline constexpr TBox kAboutBox{0, kHeaderHeight, kPanelWidth, kPanelHeightNoKeyboard - kHeaderHeight};
inline constexpr TPlace kVersionPlace{12, 2};
inline constexpr int kAboutValueLeft = 215;
inline constexpr std::array<int, 7> kAboutRowTops{8, 22, 36, 50, 64, 78, 92};
inline constexpr std::array<const char*, 7> kAboutCaptions{
    "Name", "Author", "Sample rate", "Velocity layers", "Samples", "Range", "File size",
};

}  // namespace norv::res
