// The artwork files the build lays into the bundle, read back and probed:
// sizes and headers, the plate's colour, knob bodies and captions, the cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "BmpProbe.h"
#include "editor/SynthLayout.h"
#include "resources/PanelLayout.h"

namespace norv {
namespace {

using test::Luma;
using test::TBmp;

TBmp Artwork(const char* name) {
    return test::ReadBmpFile(std::string(NORV_BUILD_DIR) + "/NorvKeys/Artwork/" + name);
}

// Pixel of logical point (x, y) at a scale: the one whose area starts there.
uint32_t At(const TBmp& b, int scale, double x, double y) {
    return b.At(static_cast<int>(x * scale), static_cast<int>(y * scale));
}

TEST(ArtworkFiles, AreTwentyFourBitBottomUpFilesAtBothScales) {
    struct {
        const char* Name;
        int Width, Height;
    } const files[] = {
        {"back.bmp", 400, 237}, {"back@2x.bmp", 800, 474}, {"about.bmp", 400, 109}, {"about@2x.bmp", 800, 218}};
    for (const auto& f : files) {
        SCOPED_TRACE(f.Name);
        const TBmp b = Artwork(f.Name);
        EXPECT_EQ(b.Width, f.Width);
        EXPECT_EQ(b.Height, f.Height);
        EXPECT_EQ(b.BitCount, 24);
        EXPECT_EQ(b.Compression, 0u);
        EXPECT_EQ(b.HeaderSize, 40u);
        EXPECT_EQ(b.PixelOffset, 54u);
        const auto onDisk = std::filesystem::file_size(std::string(NORV_BUILD_DIR) + "/NorvKeys/Artwork/" + f.Name);
        EXPECT_EQ(b.FileSize, onDisk);
    }
}

class PanelArtwork : public ::testing::TestWithParam<int> {
protected:
    int S = GetParam();
    TBmp Back = Artwork(S == 1 ? "back.bmp" : "back@2x.bmp");
    static double CentreX(const res::TPlace& k) { return k.Left + 6.5; }
    static double CentreY(const res::TPlace& k) { return k.Top + 6.5; }
    // Caption rows: above the upper row's knobs, below the lower row's.
    static std::pair<double, double> CaptionRows(const res::TPlace& k) {
        return k.Top < 100 ? std::pair{CentreY(k) - 24.0, CentreY(k) - 13.0}
                           : std::pair{CentreY(k) + 13.0, CentreY(k) + 24.0};
    }
    bool InkColumn(double x, std::pair<double, double> rows) const {
        for (int y = static_cast<int>(rows.first * S); y < rows.second * S; ++y)
            if (Luma(Back.At(static_cast<int>(x * S), y)) < 70) return true;
        return false;
    }
};

TEST_P(PanelArtwork, PlateHasThePanelColourWithRedAndBlueInTheirPlaces) {
    // Between the first two knobs of the upper row: bare plate. 9077633 is R 0x81, G 0x83, B 0x8A.
    const uint32_t p = At(Back, S, 56, 82);
    EXPECT_NEAR(test::Red(p), 0x81, 16);
    EXPECT_NEAR(test::Green(p), 0x83, 16);
    EXPECT_NEAR(test::Blue(p), 0x8A, 16);
    EXPECT_GE(test::Blue(p), test::Red(p) + 4);
}

TEST_P(PanelArtwork, EveryKnobHasADarkBodyAndACaption) {
    for (int i = 0; i < kParamCount; ++i) {
        SCOPED_TRACE(kKnobLayout[i].Name);
        const res::TPlace& k = res::kKnobPlaces[i];
        const int centre = Luma(At(Back, S, CentreX(k), CentreY(k)));
        const int plate = Luma(At(Back, S, CentreX(k) + 21, CentreY(k)));
        EXPECT_LT(centre, 70);
        EXPECT_GT(plate - centre, 50);
        int inkColumns = 0;
        for (double x = CentreX(k) - 20; x < CentreX(k) + 20; x += 1.0 / S) inkColumns += InkColumn(x, CaptionRows(k));
        EXPECT_GE(inkColumns, 6 * S);
    }
}

TEST_P(PanelArtwork, NeighbouringCaptionsKeepAGapBetweenThem) {
    std::vector<size_t> knobs;
    for (size_t i = 0; i < res::kKnobPlaces.size(); ++i) knobs.push_back(i);
    const auto place = [](size_t i) { return std::pair(res::kKnobPlaces[i].Top, res::kKnobPlaces[i].Left); };
    std::sort(knobs.begin(), knobs.end(), [&](size_t a, size_t b) { return place(a) < place(b); });
    for (size_t i = 0; i + 1 < knobs.size(); ++i) {
        const res::TPlace &a = res::kKnobPlaces[knobs[i]], &b = res::kKnobPlaces[knobs[i + 1]];
        if (a.Top != b.Top) continue;
        SCOPED_TRACE(std::string(kKnobLayout[knobs[i]].Name) + " / " + kKnobLayout[knobs[i + 1]].Name);
        int emptyColumns = 0;
        for (double x = CentreX(a); x < CentreX(b); x += 1.0 / S) emptyColumns += !InkColumn(x, CaptionRows(a));
        EXPECT_GE(emptyColumns, 2 * S);
    }
}

TEST_P(PanelArtwork, LooksFinishedAtTheKeyboardlessCutAndDarkerBelowIt) {
    for (int x : {5, 100, 250, 395}) {
        EXPECT_LT(Luma(At(Back, S, x, 151)) + 30, Luma(At(Back, S, x, 146))) << x;
        EXPECT_LT(Luma(At(Back, S, x, 190)) + 40, Luma(At(Back, S, x, 146))) << x;
    }
}

TEST_P(PanelArtwork, TitleIsLightOnTheDarkHeader) {
    int light = 0;
    for (double y = 8; y < 32; y += 1.0 / S)
        for (double x = 14; x < 100; x += 1.0 / S) light += Luma(At(Back, S, x, y)) > 180;
    EXPECT_GT(light, 150 * S * S);
    EXPECT_LT(Luma(At(Back, S, 205, 38)), 70);  // header ground beside the selector
}

INSTANTIATE_TEST_SUITE_P(Scales, PanelArtwork, ::testing::Values(1, 2));

TEST(PanelArtwork, ScaleTwoIsTheSamePictureAsScaleOne) {
    const TBmp one = Artwork("back.bmp"), two = Artwork("back@2x.bmp");
    long total = 0;
    for (int y = 0; y < one.Rows(); ++y)
        for (int x = 0; x < one.Width; ++x) {
            int sum = 0;
            for (int d = 0; d < 4; ++d) sum += Luma(two.At(2 * x + d % 2, 2 * y + d / 2));
            total += std::abs(sum / 4 - Luma(one.At(x, y)));
        }
    EXPECT_LT(static_cast<double>(total) / (one.Width * one.Rows()), 4.0);
}

class AboutArtwork : public ::testing::TestWithParam<int> {
protected:
    int S = GetParam();
    TBmp About = Artwork(S == 1 ? "about.bmp" : "about@2x.bmp");
    int InkIn(double x0, double x1, double y0, double y1) const {
        int ink = 0;
        for (double y = y0; y < y1; y += 1.0 / S)
            for (double x = x0; x < x1; x += 1.0 / S) ink += Luma(At(About, S, x, y)) < 150;
        return ink;
    }
};

TEST_P(AboutArtwork, CaptionsEndLeftOfTheValuesColumnOnEachRow) {
    for (int top : {8, 22, 36, 50, 64, 78, 92}) {
        SCOPED_TRACE(top);
        EXPECT_GT(InkIn(130, 215, top, top + 13), 10 * S);
        EXPECT_EQ(InkIn(215, 396, top, top + 14), 0);
    }
}

TEST_P(AboutArtwork, LeavesTheVersionLabelsPlaceBlankAndIsLightForItsGreyText) {
    EXPECT_EQ(InkIn(12, 110, 2, 16), 0);
    EXPECT_GT(Luma(At(About, S, 300, 30)), 190);
}

INSTANTIATE_TEST_SUITE_P(Scales, AboutArtwork, ::testing::Values(1, 2));

}  // namespace
}  // namespace norv
