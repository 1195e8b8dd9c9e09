// The face of the modal error message: an error icon, the text and one OK
// button, laid out to fit the text and painted with cairo and pango. It knows
// nothing of windows, so it also paints into an off-screen image.
// GUI thread only.
#pragma once

#include <string>
#include <string_view>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _PangoLayout PangoLayout;

namespace norv::tk {

// A box of the dialog, left, top, width and height in pixels.
struct TBox {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    bool Contains(int x, int y) const { return x >= Left && x < Left + Width && y >= Top && y < Top + Height; }
};

class TMessageDialogView {
public:
    // `utf8Text` is the message as it is drawn; line breaks in it are kept.
    explicit TMessageDialogView(std::string_view utf8Text);
    ~TMessageDialogView();
    TMessageDialogView(const TMessageDialogView&) = delete;
    TMessageDialogView& operator=(const TMessageDialogView&) = delete;

    // The client area the dialog needs, in pixels.
    int Width() const { return width_; }
    int Height() const { return height_; }
    const TBox& IconRect() const { return icon_; }
    const TBox& TextRect() const { return text_; }
    const TBox& ButtonRect() const { return button_; }

    // Characters that no installed font can show (drawn as boxes).
    int UnknownGlyphs() const;

    // Paints the whole client area; `buttonDown` shows the button pressed.
    void Paint(cairo_t* cr, bool buttonDown) const;

    static constexpr int kMaxTextWidth = 420;
    static constexpr int kMaxTextLines = 20;

private:
    cairo_surface_t* measureSurface_ = nullptr;
    cairo_t* measureCr_ = nullptr;
    PangoLayout* textLayout_ = nullptr;
    PangoLayout* buttonLayout_ = nullptr;
    int width_ = 0, height_ = 0;
    TBox icon_, text_, button_;
};

}  // namespace norv::tk
