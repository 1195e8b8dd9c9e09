#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "base/Cp936.h"
#include "toolkit/MessageDialogView.h"

namespace norv::tk {
namespace {

const char* const kVersionText = "Norv Keys 仅运行在 Norv Studio 4.1.2 或更改版本";
const char* const kLoadText = "Something went wrong loading the wavetable - stopped";

bool Inside(const TBox& inner, const TMessageDialogView& view) {
    return inner.Left >= 0 && inner.Top >= 0 && inner.Left + inner.Width <= view.Width() &&
           inner.Top + inner.Height <= view.Height();
}

TEST(MessageDialogView, FitsTheSystemMessagesWithEveryGlyphDrawable) {
    for (const char* utf8 : {kVersionText, kLoadText}) {
        SCOPED_TRACE(utf8);
        // The texts arrive as code page 936 and are drawn from their UTF-8 form.
        const TMessageDialogView view(Cp936ToUtf8(Utf8ToCp936(utf8)));
        EXPECT_EQ(view.UnknownGlyphs(), 0) << "the CJK font (fonts-wqy-microhei) is missing";
        EXPECT_TRUE(Inside(view.IconRect(), view));
        EXPECT_TRUE(Inside(view.TextRect(), view));
        EXPECT_TRUE(Inside(view.ButtonRect(), view));
        // One line each, beside the icon, and the button below both, centred.
        EXPECT_LT(view.TextRect().Height, 2 * view.IconRect().Height);
        EXPECT_GE(view.TextRect().Left, view.IconRect().Left + view.IconRect().Width);
        EXPECT_GE(view.ButtonRect().Top, view.TextRect().Top + view.TextRect().Height);
        EXPECT_GE(view.ButtonRect().Top, view.IconRect().Top + view.IconRect().Height);
        EXPECT_LE(std::abs(2 * view.ButtonRect().Left + view.ButtonRect().Width - view.Width()), 1);
        EXPECT_GT(view.TextRect().Width, 100);
    }
}

TEST(MessageDialogView, WrapsLongTextAndCapsItsHeight) {
    const TMessageDialogView oneLine("short");
    const TMessageDialogView twoLines("first line\r\nsecond line");
    const TMessageDialogView twoLinesLf("first line\nsecond line");
    const int line = oneLine.TextRect().Height;
    EXPECT_GE(oneLine.Width(), oneLine.ButtonRect().Width + 32);
    EXPECT_EQ(twoLines.TextRect().Height, twoLinesLf.TextRect().Height);
    EXPECT_GE(twoLines.TextRect().Height, 2 * line - 2);
    EXPECT_LT(twoLines.TextRect().Height, 3 * line);

    std::string paragraph;
    for (int i = 0; i < 40; ++i) paragraph += "加载波表时出错，已停止。";
    const TMessageDialogView wrapped(paragraph);
    EXPECT_LE(wrapped.TextRect().Width, TMessageDialogView::kMaxTextWidth);
    EXPECT_GT(wrapped.TextRect().Height, 3 * line);
    EXPECT_LE(wrapped.Width(), wrapped.TextRect().Left + TMessageDialogView::kMaxTextWidth + 16);

    std::string endless;
    for (int i = 0; i < 2000; ++i) endless += "line\n";
    const TMessageDialogView capped(endless);
    EXPECT_LE(capped.TextRect().Height, 400);
    EXPECT_GT(capped.TextRect().Height, 10 * line);
    EXPECT_TRUE(Inside(capped.ButtonRect(), capped));

    // Control characters would come out as hex boxes.
    EXPECT_EQ(TMessageDialogView("bell\a and \x1b[31m escape").UnknownGlyphs(), 0);
}

uint32_t PixelAt(cairo_surface_t* surface, int x, int y) {
    const unsigned char* row = cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    return reinterpret_cast<const uint32_t*>(row)[x] & 0xffffff;
}

int DarkPixels(cairo_surface_t* surface, const TBox& r) {
    int dark = 0;
    for (int y = r.Top; y < r.Top + r.Height; ++y)
        for (int x = r.Left; x < r.Left + r.Width; ++x) {
            const uint32_t p = PixelAt(surface, x, y);
            if (((p >> 16) & 0xff) < 0x60 && ((p >> 8) & 0xff) < 0x60 && (p & 0xff) < 0x60) ++dark;
        }
    return dark;
}

TEST(MessageDialogView, PaintsIconTextAndButton) {
    const TMessageDialogView view(kVersionText);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, view.Width(), view.Height());
    cairo_t* cr = cairo_create(surface);
    view.Paint(cr, false);
    cairo_surface_flush(surface);

    const TBox& icon = view.IconRect();
    const uint32_t iconEdge = PixelAt(surface, icon.Left + 4, icon.Top + icon.Height / 2);
    EXPECT_GT((iconEdge >> 16) & 0xff, 0xa0u);
    EXPECT_LT((iconEdge >> 8) & 0xff, 0x40u);
    EXPECT_EQ(PixelAt(surface, view.Width() - 2, 2), 0xf0f0f0u);

    // Text ink: a fair share of the text box, none of it outside.
    const TBox& text = view.TextRect();
    const int ink = DarkPixels(surface, text);
    EXPECT_GT(ink, text.Width * text.Height / 20);
    const TBox right{text.Left + text.Width + 2, 0, view.Width() - text.Left - text.Width - 2, view.ButtonRect().Top};
    EXPECT_EQ(DarkPixels(surface, right), 0);

    const TBox& b = view.ButtonRect();
    const TBox label{b.Left + 4, b.Top + 4, b.Width - 8, b.Height - 8};
    EXPECT_GT(DarkPixels(surface, label), 10);
    const uint32_t upFace = PixelAt(surface, b.Left + 6, b.Top + b.Height / 2);
    view.Paint(cr, true);
    cairo_surface_flush(surface);
    const uint32_t downFace = PixelAt(surface, b.Left + 6, b.Top + b.Height / 2);
    EXPECT_NE(upFace, downFace);

    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace norv::tk
