// The editor's bitmap lists, drawn at build time and compiled into the
// instrument. Each is a whole 32-bit BMP file (BITMAPV4HEADER, BI_BITFIELDS,
// straight alpha, bottom-up) holding Count images side by side: image i at
// x = i * (width / Count).
#pragma once

#include <cstddef>

namespace norv::res {

struct TEmbeddedBitmap {
    const unsigned char* Data;
    size_t Size;
    int Count;
};

// Index 0: scale 1, index 1: scale 2.
extern const TEmbeddedBitmap kKbBtnIL[2], kTestKbIL[2], kViewSelectorIL[2], kInfoBtnIL[2];

}  // namespace norv::res
