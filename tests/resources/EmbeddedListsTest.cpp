// The bitmap lists compiled into the instrument, read back from memory: their
// headers and sizes, the keyboard octave on its key geometry, the buttons' states.
#include <gtest/gtest.h>

#include <cstdlib>

#include "BmpProbe.h"
#include "resources/EmbeddedLists.h"

namespace norv {
namespace {

using res::TEmbeddedBitmap;
using test::Luma;
using test::TBmp;

TBmp Parse(const TEmbeddedBitmap& e) { return test::ParseBmp(e.Data, e.Size); }

int Difference(uint32_t a, uint32_t b) {
    return std::abs(test::Red(a) - test::Red(b)) + std::abs(test::Green(a) - test::Green(b)) +
           std::abs(test::Blue(a) - test::Blue(b)) + std::abs(test::Alpha(a) - test::Alpha(b));
}

TEST(EmbeddedLists, AreWholeThirtyTwoBitFilesOfTwoImagesAtBothScales) {
    struct {
        const TEmbeddedBitmap* List;
        int Width, Height;
    } const lists[] = {{res::kKbBtnIL, 29, 27}, {res::kTestKbIL, 119, 66}, {res::kViewSelectorIL, 151, 18}, {res::kInfoBtnIL, 17, 16}};
    for (const auto& l : lists) {
        for (int s = 1; s <= 2; ++s) {
            SCOPED_TRACE(testing::Message() << l.Width << "x" << l.Height << " at scale " << s);
            const TEmbeddedBitmap& e = l.List[s - 1];
            EXPECT_EQ(e.Count, 2);
            const TBmp b = Parse(e);
            EXPECT_EQ(b.FileSize, e.Size);
            EXPECT_EQ(b.PixelOffset, 14u + 108u);
            EXPECT_EQ(b.HeaderSize, 108u);
            EXPECT_EQ(b.BitCount, 32);
            EXPECT_EQ(b.Compression, 3u);
            EXPECT_EQ(b.Masks[0], 0x00FF0000u);
            EXPECT_EQ(b.Masks[3], 0xFF000000u);
            EXPECT_EQ(b.Width, 2 * l.Width * s);
            EXPECT_EQ(b.Height, l.Height * s);
            EXPECT_EQ(e.Size, 122u + 4u * b.Width * b.Height);
        }
    }
}

struct TRect {
    int Left, Right, Bottom;
};
// One octave: the white keys C..B, the black keys C# D# F# G# A#.
constexpr TRect kWhite[7] = {{0, 17, 66}, {17, 34, 66}, {34, 51, 66}, {51, 68, 66}, {68, 85, 66}, {85, 102, 66}, {102, 119, 66}};
constexpr TRect kBlack[5] = {{10, 19, 40}, {29, 38, 40}, {61, 70, 40}, {79, 88, 40}, {97, 106, 40}};

class TestKeyboardList : public ::testing::TestWithParam<int> {
protected:
    int S = GetParam();
    TBmp Strip = Parse(res::kTestKbIL[S - 1]);
    // Logical point (x, y) of image 0 (at rest) or 1 (pressed).
    uint32_t At(int image, double x, double y) const {
        return Strip.At(static_cast<int>((image * 119 + x) * S), static_cast<int>(y * S));
    }
    // Mean over a key's own face (for white keys, the part below the black keys).
    double MeanDifference(const TRect& r, double top, double bottom, bool darker) const {
        double sum = 0;
        int n = 0;
        for (double y = top; y < bottom; y += 1.0 / S)
            for (double x = r.Left + 1; x < r.Right - 1; x += 1.0 / S, ++n)
                sum += darker ? Luma(At(0, x, y)) - Luma(At(1, x, y)) : Difference(At(0, x, y), At(1, x, y));
        return sum / n;
    }
};

TEST_P(TestKeyboardList, BlackKeysAreDarkExactlyInsideTheirRectangles) {
    for (const TRect& k : kBlack) {
        SCOPED_TRACE(k.Left);
        for (int image : {0, 1}) {
            EXPECT_LT(Luma(At(image, k.Left, 20)), 90);
            EXPECT_LT(Luma(At(image, k.Right - 1.0 / S, 20)), 90);
            EXPECT_LT(Luma(At(image, k.Left + 2, k.Bottom - 1.0 / S)), 120);
            EXPECT_GT(Luma(At(image, k.Left - 1.0 / S, 20)), 140);
            EXPECT_GT(Luma(At(image, k.Left + 2, k.Bottom + 3)), 140);
        }
    }
}

TEST_P(TestKeyboardList, WhiteKeysAreLightAndSeparated) {
    for (const TRect& k : kWhite) {
        SCOPED_TRACE(k.Left);
        const double middle = (k.Left + k.Right) / 2.0;
        EXPECT_GT(Luma(At(0, middle, 50)), 200);
        // The gap to the next key is its own last column.
        EXPECT_LT(Luma(At(0, k.Right - 1.0 / S, 50)) + 40, Luma(At(0, middle, 50)));
    }
}

TEST_P(TestKeyboardList, EveryKeyLooksPressedInTheSecondImage) {
    for (const TRect& k : kWhite) EXPECT_GT(MeanDifference(k, 42, 60, true), 15) << k.Left;
    for (const TRect& k : kBlack) EXPECT_GT(MeanDifference(k, 4, 34, false), 30) << k.Left;
}

TEST_P(TestKeyboardList, IsOpaque) {
    for (uint32_t p : Strip.Pixels) ASSERT_EQ(test::Alpha(p), 255);
}

INSTANTIATE_TEST_SUITE_P(Scales, TestKeyboardList, ::testing::Values(1, 2));

// Pixels that differ between the two images inside (x, y, w, h), logical.
int ChangedPixels(const TBmp& b, int s, int imageWidth, int x, int y, int w, int h, int threshold = 40) {
    int changed = 0;
    for (int py = y * s; py < (y + h) * s; ++py)
        for (int px = x * s; px < (x + w) * s; ++px) changed += Difference(b.At(px, py), b.At(px + imageWidth * s, py)) > threshold;
    return changed;
}

TEST(ButtonLists, StatesDifferWhereTheButtonsShowAndTheirCornersAreClear) {
    for (int s = 1; s <= 2; ++s) {
        SCOPED_TRACE(s);
        const TBmp kb = Parse(res::kKbBtnIL[s - 1]);
        EXPECT_GT(ChangedPixels(kb, s, 29, 2, 4, 25, 19), 40 * s * s);
        EXPECT_EQ(test::Alpha(kb.At(0, 0)), 0);
        const TBmp info = Parse(res::kInfoBtnIL[s - 1]);
        EXPECT_GT(ChangedPixels(info, s, 17, 2, 2, 13, 12), 60 * s * s);
        EXPECT_EQ(test::Alpha(info.At(0, 0)), 0);
        EXPECT_EQ(test::Alpha(info.At(8 * s, 8 * s)), 255);
    }
}

TEST(ButtonLists, SelectorFrameIsLightForItsBlackCaptionWithAnArrowAtTheRight) {
    for (int s = 1; s <= 2; ++s) {
        const TBmp sel = Parse(res::kViewSelectorIL[s - 1]);
        for (int image : {0, 1})
            for (int x = 3; x < 130; x += 7) {
                const uint32_t p = sel.At((image * 151 + x) * s, 9 * s);
                EXPECT_EQ(test::Alpha(p), 255) << x;
                EXPECT_GT(Luma(p), 170) << x;
            }
        EXPECT_LT(Luma(sel.At(141 * s, 8 * s)), 110);  // the drop-down arrow
        EXPECT_GT(ChangedPixels(sel, s, 151, 0, 0, 150, 18, 24), 2000 * s * s);
    }
}

}  // namespace
}  // namespace norv
