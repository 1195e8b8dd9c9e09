#include "BmpProbe.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace norv::test {
namespace {

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

TBmp ParseBmp(const uint8_t* d, size_t size) {
    if (size < 54 || d[0] != 'B' || d[1] != 'M') throw std::runtime_error("not a BMP file");
    TBmp b;
    b.FileSize = U32(d + 2);
    b.PixelOffset = U32(d + 10);
    b.HeaderSize = U32(d + 14);
    b.Width = static_cast<int32_t>(U32(d + 18));
    b.Height = static_cast<int32_t>(U32(d + 22));
    b.BitCount = U16(d + 28);
    b.Compression = U32(d + 30);
    b.ImageSize = U32(d + 34);
    if (b.HeaderSize >= 108)
        for (int i = 0; i < 4; ++i) b.Masks[i] = U32(d + 54 + 4 * i);
    if (b.BitCount != 24 && b.BitCount != 32) throw std::runtime_error("unexpected bit count");
    const int bytes = b.BitCount / 8;
    const size_t rowBytes = (static_cast<size_t>(b.Width) * bytes + 3) & ~size_t{3};
    if (b.PixelOffset + rowBytes * b.Rows() > size) throw std::runtime_error("BMP file too short");
    b.Pixels.resize(static_cast<size_t>(b.Width) * b.Rows());
    for (int y = 0; y < b.Rows(); ++y) {
        const int stored = b.Height > 0 ? b.Rows() - 1 - y : y;
        const uint8_t* row = d + b.PixelOffset + rowBytes * stored;
        for (int x = 0; x < b.Width; ++x) {
            const uint8_t* p = row + x * bytes;
            const uint32_t a = bytes == 4 ? p[3] : 0xFF;
            b.Pixels[static_cast<size_t>(y) * b.Width + x] = a << 24 | p[2] << 16 | p[1] << 8 | p[0];
        }
    }
    return b;
}

TBmp ReadBmpFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(path + ": cannot open");
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseBmp(bytes.data(), bytes.size());
}

}  // namespace norv::test
