#include "toolkit/MenuWindow.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cmath>

#include "toolkit/Application.h"
#include "toolkit/Color.h"
#include "toolkit/Display.h"
#include "toolkit/MenuLook.h"
#include "toolkit/PopupMenu.h"
#include "toolkit/Text.h"

namespace norv::tk {
namespace {

constexpr int kTextLeft = 22;
constexpr int kTextRight = 16;

TFont MenuFont(bool bold) {
    TFont f;
    f.PixelHeight = 11;
    f.Bold = bold;
    return f;
}

int MeasureWidth(const TPopupMenu& menu) {
    TSurface scratch(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
    cairo_t* cr = cairo_create(scratch.get());
    int widest = 0;
    for (const TMenuItem* item : menu.Items) {
        if (!item->Visible || item->IsSeparator()) continue;
        int w = 0, h = 0;
        MeasureText(cr, StripMnemonics(item->Caption), MenuFont(item->Default), w, h);
        widest = std::max(widest, w);
    }
    cairo_destroy(cr);
    return std::max(menu.MinWidth, kTextLeft + widest + kTextRight);
}

}  // namespace

std::vector<TRect> MenuItemRects(const TPopupMenu& menu, int width) {
    std::vector<TRect> rects;
    int y = kMenuPadding;
    for (const TMenuItem* item : menu.Items) {
        if (!item->Visible) {
            rects.push_back({});
            continue;
        }
        const int h = item->IsSeparator() ? kMenuSeparatorHeight : kMenuItemHeight;
        rects.push_back({kMenuPadding, y, width - kMenuPadding, y + h});
        y += h;
    }
    return rects;
}

TMenuWindow::TMenuWindow(TPopupMenu& menu, TPoint screen, double scale)
    : menu_(menu), display_(TDisplay::Get()->X()), scale_(scale) {
    TDisplay& d = *TDisplay::Get();
    width_ = MeasureWidth(menu_);
    rects_ = MenuItemRects(menu_, width_);
    height_ = kMenuPadding;
    for (const TRect& r : rects_) height_ = std::max(height_, r.Bottom);
    height_ += kMenuPadding;

    const int w = static_cast<int>(std::ceil(width_ * scale_)), h = static_cast<int>(std::ceil(height_ * scale_));
    // Kept on the screen: a menu near the right or bottom edge opens the other way.
    const TRect screenRect = d.ScreenBounds();
    int x = screen.X, y = screen.Y;
    if (x + w > screenRect.Right) x = std::max(screenRect.Left, screenRect.Right - w);
    if (y + h > screenRect.Bottom) y = std::max(screenRect.Top, y - h);

    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixmap = 0;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    window_ = XCreateWindow(display_, d.Root(), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                            CopyFromParent, InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixmap | CWEventMask,
                            &a);
    Application().RegisterNativeTarget(window_, this);
    XMapRaised(display_, window_);
    // The menu owns the pointer and the keys while it is open, so a click
    // anywhere else closes it.
    XGrabPointer(display_, window_, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, 0, 0, CurrentTime);
    XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    XFlush(display_);
}

TMenuWindow::~TMenuWindow() {
    if (TDisplay::Get() && TDisplay::Get()->Usable()) {
        XUngrabPointer(display_, CurrentTime);
        XUngrabKeyboard(display_, CurrentTime);
        XDestroyWindow(display_, window_);
        XFlush(display_);
    }
    Application().UnregisterNativeTarget(window_);
}

int TMenuWindow::ItemAt(int x, int y) const {
    for (size_t i = 0; i < rects_.size(); ++i)
        if (rects_[i].Contains(x, y)) return static_cast<int>(i);
    return -1;
}

void TMenuWindow::Repaint() { Paint(); }

void TMenuWindow::Paint() {
    const TMenuLook& look = MenuLook();
    const int w = static_cast<int>(std::ceil(width_ * scale_)), h = static_cast<int>(std::ceil(height_ * scale_));
    // Drawn off-screen first, then shown at once.
    cairo_surface_t* back = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(back);
    cairo_scale(cr, scale_, scale_);
    SetSourceColor(cr, look.Face());
    cairo_paint(cr);
    SetSourceColor(cr, look.Highlight());
    cairo_set_line_width(cr, 1);
    cairo_rectangle(cr, 0.5, 0.5, width_ - 1, height_ - 1);
    cairo_stroke(cr);
    for (size_t i = 0; i < rects_.size(); ++i) {
        const TMenuItem* item = menu_.Items[i];
        const TRect& r = rects_[i];
        if (r.Empty()) continue;
        if (item->IsSeparator()) {
            SetSourceColor(cr, look.Separator());
            cairo_rectangle(cr, r.Left + 4, r.Top + r.Height() / 2, r.Width() - 8, 1);
            cairo_fill(cr);
            continue;
        }
        const bool lit = static_cast<int>(i) == menu_.Highlighted();
        if (lit) {
            SetSourceColor(cr, look.Highlight());
            cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
            cairo_fill(cr);
        }
        TFont font = MenuFont(item->Default);
        font.Color = !item->Enabled ? look.DisabledText() : lit ? look.HighlightText() : look.Text();
        if (item->Checked) {
            SetSourceColor(cr, font.Color);
            cairo_set_line_width(cr, 1.6);
            const double cy = r.Top + r.Height() / 2.0;
            cairo_move_to(cr, r.Left + 6, cy);
            cairo_line_to(cr, r.Left + 9, cy + 3);
            cairo_line_to(cr, r.Left + 15, cy - 4);
            cairo_stroke(cr);
        }
        DrawTextCentredV(cr, StripMnemonics(item->Caption), font, r.Left + kTextLeft, r.Top, r.Height());
    }
    cairo_destroy(cr);
    TDisplay::Get()->PutImage(window_, back, {0, 0, w, h});
    cairo_surface_destroy(back);
    XFlush(display_);
}

void TMenuWindow::HandleNativeEvent(const XEvent& e) {
    auto logical = [this](int v) { return static_cast<int>(std::floor(v / scale_)); };
    switch (e.type) {
        case Expose:
            if (e.xexpose.count == 0) Paint();
            break;
        case MotionNotify: {
            movedSinceOpen_ = true;
            const int i = ItemAt(logical(e.xmotion.x), logical(e.xmotion.y));
            menu_.SetHighlighted(menu_.Selectable(i) ? i : -1);
            break;
        }
        case ButtonPress: {
            const bool inside = e.xbutton.x >= 0 && e.xbutton.y >= 0 && logical(e.xbutton.x) < width_ &&
                                logical(e.xbutton.y) < height_;
            if (!inside && e.xbutton.button <= Button3) {
                menu_.Close();  // deletes this window: nothing after this line
                return;
            }
            movedSinceOpen_ = true;
            break;
        }
        case ButtonRelease: {
            // The release of the click that opened the menu chooses nothing
            // unless the mouse went over an item first.
            if (!movedSinceOpen_ || e.xbutton.button > Button3) break;
            const int i = ItemAt(logical(e.xbutton.x), logical(e.xbutton.y));
            if (menu_.Selectable(i)) {
                menu_.Choose(i);  // deletes this window: nothing after this line
                return;
            }
            break;
        }
        case KeyPress: {
            KeySym sym = XLookupKeysym(const_cast<XKeyEvent*>(&e.xkey), 0);
            switch (sym) {
                case XK_Up: menu_.HandleKey(TMenuKey::Up); break;
                case XK_Down: menu_.HandleKey(TMenuKey::Down); break;
                case XK_Left: menu_.HandleKey(TMenuKey::Left); break;
                case XK_Right: menu_.HandleKey(TMenuKey::Right); break;
                case XK_Return:
                case XK_KP_Enter: menu_.HandleKey(TMenuKey::Enter); return;
                case XK_Escape: menu_.HandleKey(TMenuKey::Escape); return;
                default: break;
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace norv::tk
