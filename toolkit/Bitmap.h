// Pictures: BMP files read into cairo images, each picture held at one or
// two pixel densities, and bitmap lists (a strip of equally sized images).
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace norv::tk {

struct TSurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using TSurface = std::unique_ptr<cairo_surface_t, TSurfaceDeleter>;

// Decodes an uncompressed BMP (1, 4, 8, 24 or 32 bits, BI_RGB or
// BI_BITFIELDS, either row order). Throws std::runtime_error with the reason.
TSurface DecodeBmp(const unsigned char* data, size_t size);
// Reads a BMP file; the error names the file.
TSurface ReadBmpFile(const std::string& path);

// A picture of Width x Height logical pixels, held at density 1 and, when
// available, 2. Drawing picks the sharpest density for the target's scale.
class TBitmap {
public:
    TBitmap() = default;
    TBitmap(TSurface normal, TSurface doubled);

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Empty() const { return !normal_ && !doubled_; }
    cairo_surface_t* Normal() const { return normal_.get(); }
    cairo_surface_t* Doubled() const { return doubled_.get(); }

    // Draws the part `sx, sy, w, h` (logical) of the picture at `x, y` (logical).
    // `scale` is the target's device pixels per logical pixel.
    void DrawPart(cairo_t* cr, double scale, int sx, int sy, int w, int h, int x, int y) const;
    void Draw(cairo_t* cr, double scale, int x, int y) const { DrawPart(cr, scale, 0, 0, width_, height_, x, y); }
    // Stretched over the rectangle (a wallpaper on a panel of another size).
    void DrawStretched(cairo_t* cr, double scale, int x, int y, int w, int h) const;

private:
    TSurface normal_, doubled_;
    int width_ = 0, height_ = 0;
};

// Count images of ImageWidth x ImageHeight side by side in one picture.
class TBitmapList {
public:
    TBitmapList() = default;
    TBitmapList(std::shared_ptr<const TBitmap> strip, int count);
    int ImageWidth() const { return imageWidth_; }
    int ImageHeight() const { return imageHeight_; }
    int Count() const { return count_; }
    // Image `index` at `x, y`, clipped to `clipW x clipH` from its top-left (0 = whole).
    void Draw(cairo_t* cr, double scale, int index, int x, int y, int clipW = 0, int clipH = 0) const;
    void DrawPart(cairo_t* cr, double scale, int index, int sx, int sy, int w, int h, int x, int y) const;

private:
    std::shared_ptr<const TBitmap> strip_;
    int count_ = 0, imageWidth_ = 0, imageHeight_ = 0;
};

}  // namespace norv::tk
