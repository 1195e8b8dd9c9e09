// Whole BMP files from drawn images: 24-bit BI_RGB for the opaque artwork,
// 32-bit BI_BITFIELDS with a straight alpha channel for the bitmap lists.
// Both bottom-up, rows padded to 4 bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "resources/Image.h"

namespace norv::res {

// Alpha is dropped: the image is meant to be opaque.
std::vector<uint8_t> EncodeBmp24(const TImage& image);

// BITMAPV4HEADER with masks R 0x00FF0000, G 0x0000FF00, B 0x000000FF, A 0xFF000000.
std::vector<uint8_t> EncodeBmp32(const TImage& image);

// Writes through a temporary name and a rename, so no half file is left;
// throws std::runtime_error naming the file.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace norv::res
