#include "toolkit/Display.h"

#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <cairo-xlib.h>

#include <atomic>
#include <bit>
#include <cstdio>
#include <cstdlib>

namespace norv::tk {
namespace {

TDisplay* gDisplay = nullptr;
bool gTried = false;
bool gHeadless = false;
std::atomic<::Display*> gErrorDisplay{nullptr};
std::atomic<XErrorHandler> gPreviousHandler{nullptr};
std::atomic<int> gErrors{0};
bool gBroken = false;

// The server went away. Xlib's default ends the process; a plug-in must not.
void ConnectionLost(::Display*, void*) {
    if (!gBroken) std::fprintf(stderr, "Norv Keys: the connection to the X server broke; the editor stops drawing\n");
    gBroken = true;
}

// Xlib's default handler ends the process; a plug-in must never do that to
// its host. Errors on other connections stay the host's business.
int ReportXError(::Display* display, XErrorEvent* event) {
    if (display != gErrorDisplay.load()) {
        XErrorHandler previous = gPreviousHandler.load();
        return previous ? previous(display, event) : 0;
    }
    gErrors.fetch_add(1);
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    std::fprintf(stderr, "Norv Keys: X error: %s (request %d, resource 0x%lx)\n", text, event->request_code,
                 event->resourceid);
    return 0;
}

}  // namespace

TDisplay* TDisplay::Get() {
    if (gDisplay || gTried || gHeadless) return gDisplay;
    gTried = true;
    const char* name = std::getenv("DISPLAY");
    if (!name || !*name) return nullptr;
    ::Display* d = XOpenDisplay(nullptr);
    if (!d) return nullptr;
    gDisplay = new TDisplay(d);
    return gDisplay;
}

void TDisplay::Close() {
    delete gDisplay;
    gDisplay = nullptr;
    gTried = false;
}

void TDisplay::SetHeadless(bool headless) { gHeadless = headless; }

int TDisplay::ErrorCount() { return gErrors.load(); }

TDisplay::TDisplay(::Display* display) : display_(display) {
    gErrorDisplay = display;
    gBroken = false;
    XSetIOErrorExitHandler(display, &ConnectionLost, nullptr);
    XErrorHandler previous = XSetErrorHandler(&ReportXError);
    if (previous != &ReportXError) gPreviousHandler = previous;
}

bool TDisplay::Usable() const { return !gBroken; }

void TDisplay::KeepCairoDevice(cairo_surface_t* xlibSurface) {
    if (!cairo_) cairo_ = cairo_device_reference(cairo_surface_get_device(xlibSurface));
}

void TDisplay::PutImage(::Window window, cairo_surface_t* image, const TRect& r) {
    cairo_surface_flush(image);
    const int w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
    const TRect part = r.Intersect({0, 0, w, h});
    if (part.Empty()) return;
    // On the usual 24-bit true-colour visual, cairo's pixels are the
    // server's: sent as they are. cairo's own path would go through shared
    // memory, whose bookkeeping cairo 1.16 loses when the connection closes
    // with an upload still pending.
    const ::Visual* v = Visual();
    if (Depth() == 24 && v->red_mask == 0xFF0000 && v->green_mask == 0xFF00 && v->blue_mask == 0xFF) {
        XImage x{};
        x.width = w;
        x.height = h;
        x.format = ZPixmap;
        x.data = reinterpret_cast<char*>(cairo_image_surface_get_data(image));
        x.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        x.bitmap_unit = 32;
        x.bitmap_bit_order = x.byte_order;
        x.bitmap_pad = 32;
        x.depth = 24;
        x.bytes_per_line = cairo_image_surface_get_stride(image);
        x.bits_per_pixel = 32;
        x.red_mask = v->red_mask;
        x.green_mask = v->green_mask;
        x.blue_mask = v->blue_mask;
        if (XInitImage(&x)) {
            XPutImage(display_, window, DefaultGC(display_, DefaultScreen(display_)), &x, part.Left, part.Top,
                      part.Left, part.Top, static_cast<unsigned>(part.Width()), static_cast<unsigned>(part.Height()));
            return;
        }
    }
    cairo_surface_t* target = cairo_xlib_surface_create(display_, window, Visual(), w, h);
    KeepCairoDevice(target);
    cairo_t* cr = cairo_create(target);
    cairo_rectangle(cr, part.Left, part.Top, part.Width(), part.Height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    cairo_surface_destroy(target);
}

TDisplay::~TDisplay() {
    if (!gBroken)
        for (::Cursor c : {blank_, hand_, up_, down_})
            if (c) XFreeCursor(display_, c);
    if (cairo_) {
        cairo_device_finish(cairo_);
        cairo_device_destroy(cairo_);
    }
    XCloseDisplay(display_);
    gErrorDisplay = nullptr;
}

int TDisplay::Fd() const { return ConnectionNumber(display_); }
::Window TDisplay::Root() const { return DefaultRootWindow(display_); }
::Visual* TDisplay::Visual() const { return DefaultVisual(display_, DefaultScreen(display_)); }
int TDisplay::Depth() const { return DefaultDepth(display_, DefaultScreen(display_)); }

TRect TDisplay::ScreenBounds() const {
    const int s = DefaultScreen(display_);
    return {0, 0, DisplayWidth(display_, s), DisplayHeight(display_, s)};
}

::Cursor TDisplay::CursorFor(TCursor kind) {
    auto make = [&](::Cursor& slot, unsigned shape) {
        if (!slot) slot = XCreateFontCursor(display_, shape);
        return slot;
    };
    switch (kind) {
        case TCursor::HandPoint: return make(hand_, XC_hand2);
        case TCursor::SizeUp: return make(up_, XC_sb_up_arrow);
        case TCursor::SizeDown: return make(down_, XC_sb_down_arrow);
        case TCursor::Default: break;
    }
    return 0;
}

::Cursor TDisplay::BlankCursor() {
    if (blank_) return blank_;
    static const char empty[1] = {0};
    Pixmap p = XCreateBitmapFromData(display_, Root(), empty, 1, 1);
    XColor black{};
    blank_ = XCreatePixmapCursor(display_, p, p, &black, &black, 0, 0);
    XFreePixmap(display_, p);
    return blank_;
}

TPoint TDisplay::QueryPointer() const {
    ::Window root, child;
    int rx = 0, ry = 0, wx, wy;
    unsigned mask;
    XQueryPointer(display_, Root(), &root, &child, &rx, &ry, &wx, &wy, &mask);
    return {rx, ry};
}

void TDisplay::WarpPointer(TPoint p) const { XWarpPointer(display_, 0, Root(), 0, 0, 0, 0, p.X, p.Y); }

}  // namespace norv::tk
