// A drawn image as the BMP writer takes it: top-down rows of straight
// (not premultiplied) 0xAARRGGBB pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norv::res {

struct TImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;  // Width * Height, row 0 at the top

    TImage() = default;
    TImage(int w, int h) : Width(w), Height(h), Pixels(static_cast<size_t>(w) * h) {}
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
    uint32_t& At(int x, int y) { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

}  // namespace norv::res
