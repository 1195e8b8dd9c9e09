#include "toolkit/Bitmap.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace norv::tk {
namespace {

uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

// One channel from a pixel through its mask, scaled to 8 bits.
struct Channel {
    uint32_t Mask = 0;
    int Shift = 0, Bits = 0;
    explicit Channel(uint32_t mask = 0) : Mask(mask) {
        if (!mask) return;
        Shift = std::countr_zero(mask);
        Bits = std::popcount(mask);
    }
    uint32_t Of(uint32_t px, uint32_t missing) const {
        if (!Mask || Bits == 0) return missing;
        uint32_t v = (px & Mask) >> Shift;
        uint32_t max = Bits >= 32 ? 0xFFFFFFFFu : (1u << Bits) - 1;
        return static_cast<uint32_t>((static_cast<uint64_t>(v) * 255 + max / 2) / max);
    }
};

}  // namespace

TSurface DecodeBmp(const unsigned char* data, size_t size) {
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') Fail("not a BMP file");
    const uint32_t pixelOffset = U32(data + 10);
    const uint32_t headerSize = U32(data + 14);
    if (headerSize < 40 || 14 + static_cast<uint64_t>(headerSize) > size) Fail("unsupported or truncated BMP header");
    const int32_t width = static_cast<int32_t>(U32(data + 18));
    const int32_t rawHeight = static_cast<int32_t>(U32(data + 22));
    const uint16_t bpp = U16(data + 28);
    const uint32_t compression = U32(data + 30);
    if (width <= 0 || width > 16384 || rawHeight == 0 || rawHeight == INT32_MIN || std::abs(rawHeight) > 16384)
        Fail("BMP size out of range");
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) Fail("unsupported BMP bit depth " + std::to_string(bpp));
    if (compression != 0 && !(compression == 3 && bpp == 32)) Fail("compressed BMP data is not supported");

    Channel r(0x00FF0000), g(0x0000FF00), b(0x000000FF), a;
    if (compression == 3) {
        // Masks follow a 40-byte header, or sit inside a V4/V5 header.
        if (14 + 40 + 12 > size) Fail("truncated BMP masks");
        r = Channel(U32(data + 54));
        g = Channel(U32(data + 58));
        b = Channel(U32(data + 62));
        if (headerSize >= 56 && 14 + 56 <= size) a = Channel(U32(data + 66));
    }

    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        uint32_t colors = U32(data + 46);
        if (colors == 0 || colors > (1u << bpp)) colors = 1u << bpp;
        const uint64_t at = 14 + static_cast<uint64_t>(headerSize);
        if (at + 4ull * colors > size) Fail("truncated BMP palette");
        for (uint32_t i = 0; i < colors; ++i) palette.push_back(U32(data + at + 4 * i) & 0xFFFFFF);
    }

    const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
    if (pixelOffset > size || stride * static_cast<uint64_t>(height) > size - pixelOffset) Fail("truncated BMP pixel data");

    TSurface surface(cairo_image_surface_create(a.Mask ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) Fail("out of memory for a BMP image");
    cairo_surface_flush(surface.get());
    unsigned char* out = cairo_image_surface_get_data(surface.get());
    const int outStride = cairo_image_surface_get_stride(surface.get());
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* row = data + pixelOffset + stride * static_cast<uint64_t>(topDown ? y : height - 1 - y);
        auto* dst = reinterpret_cast<uint32_t*>(out + static_cast<ptrdiff_t>(y) * outStride);
        for (int32_t x = 0; x < width; ++x) {
            uint32_t rgb, alpha = 255;
            if (bpp == 24) {
                const unsigned char* p = row + 3 * x;
                rgb = p[0] | p[1] << 8 | p[2] << 16;
            } else if (bpp == 32) {
                const uint32_t px = U32(row + 4 * x);
                rgb = b.Of(px, 0) | g.Of(px, 0) << 8 | r.Of(px, 0) << 16;
                alpha = a.Of(px, 255);
            } else {
                const int bit = x * bpp;
                const unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                rgb = index < palette.size() ? palette[index] : 0;
            }
            // cairo wants premultiplied alpha.
            auto pre = [alpha](uint32_t c) { return (c * alpha + 127) / 255; };
            dst[x] = alpha << 24 | pre((rgb >> 16) & 0xFF) << 16 | pre((rgb >> 8) & 0xFF) << 8 | pre(rgb & 0xFF);
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return surface;
}

TSurface ReadBmpFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Fail(path + ": cannot open the file");
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        return DecodeBmp(bytes.data(), bytes.size());
    } catch (const std::exception& e) {
        Fail(path + ": " + e.what());
    }
}

TBitmap::TBitmap(TSurface normal, TSurface doubled) : normal_(std::move(normal)), doubled_(std::move(doubled)) {
    if (normal_) {
        width_ = cairo_image_surface_get_width(normal_.get());
        height_ = cairo_image_surface_get_height(normal_.get());
    } else if (doubled_) {
        width_ = cairo_image_surface_get_width(doubled_.get()) / 2;
        height_ = cairo_image_surface_get_height(doubled_.get()) / 2;
    }
}

void TBitmap::DrawPart(cairo_t* cr, double scale, int sx, int sy, int w, int h, int x, int y) const {
    if (Empty() || w <= 0 || h <= 0) return;
    const bool useDoubled = doubled_ && (scale > 1.0 || !normal_);
    cairo_surface_t* s = useDoubled ? doubled_.get() : normal_.get();
    const double density = useDoubled ? 2.0 : 1.0;
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x - sx, y - sy);
    cairo_scale(cr, 1 / density, 1 / density);
    cairo_set_source_surface(cr, s, 0, 0);
    // Pixel for pixel when densities match; smooth otherwise.
    cairo_pattern_set_filter(cairo_get_source(cr), scale * 1 == density ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    cairo_restore(cr);
}

void TBitmap::DrawStretched(cairo_t* cr, double scale, int x, int y, int w, int h) const {
    if (Empty() || w <= 0 || h <= 0) return;
    if (w == width_ && h == height_) return Draw(cr, scale, x, y);
    cairo_save(cr);
    cairo_rectangle(cr, x, y, w, h);
    cairo_clip(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, static_cast<double>(w) / width_, static_cast<double>(h) / height_);
    Draw(cr, scale, 0, 0);
    cairo_restore(cr);
}

TBitmapList::TBitmapList(std::shared_ptr<const TBitmap> strip, int count) : strip_(std::move(strip)), count_(count) {
    if (!strip_ || count_ <= 0) {
        count_ = 0;
        return;
    }
    imageWidth_ = strip_->Width() / count_;
    imageHeight_ = strip_->Height();
}

void TBitmapList::DrawPart(cairo_t* cr, double scale, int index, int sx, int sy, int w, int h, int x, int y) const {
    if (index < 0 || index >= count_) return;
    strip_->DrawPart(cr, scale, index * imageWidth_ + sx, sy, w, h, x, y);
}

void TBitmapList::Draw(cairo_t* cr, double scale, int index, int x, int y, int clipW, int clipH) const {
    DrawPart(cr, scale, index, 0, 0, clipW > 0 ? std::min(clipW, imageWidth_) : imageWidth_,
             clipH > 0 ? std::min(clipH, imageHeight_) : imageHeight_, x, y);
}

}  // namespace norv::tk
