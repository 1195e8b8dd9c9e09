#include "resources/BmpWriter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace norv::res {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr int32_t kPixelsPerMetre = 2835;  // 72 dpi
constexpr uint32_t kSrgbSpace = 0x73524742;  // 'sRGB'

class TLittleEndian {
public:
    explicit TLittleEndian(std::vector<uint8_t>& out) : out_(out) {}
    void U16(uint16_t v) { Bytes(v, 2); }
    void U32(uint32_t v) { Bytes(v, 4); }
    void I32(int32_t v) { Bytes(static_cast<uint32_t>(v), 4); }

private:
    void Bytes(uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    std::vector<uint8_t>& out_;
};

uint32_t RowBytes(int width, int bytesPerPixel) {
    return (static_cast<uint32_t>(width) * bytesPerPixel + 3u) & ~3u;
}

std::vector<uint8_t> Encode(const TImage& image, int bytesPerPixel) {
    const bool v4 = bytesPerPixel == 4;
    const uint32_t headers = kFileHeaderSize + (v4 ? kV4HeaderSize : kInfoHeaderSize);
    const uint32_t rowBytes = RowBytes(image.Width, bytesPerPixel);
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(image.Height);

    std::vector<uint8_t> out;
    out.reserve(headers + imageBytes);
    TLittleEndian le(out);
    le.U16(0x4D42);  // "BM"
    le.U32(headers + imageBytes);
    le.U32(0);
    le.U32(headers);

    le.U32(v4 ? kV4HeaderSize : kInfoHeaderSize);
    le.I32(image.Width);
    le.I32(image.Height);  // positive: bottom-up
    le.U16(1);
    le.U16(static_cast<uint16_t>(bytesPerPixel * 8));
    le.U32(v4 ? kBiBitfields : kBiRgb);
    le.U32(imageBytes);
    le.I32(kPixelsPerMetre);
    le.I32(kPixelsPerMetre);
    le.U32(0);
    le.U32(0);
    if (v4) {
        le.U32(0x00FF0000);
        le.U32(0x0000FF00);
        le.U32(0x000000FF);
        le.U32(0xFF000000);
        le.U32(kSrgbSpace);
        for (int i = 0; i < 12; ++i) le.U32(0);  // endpoints and gamma: unused with sRGB
    }

    for (int y = image.Height - 1; y >= 0; --y) {
        const size_t rowStart = out.size();
        for (int x = 0; x < image.Width; ++x) {
            const uint32_t p = image.At(x, y);
            out.push_back(static_cast<uint8_t>(p));
            out.push_back(static_cast<uint8_t>(p >> 8));
            out.push_back(static_cast<uint8_t>(p >> 16));
            if (v4) out.push_back(static_cast<uint8_t>(p >> 24));
        }
        out.resize(rowStart + rowBytes, 0);
    }
    return out;
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(const TImage& image) { return Encode(image, 3); }

std::vector<uint8_t> EncodeBmp32(const TImage& image) { return Encode(image, 4); }

void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temp = path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) throw std::runtime_error(path + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(temp.c_str());
        throw std::runtime_error(path + ": " + std::strerror(err));
    }
}

}  // namespace norv::res
