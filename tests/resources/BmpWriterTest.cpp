// The writer's files read back: headers, padding of odd widths, both depths,
// and the drawing surface's alpha made straight.
#include <gtest/gtest.h>

#include "BmpProbe.h"
#include "resources/BmpWriter.h"
#include "resources/Canvas.h"
#include "resources/Paint.h"

namespace norv {
namespace {

using test::ParseBmp;

res::TImage Pattern(int w, int h) {
    res::TImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.At(x, y) = static_cast<uint32_t>((x * 37 + y * 11) & 0xFF) << 24 |
                             static_cast<uint32_t>(x * 29 & 0xFF) << 16 |
                             static_cast<uint32_t>(y * 53 & 0xFF) << 8 | static_cast<uint32_t>(x + 7 * y);
    return image;
}

TEST(BmpWriter, TwentyFourBitRowsArePaddedAndRoundTrip) {
    for (int w : {1, 2, 3, 4, 5, 7}) {
        const res::TImage image = Pattern(w, 3);
        const std::vector<uint8_t> file = res::EncodeBmp24(image);
        const size_t rowBytes = (w * 3 + 3) / 4 * 4;
        ASSERT_EQ(file.size(), 54 + 3 * rowBytes) << w;
        const test::TBmp b = ParseBmp(file.data(), file.size());
        EXPECT_EQ(b.FileSize, file.size());
        EXPECT_EQ(b.PixelOffset, 54u);
        EXPECT_EQ(b.HeaderSize, 40u);
        EXPECT_EQ(b.BitCount, 24);
        EXPECT_EQ(b.Compression, 0u);
        EXPECT_EQ(b.ImageSize, 3 * rowBytes);
        EXPECT_EQ(b.Width, w);
        EXPECT_EQ(b.Height, 3);  // bottom-up
        for (size_t row = 0; row < 3; ++row)
            for (size_t pad = w * 3; pad < rowBytes; ++pad) EXPECT_EQ(file[54 + row * rowBytes + pad], 0);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) EXPECT_EQ(b.At(x, y), image.At(x, y) | 0xFF000000u) << x << "," << y;
    }
}

TEST(BmpWriter, ThirtyTwoBitFilesCarryMasksAndAlpha) {
    const res::TImage image = Pattern(5, 4);
    const std::vector<uint8_t> file = res::EncodeBmp32(image);
    ASSERT_EQ(file.size(), 14 + 108 + 5 * 4 * 4u);
    const test::TBmp b = ParseBmp(file.data(), file.size());
    EXPECT_EQ(b.HeaderSize, 108u);
    EXPECT_EQ(b.BitCount, 32);
    EXPECT_EQ(b.Compression, 3u);
    EXPECT_EQ(b.Masks[0], 0x00FF0000u);
    EXPECT_EQ(b.Masks[1], 0x0000FF00u);
    EXPECT_EQ(b.Masks[2], 0x000000FFu);
    EXPECT_EQ(b.Masks[3], 0xFF000000u);
    EXPECT_EQ(b.Height, 4);
    EXPECT_EQ(b.Pixels, image.Pixels);
    // Bottom-up: the last row of the image is the first stored.
    EXPECT_EQ(file[122], image.At(0, 3) & 0xFF);
}

TEST(Canvas, HalfCoveredPixelsKeepTheirColourWithStraightAlpha) {
    res::TCanvas canvas(4, 2, 2);
    res::FillRect(canvas.Cr(), 0, 0, 2, 2, res::Rgb8(255, 128, 0), 0.5);
    const res::TImage image = canvas.Image();
    ASSERT_EQ(image.Width, 8);
    ASSERT_EQ(image.Height, 4);
    const uint32_t p = image.At(1, 1);
    EXPECT_NEAR(test::Alpha(p), 128, 1);
    EXPECT_NEAR(test::Red(p), 255, 1);
    EXPECT_NEAR(test::Green(p), 128, 2);
    EXPECT_EQ(image.At(5, 1), 0u);  // untouched pixels stay fully transparent
}

}  // namespace
}  // namespace norv
