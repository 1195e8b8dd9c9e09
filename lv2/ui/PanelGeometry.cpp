#include "lv2/ui/PanelGeometry.h"

#include <X11/Xlib.h>

#include <atomic>

namespace norv::lv2 {
namespace {

// A window that is gone answers with an error; Xlib's default handler would
// end the host's process. The handler is the process's, so it is swapped in
// only around the one request, and errors of other connections pass on.
std::atomic<Display*> gTrapped{nullptr};
std::atomic<bool> gFailed{false};
std::atomic<XErrorHandler> gOuter{nullptr};

int TrapError(Display* display, XErrorEvent* event) {
    if (display == gTrapped.load()) {
        gFailed = true;
        return 0;
    }
    XErrorHandler outer = gOuter.load();
    return outer ? outer(display, event) : 0;
}

}  // namespace

PanelGeometry::PanelGeometry() : display_(XOpenDisplay(nullptr)) {}

PanelGeometry::~PanelGeometry() {
    if (display_) XCloseDisplay(display_);
}

template <typename Request>
bool PanelGeometry::Trapped(Request request) const {
    XSync(display_, False);
    gTrapped = display_;
    gFailed = false;
    gOuter = XSetErrorHandler(&TrapError);
    const bool ok = request();
    XSync(display_, False);
    XErrorHandler now = XSetErrorHandler(gOuter.load());
    // Someone else set a handler meanwhile: theirs stays.
    if (now != &TrapError) XSetErrorHandler(now);
    gTrapped = nullptr;
    return ok && !gFailed;
}

std::optional<PanelSize> PanelGeometry::SizeOf(uintptr_t window) const {
    if (!display_ || window == 0) return std::nullopt;
    unsigned w = 0, h = 0;
    const bool ok = Trapped([&] {
        ::Window root;
        int x, y;
        unsigned border, depth;
        return XGetGeometry(display_, static_cast<::Window>(window), &root, &x, &y, &w, &h, &border, &depth) != 0;
    });
    if (!ok) return std::nullopt;
    return PanelSize{static_cast<int>(w), static_cast<int>(h)};
}

bool PanelGeometry::Resize(uintptr_t window, PanelSize size) const {
    if (!display_ || window == 0 || size.Width <= 0 || size.Height <= 0) return false;
    return Trapped([&] {
        XResizeWindow(display_, static_cast<::Window>(window), static_cast<unsigned>(size.Width),
                      static_cast<unsigned>(size.Height));
        return true;
    });
}

bool PanelGeometry::ButtonHeld(uintptr_t window) const {
    if (!display_ || window == 0) return false;
    unsigned mask = 0;
    const bool ok = Trapped([&] {
        ::Window root, child;
        int rx, ry, wx, wy;
        return XQueryPointer(display_, static_cast<::Window>(window), &root, &child, &rx, &ry, &wx, &wy, &mask) != 0;
    });
    return ok && (mask & (Button1Mask | Button2Mask | Button3Mask)) != 0;
}

}  // namespace norv::lv2
