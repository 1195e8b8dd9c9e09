// Everything the generator draws: the two artwork files beside the
// instrument and the four bitmap lists compiled into it, each at scale 1 and 2.
#pragma once

#include <array>
#include <string>

#include "resources/AboutArt.h"
#include "resources/ControlArt.h"
#include "resources/KeyboardArt.h"
#include "resources/PanelArt.h"

namespace norv::res {

inline constexpr std::array<int, 2> kScales{1, 2};

struct TArtworkFile {
    const char* BaseName;
    TImage (*Draw)(int scale);
};
inline constexpr std::array<TArtworkFile, 2> kArtworkFiles{{
    {"back", DrawPanel},
    {"about", DrawAbout},
}};

// "back" at scale 2 is "back@2x.bmp".
inline std::string ArtworkFileName(const char* baseName, int scale) {
    return std::string(baseName) + (scale == 1 ? "" : "@" + std::to_string(scale) + "x") + ".bmp";
}

struct TListArt {
    const char* Symbol;  // as declared in EmbeddedLists.h
    int Width, Height, Count;  // one image, logical units
    TImage (*Draw)(int scale);
};
inline constexpr std::array<TListArt, 4> kListArt{{
    {"kKbBtnIL", 29, 27, 2, DrawKeyboardButton},
    {"kTestKbIL", 119, 66, 2, DrawTestKeyboard},
    {"kViewSelectorIL", 151, 18, 2, DrawViewSelector},
    {"kInfoBtnIL", 17, 16, 2, DrawInfoButton},
}};

}  // namespace norv::res
