#include "toolkit/NativeWindow.h"


#include <algorithm>
#include <cmath>

#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/Display.h"

namespace norv::tk {
namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | StructureNotifyMask;

}  // namespace

TShiftState ShiftStateOf(unsigned state) {
    TShiftState s = 0;
    if (state & ShiftMask) s |= ssShift;
    if (state & ControlMask) s |= ssCtrl;
    if (state & Mod1Mask) s |= ssAlt;
    if (state & Button1Mask) s |= ssLeft;
    if (state & Button2Mask) s |= ssMiddle;
    if (state & Button3Mask) s |= ssRight;
    return s;
}

TNativeWindow::TNativeWindow(TWinControl& owner, ::Window parent, const TRect& b, bool mapped)
    : owner_(owner), display_(TDisplay::Get()->X()) {
    TDisplay& d = *TDisplay::Get();
    width_ = std::max(1, b.Width());
    height_ = std::max(1, b.Height());
    XSetWindowAttributes a{};
    a.background_pixmap = 0;  // None: we paint every pixel ourselves, so nothing flickers
    a.event_mask = kEventMask;
    a.bit_gravity = NorthWestGravity;
    sizeSerial_ = NextRequest(display_);
    window_ = XCreateWindow(display_, parent ? parent : d.Root(), b.Left, b.Top, static_cast<unsigned>(width_),
                            static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput, CopyFromParent,
                            CWBackPixmap | CWEventMask | CWBitGravity, &a);
    if (mapped) XMapWindow(display_, window_);
    Application().RegisterNativeTarget(window_, this);
}

TNativeWindow::~TNativeWindow() {
    if (Live()) {
        if (!lost_) XDestroyWindow(display_, window_);
        XFlush(display_);
    }
    Application().UnregisterNativeTarget(window_);
}

bool TNativeWindow::Live() const { return TDisplay::Get() && TDisplay::Get()->Usable(); }

void TNativeWindow::Reparent(::Window parent, int x, int y) {
    if (!Live()) return;
    XReparentWindow(display_, window_, parent ? parent : TDisplay::Get()->Root(), x, y);
}

void TNativeWindow::MoveResize(const TRect& b) {
    if (!Live()) return;
    width_ = std::max(1, b.Width());
    height_ = std::max(1, b.Height());
    sizeSerial_ = NextRequest(display_);
    XMoveResizeWindow(display_, window_, b.Left, b.Top, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
}

void TNativeWindow::SetMapped(bool mapped) {
    if (!Live()) return;
    if (mapped)
        XMapWindow(display_, window_);
    else
        XUnmapWindow(display_, window_);
}

void TNativeWindow::SetCursor(TCursor cursor) {
    if (cursor == cursor_ || !Live()) return;
    cursor_ = cursor;
    XDefineCursor(display_, window_, TDisplay::Get()->CursorFor(cursor));
}

cairo_surface_t* TNativeWindow::BackBuffer() {
    if (!back_ || cairo_image_surface_get_width(back_.get()) != width_ ||
        cairo_image_surface_get_height(back_.get()) != height_)
        back_.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width_, height_));
    return back_.get();
}

void TNativeWindow::Present(const TRect& r) {
    if (!back_ || r.Empty() || !Live()) return;
    TDisplay::Get()->PutImage(window_, back_.get(), r);
}

void TNativeWindow::HandleNativeEvent(const XEvent& e) {
    TApplication& app = Application();
    const double s = owner_.Scale();
    auto logical = [s](int v) { return static_cast<int>(std::floor(v / s)); };
    switch (e.type) {
        case Expose: {
            const TRect device{e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height};
            owner_.AddDirty({logical(device.Left), logical(device.Top), logical(device.Right) + 1,
                             logical(device.Bottom) + 1});
            break;
        }
        case ButtonPress:
        case ButtonRelease: {
            const XButtonEvent& b = e.xbutton;
            app.SetMouseScreenPos({b.x_root, b.y_root});
            const bool press = e.type == ButtonPress;
            const TShiftState shift = ShiftStateOf(b.state);
            if (b.button == Button4 || b.button == Button5 || b.button == 6 || b.button == 7) {
                if (press && b.button <= Button5)
                    owner_.DispatchMouseWheel(shift, b.button == Button4 ? 120 : -120, logical(b.x), logical(b.y));
                break;
            }
            TMouseButton button;
            switch (b.button) {
                case Button1: button = TMouseButton::Left; break;
                case Button2: button = TMouseButton::Middle; break;
                case Button3: button = TMouseButton::Right; break;
                case 8: button = TMouseButton::X1; break;
                case 9: button = TMouseButton::X2; break;
                default: return;
            }
            if (press)
                owner_.DispatchMouseDown(button, shift, logical(b.x), logical(b.y));
            else
                owner_.DispatchMouseUp(button, shift, logical(b.x), logical(b.y));
            break;
        }
        case MotionNotify:
            app.SetMouseScreenPos({e.xmotion.x_root, e.xmotion.y_root});
            owner_.DispatchMouseMove(ShiftStateOf(e.xmotion.state), logical(e.xmotion.x), logical(e.xmotion.y));
            break;
        case EnterNotify:
            app.SetMouseScreenPos({e.xcrossing.x_root, e.xcrossing.y_root});
            owner_.DispatchMouseMove(ShiftStateOf(e.xcrossing.state), logical(e.xcrossing.x), logical(e.xcrossing.y));
            break;
        case LeaveNotify:
            // A grab of our own (a knob drag hides the cursor) is no leaving.
            if (e.xcrossing.mode == NotifyNormal) owner_.DispatchMouseLeave();
            break;
        case ConfigureNotify: {
            // Sized by someone else (the host): the control takes the new size.
            const XConfigureEvent& c = e.xconfigure;
            if (c.window != window_ || c.serial < sizeSerial_ || (c.width == width_ && c.height == height_)) break;
            width_ = c.width;
            height_ = c.height;
            owner_.SizedByHost(c.width, c.height);
            break;
        }
        case DestroyNotify:
            if (e.xdestroywindow.window == window_) owner_.NativeWindowLost();
            break;
        default:
            break;
    }
}

}  // namespace norv::tk
