// The editor drawn off-screen and probed pixel by pixel, at scale 1 and 2;
// the toolkit's pieces under it (pictures, menu colours, the infinite drag).
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "editor/SynthForm.h"
#include "editor/SynthRes.h"
#include "support/TempDir.h"
#include "toolkit/Bitmap.h"
#include "toolkit/Color.h"
#include "toolkit/CursorRelocation.h"
#include "toolkit/MenuLook.h"
#include "toolkit/StylusSetting.h"

namespace norv {
namespace {

struct Pixel {
    int R, G, B;
};

Pixel At(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const auto* row = cairo_image_surface_get_data(s) + static_cast<ptrdiff_t>(y) * cairo_image_surface_get_stride(s);
    const uint32_t p = reinterpret_cast<const uint32_t*>(row)[x];
    return {static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF), static_cast<int>(p & 0xFF)};
}

bool Same(const Pixel& a, const Pixel& b) { return a.R == b.R && a.G == b.G && a.B == b.B; }

// The rectangle (device pixels) holding every pixel that differs.
tk::TRect Differences(cairo_surface_t* a, cairo_surface_t* b) {
    tk::TRect r{1 << 30, 1 << 30, -1, -1};
    for (int y = 0; y < cairo_image_surface_get_height(a); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(a); ++x)
            if (!Same(At(a, x, y), At(b, x, y)))
                r = {std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1)};
    return r;
}

class EditorDrawing : public ::testing::TestWithParam<int> {
protected:
    EditorDrawing() { form.SetEditorScale(GetParam()); }
    tk::TSurface Shot() { return form.SynthPanel->RenderImage(); }
    int S() const { return GetParam(); }

    TSynthResModule res;  // no artwork: the panel is plain, the controls are not
    TSynthEditorForm form;
};

TEST_P(EditorDrawing, KnobLineEndsFollowTheValue) {
    TLineWheel* tune = form.Wheels[8];  // 315, 76: centre 321, 82
    tune->SetPressed(true);            // the pressed colour stands out: 8230648
    auto reddish = [](const Pixel& p) { return p.R > 200 && p.B < 160; };
    struct Case {
        int32_t value;
        double dx, dy;  // a point three quarters along the line from the centre
    } cases[] = {{-1000, -3.7, 3.7}, {0, 0, -5.2}, {1000, 3.7, 3.7}};
    for (const Case& c : cases) {
        tune->SetValue(c.value);
        tk::TSurface shot = Shot();
        const int x = static_cast<int>((321 + c.dx + 0.5) * S()), y = static_cast<int>((82 + c.dy + 0.5) * S());
        EXPECT_TRUE(reddish(At(shot.get(), x, y))) << c.value;
        // The opposite direction stays clear.
        const int ox = static_cast<int>((321 - c.dx + 0.5) * S()), oy = static_cast<int>((82 - c.dy + 0.5) * S());
        EXPECT_FALSE(reddish(At(shot.get(), ox, oy))) << c.value;
    }
    // Resting on the default while pressed turns the line red-orange (20735).
    tune->SetValue(0);
    tk::TSurface atPause = Shot();
    const Pixel p = At(atPause.get(), 321 * S(), static_cast<int>((82 - 5.2 + 0.5) * S()));
    EXPECT_GT(p.R, 200);
    EXPECT_LT(p.G, 130);
    EXPECT_LT(p.B, 60);
}

TEST_P(EditorDrawing, PressedKeyRepaintsOnlyItsOwnRectangle) {
    tk::TSurface before = Shot();
    form.MIDIKb->PressKey(50);  // D of the first shown octave: x 17..34 of the well at 29, 160
    tk::TSurface after = Shot();
    const tk::TRect d = Differences(before.get(), after.get());
    ASSERT_FALSE(d.Empty());
    EXPECT_GE(d.Left, (29 + 17) * S());
    EXPECT_LE(d.Right, (29 + 34) * S());
    EXPECT_GE(d.Top, 160 * S());
    // The black keys on either side keep their look.
    EXPECT_TRUE(Same(At(before.get(), (29 + 18) * S(), 170 * S()), At(after.get(), (29 + 18) * S(), 170 * S())));
    EXPECT_TRUE(Same(At(before.get(), (29 + 30) * S(), 170 * S()), At(after.get(), (29 + 30) * S(), 170 * S())));
    EXPECT_FALSE(Same(At(before.get(), (29 + 25) * S(), 200 * S()), At(after.get(), (29 + 25) * S(), 200 * S())));
    form.MIDIKb->ReleaseKey(50);
    tk::TSurface released = Shot();
    EXPECT_TRUE(Differences(before.get(), released.get()).Empty());
}

TEST_P(EditorDrawing, SelectorCaptionIsDrawnInsideTheSelector) {
    form.WavetableCombo->SetItems({""});
    tk::TSurface empty = Shot();
    form.WavetableCombo->SetItems({"Concert Grand"});
    tk::TSurface named = Shot();
    const tk::TRect d = Differences(empty.get(), named.get());
    ASSERT_FALSE(d.Empty());
    EXPECT_GE(d.Left, (220 + 3) * S());
    EXPECT_LE(d.Right, (220 + 150) * S());
    EXPECT_GE(d.Top, 20 * S());
    EXPECT_LE(d.Bottom, (20 + 18) * S());
    EXPECT_GT(d.Width(), 50 * S()) << "a caption of thirteen letters";
}

INSTANTIATE_TEST_SUITE_P(Scale, EditorDrawing, ::testing::Values(1, 2));

TEST(EditorArtwork, MissingOrDamagedPicturesLeaveAPlainPanelAndSayWhy) {
    test::TempDir dir;
    dir.Write("Artwork/back.bmp", "BM this is no picture");
    ::testing::internal::CaptureStderr();
    TSynthResModule res(dir.path().string() + "/Artwork/");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("back.bmp: not a BMP file"), std::string::npos) << said;
    EXPECT_NE(said.find("about.bmp: cannot open the file"), std::string::npos) << said;
    EXPECT_EQ(res.Bitmaps[0], nullptr);
    EXPECT_EQ(res.Bitmaps[1], nullptr);
    TSynthEditorForm form;
    tk::TSurface shot = form.SynthPanel->RenderImage();
    EXPECT_TRUE(Same(At(shot.get(), 5, 60), Pixel{0x81, 0x83, 0x8A})) << "the panel's own colour";
    EXPECT_GT(res.KbBtnIL.Count(), 0) << "the built-in pictures stay";
}

TEST(Toolkit, BmpDecodingAndItsFaults) {
    // 3 x 2, 24-bit, bottom-up, rows padded to 12 bytes.
    std::vector<unsigned char> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0,
                                      1, 0, 24, 0};
    bmp.resize(54, 0);
    const unsigned char rows[] = {0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 0,   // bottom: red green blue
                                  255, 255, 255, 0, 0, 0, 10, 20, 30, 0, 0, 0};  // top: white black (30,20,10)
    bmp.insert(bmp.end(), std::begin(rows), std::end(rows));
    tk::TSurface s = tk::DecodeBmp(bmp.data(), bmp.size());
    EXPECT_TRUE(Same(At(s.get(), 0, 1), Pixel{255, 0, 0}));
    EXPECT_TRUE(Same(At(s.get(), 2, 1), Pixel{0, 0, 255}));
    EXPECT_TRUE(Same(At(s.get(), 2, 0), Pixel{30, 20, 10}));

    std::vector<unsigned char> truncated(bmp.begin(), bmp.end() - 1);
    EXPECT_THROW(tk::DecodeBmp(truncated.data(), truncated.size()), std::runtime_error);
    std::vector<unsigned char> rle = bmp;
    rle[30] = 1;
    EXPECT_THROW(tk::DecodeBmp(rle.data(), rle.size()), std::runtime_error);
    std::vector<unsigned char> huge = bmp;
    huge[21] = 0x7F;
    EXPECT_THROW(tk::DecodeBmp(huge.data(), huge.size()), std::runtime_error);
    try {
        tk::ReadBmpFile("/nonexistent/back.bmp");
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/back.bmp"), std::string::npos);
    }
}

TEST(Toolkit, MenusTakeTheTintsHueAtItsSaturation) {
    tk::ColorizeMenus(11781575, 0.3);
    EXPECT_EQ(tk::MenuLook().Light, tk::MakeColor(202, 200, 182));
    EXPECT_EQ(tk::MenuLook().Dark, tk::MakeColor(121, 118, 90));
}

// A pointer on a 1024 x 768 screen that records what the relocation does to it.
class FakePointer : public tk::IPointerDevice {
public:
    tk::TPoint At{};
    std::vector<tk::TPoint> Moves;
    int Hidden = 0;
    tk::TPoint Position() override { return At; }
    void MoveTo(tk::TPoint p) override {
        Moves.push_back(p);
        At = p;
    }
    void Hide() override { ++Hidden; }
    void Show() override { --Hidden; }
    tk::TRect MonitorBounds(tk::TPoint) override { return {0, 0, 1024, 768}; }
};

TEST(Toolkit, StylusSettingIsReadFromTheSharedFile) {
    test::TempDir dir;
    EXPECT_FALSE(tk::ReadUseStylus((dir.path() / "missing.ini").string()));
    EXPECT_TRUE(tk::ReadUseStylus(dir.Write("a.ini", "[general]\r\nUseStylus = 1\r\n").string()));
    EXPECT_FALSE(tk::ReadUseStylus(dir.Write("b.ini", "[General]\nUseStylus=0\n").string()));
    EXPECT_FALSE(tk::ReadUseStylus(dir.Write("c.ini", "[Other]\nUseStylus=1\n").string()));
    EXPECT_FALSE(tk::ReadUseStylus(dir.Write("d.ini", "[General]\nUseStylus=yes\n").string()));
}

TEST(Toolkit, InfiniteDragWrapsThirtyTwoPixelsInside) {
    FakePointer pointer;
    tk::TCursorRelocation relocation(pointer, false);
    relocation.Begin({100, 500});
    relocation.Begin({300, 300});  // a second press hides nothing more
    EXPECT_EQ(pointer.Hidden, 1);
    int dx = 0, dy = 0;
    pointer.At = {100, 20};  // past the top edge zone
    relocation.Delta(dx, dy);
    EXPECT_EQ(dy, 480);
    ASSERT_EQ(pointer.Moves.size(), 1u);
    EXPECT_EQ(pointer.Moves[0].Y, 736 + 20 - 32);
    pointer.At = {100, 700};
    relocation.Delta(dx, dy);
    EXPECT_EQ(dy, 24);  // measured from where the cursor was put, not where it was
    relocation.End();
    EXPECT_EQ(pointer.Moves.back().X, 100);
    EXPECT_EQ(pointer.Moves.back().Y, 500);
    EXPECT_EQ(pointer.Hidden, 0);

    FakePointer stylus;
    tk::TCursorRelocation absolute(stylus, true);
    absolute.Begin({100, 500});
    stylus.At = {95, 20};
    absolute.Delta(dx, dy);
    EXPECT_EQ(dx, 10);
    EXPECT_EQ(dy, 960);
    absolute.End();
    EXPECT_TRUE(stylus.Moves.empty());
}

}  // namespace
}  // namespace norv
