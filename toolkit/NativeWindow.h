// The X window behind a windowed control: creation, geometry, mapping, its
// double buffer's presentation and the translation of its X events into the
// control's mouse input. Internal to the toolkit. GUI thread only.
#pragma once

#include <X11/Xlib.h>

#include "toolkit/Bitmap.h"
#include "toolkit/Geometry.h"

namespace norv::tk {

class TWinControl;

// Anything with an X window of its own that wants that window's events.
class INativeEventTarget {
public:
    virtual void HandleNativeEvent(const XEvent& e) = 0;

protected:
    ~INativeEventTarget() = default;
};

class TNativeWindow final : private INativeEventTarget {
public:
    // `parent` 0: a top-level window of the screen.
    TNativeWindow(TWinControl& owner, ::Window parent, const TRect& deviceBounds, bool mapped);
    ~TNativeWindow();
    TNativeWindow(const TNativeWindow&) = delete;
    TNativeWindow& operator=(const TNativeWindow&) = delete;

    ::Window Id() const { return window_; }
    void Reparent(::Window parent, int x, int y);
    void MoveResize(const TRect& deviceBounds);
    void SetMapped(bool mapped);
    void SetCursor(TCursor cursor);
    // The double buffer, sized to the window.
    cairo_surface_t* BackBuffer();
    // Copies `deviceRect` of the back buffer into the window.
    void Present(const TRect& deviceRect);
    // The server destroyed the window (its foreign parent went away).
    void Lost() { lost_ = true; }

private:
    void HandleNativeEvent(const XEvent& e) override;
    bool Live() const;

    TWinControl& owner_;
    ::Display* display_;
    ::Window window_ = 0;
    TSurface back_;
    int width_ = 1, height_ = 1;
    // The first request of our latest size change: configure events older
    // than it describe sizes that change overrides.
    unsigned long sizeSerial_ = 0;
    TCursor cursor_ = TCursor::Default;
    bool lost_ = false;
};

// Shift state of an X event's modifier mask.
TShiftState ShiftStateOf(unsigned state);

}  // namespace norv::tk
