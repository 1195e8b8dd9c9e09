#include "toolkit/CursorRelocation.h"

#include "toolkit/Application.h"
#include "toolkit/Display.h"
#include "toolkit/StylusSetting.h"

namespace norv::tk {

void TCursorRelocation::Begin(TPoint screen) {
    if (active_) return;
    active_ = true;
    device_.Hide();
    start_ = last_ = screen;
    rect_ = device_.MonitorBounds(screen).Inset(32);
}

void TCursorRelocation::Delta(int& dx, int& dy) {
    const TPoint c = device_.Position();
    dx = last_.X - c.X;
    dy = last_.Y - c.Y;
    last_ = c;
    if (stylus_) {
        dx *= 2;
        dy *= 2;
        return;
    }
    if (c.X < rect_.Left) last_.X = rect_.Right + c.X - rect_.Left;
    if (c.X > rect_.Right) last_.X = c.X + rect_.Left - rect_.Right;
    if (c.Y < rect_.Top) last_.Y = rect_.Bottom + c.Y - rect_.Top;
    if (c.Y > rect_.Bottom) last_.Y = c.Y + rect_.Top - rect_.Bottom;
    if (last_.X != c.X || last_.Y != c.Y) device_.MoveTo(last_);
}

void TCursorRelocation::End() {
    if (!active_) return;
    if (!stylus_) device_.MoveTo(start_);
    device_.Show();
    active_ = false;
}

namespace {

// The X pointer: hidden by an active grab with a blank cursor on the window
// under it, which also keeps every motion coming to that window.
class TXPointer final : public IPointerDevice {
public:
    TPoint Position() override {
        TDisplay* d = TDisplay::Get();
        return d ? d->QueryPointer() : Application().MouseScreenPos();
    }
    void MoveTo(TPoint p) override {
        if (TDisplay* d = TDisplay::Get()) d->WarpPointer(p);
    }
    void Hide() override {
        TDisplay* d = TDisplay::Get();
        if (!d || !GrabWindow) return;
        XGrabPointer(d->X(), static_cast<::Window>(GrabWindow), False,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, 0,
                     d->BlankCursor(), CurrentTime);
    }
    void Show() override {
        if (TDisplay* d = TDisplay::Get()) {
            XUngrabPointer(d->X(), CurrentTime);
            XFlush(d->X());
        }
    }
    TRect MonitorBounds(TPoint) override {
        TDisplay* d = TDisplay::Get();
        // Without a screen there is no edge to wrap at.
        return d ? d->ScreenBounds() : TRect{-(1 << 28), -(1 << 28), 1 << 28, 1 << 28};
    }
    uint64_t GrabWindow = 0;
};

TXPointer& XPointer() {
    static TXPointer pointer;
    return pointer;
}

}  // namespace

TCursorRelocation& SharedCursorRelocation() {
    static TCursorRelocation relocation(XPointer(), UseStylus());
    return relocation;
}

void SetRelocationWindow(uint64_t window) { XPointer().GrabWindow = window; }

}  // namespace norv::tk
