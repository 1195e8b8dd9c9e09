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

std::optional<PanelSize> PanelGeometry::SizeOf(uintptr_t window) const {
    if (!display_ || window == 0) return std::nullopt;
    XSync(display_, False);
    gTrapped = display_;
    gFailed = false;
    gOuter = XSetErrorHandler(&TrapError);
    ::Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    const Status ok = XGetGeometry(display_, static_cast<::Window>(window), &root, &x, &y, &w, &h, &border, &depth);
    XSync(display_, False);
    XErrorHandler now = XSetErrorHandler(gOuter.load());
    // Someone else set a handler meanwhile: theirs stays.
    if (now != &TrapError) XSetErrorHandler(now);
    gTrapped = nullptr;
    if (!ok || gFailed) return std::nullopt;
    return PanelSize{static_cast<int>(w), static_cast<int>(h)};
}

}  // namespace norv::lv2
