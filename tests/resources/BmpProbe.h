// A small BMP reader for the tests: the header fields they check and the
// pixels, top-down, as straight 0xAARRGGBB (opaque for 24-bit files).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norv::test {

struct TBmp {
    uint32_t FileSize = 0, PixelOffset = 0, HeaderSize = 0, Compression = 0, ImageSize = 0;
    int32_t Width = 0, Height = 0;  // Height as stored: positive is bottom-up
    uint16_t BitCount = 0;
    uint32_t Masks[4] = {};  // R, G, B, A of a BI_BITFIELDS file
    std::vector<uint32_t> Pixels;

    int Rows() const { return Height < 0 ? -Height : Height; }
    uint32_t At(int x, int y) const { return Pixels[static_cast<size_t>(y) * Width + x]; }
};

// Throws std::runtime_error on anything it cannot read.
TBmp ParseBmp(const uint8_t* data, size_t size);
TBmp ReadBmpFile(const std::string& path);

inline int Red(uint32_t p) { return (p >> 16) & 0xFF; }
inline int Green(uint32_t p) { return (p >> 8) & 0xFF; }
inline int Blue(uint32_t p) { return p & 0xFF; }
inline int Alpha(uint32_t p) { return p >> 24; }
inline int Luma(uint32_t p) { return (Red(p) * 3 + Green(p) * 6 + Blue(p)) / 10; }

}  // namespace norv::test
