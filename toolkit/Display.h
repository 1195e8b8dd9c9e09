// The process's own connection to the X server, opened on first use.
// Internal to the toolkit: only its .cpp files include this (Xlib's macros
// stay out of everyone else's way). GUI thread only.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include "toolkit/Geometry.h"

namespace norv::tk {

class TDisplay {
public:
    // nullptr without a display: the toolkit then works headless.
    static TDisplay* Get();
    // When the library unloads; windows must be gone.
    static void Close();
    // Tests that must not touch a display even when one is set.
    static void SetHeadless(bool headless);

    ::Display* X() const { return display_; }
    // False once the connection to the server broke; nothing more is sent then.
    bool Usable() const;
    int Fd() const;
    ::Window Root() const;
    ::Visual* Visual() const;
    int Depth() const;
    // The monitor's bounds in device pixels (the whole screen).
    TRect ScreenBounds() const;

    ::Cursor CursorFor(TCursor kind);
    ::Cursor BlankCursor();

    // Shows the part `r` of `image` (CAIRO_FORMAT_RGB24, the window's size)
    // at the same place in `window`.
    void PutImage(::Window window, cairo_surface_t* image, const TRect& r);

    TPoint QueryPointer() const;
    void WarpPointer(TPoint p) const;

    // Errors seen on this connection since the start; X errors are reported
    // on standard error and never end the process.
    static int ErrorCount();

private:
    explicit TDisplay(::Display* display);
    ~TDisplay();

    // cairo's state for this connection, finished before the connection closes.
    void KeepCairoDevice(cairo_surface_t* xlibSurface);

    ::Display* display_;
    ::Cursor blank_ = 0, hand_ = 0, up_ = 0, down_ = 0;
    cairo_device_t* cairo_ = nullptr;
};

}  // namespace norv::tk
