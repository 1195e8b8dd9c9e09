#include "host/EditorWindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <pango/pangocairo.h>
#include <poll.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace norv::host {

struct EditorWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
    Window panel = 0;
    Atom deleteWindow = 0;
    // The first request of our latest resize of the window; older configure
    // events describe sizes that resize overrides.
    unsigned long sizeSerial = 0;
    double scale = 1;
    int width = 400, panelHeight = 237;
    std::string status;
    bool open = true;
    bool pointerInside = false;

    int StatusHeight() const { return static_cast<int>(std::lround(20 * scale)); }

    // The window was resized from outside: the panel takes the room above the status line.
    void Resized(const XConfigureEvent& c) {
        if (c.window != window || c.serial < sizeSerial) return;
        const int height = std::max(1, c.height - StatusHeight());
        if (c.width == width && height == panelHeight) return;
        width = c.width;
        panelHeight = height;
        if (panel) XResizeWindow(display, panel, static_cast<unsigned>(width), static_cast<unsigned>(panelHeight));
        XFlush(display);
        DrawStatus();
    }

    // Drawn into an image and put to the window with Xlib: cairo's own state
    // for the connection would keep cached fonts past the connection's end.
    // Needs a 24-bit visual (any current display); others show no status line.
    void DrawStatus() {
        const int w = width, h = StatusHeight();
        const int screen = DefaultScreen(display);
        if (DefaultDepth(display, screen) != 24) return;
        cairo_surface_t* line = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cairo_t* cr = cairo_create(line);
        cairo_set_source_rgb(cr, 0.16, 0.16, 0.17);
        cairo_paint(cr);
        PangoLayout* layout = pango_cairo_create_layout(cr);
        PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans");
        pango_font_description_set_absolute_size(font, 11 * scale * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_font_description_free(font);
        pango_layout_set_text(layout, status.c_str(), static_cast<int>(status.size()));
        pango_layout_set_width(layout, static_cast<int>((w - 12 * scale) * PANGO_SCALE));
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        int tw = 0, th = 0;
        pango_layout_get_pixel_size(layout, &tw, &th);
        cairo_set_source_rgb(cr, 0.85, 0.85, 0.82);
        cairo_move_to(cr, 6 * scale, (h - th) / 2.0);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
        cairo_destroy(cr);
        cairo_surface_flush(line);

        XImage* image = XCreateImage(display, DefaultVisual(display, screen), 24, ZPixmap, 0,
                                     reinterpret_cast<char*>(cairo_image_surface_get_data(line)),
                                     static_cast<unsigned>(w), static_cast<unsigned>(h), 32,
                                     cairo_image_surface_get_stride(line));
        if (image) {
            XPutImage(display, window, DefaultGC(display, screen), image, 0, 0, 0, panelHeight,
                      static_cast<unsigned>(w), static_cast<unsigned>(h));
            image->data = nullptr;  // cairo's
            XDestroyImage(image);
        }
        cairo_surface_destroy(line);
        XFlush(display);
    }
};

EditorWindow::EditorWindow(const std::string& title, double scale) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.display = XOpenDisplay(nullptr);
    if (!m.display) throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    m.scale = scale;
    m.width = static_cast<int>(std::lround(400 * scale));
    m.panelHeight = static_cast<int>(std::lround(237 * scale));
    const int screen = DefaultScreen(m.display);
    m.window = XCreateSimpleWindow(m.display, RootWindow(m.display, screen), 0, 0, static_cast<unsigned>(m.width),
                                   static_cast<unsigned>(m.panelHeight + m.StatusHeight()), 0, 0,
                                   0x2A2A2C);
    XSelectInput(m.display, m.window, ExposureMask | StructureNotifyMask | EnterWindowMask | LeaveWindowMask);
    XStoreName(m.display, m.window, title.c_str());
    Atom utf8 = XInternAtom(m.display, "UTF8_STRING", False);
    XChangeProperty(m.display, m.window, XInternAtom(m.display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    m.deleteWindow = XInternAtom(m.display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(m.display, m.window, &m.deleteWindow, 1);
    XFlush(m.display);
}

EditorWindow::~EditorWindow() {
    XDestroyWindow(impl_->display, impl_->window);
    XCloseDisplay(impl_->display);
}

intptr_t EditorWindow::Handle() const { return static_cast<intptr_t>(impl_->window); }

void EditorWindow::FitPanel(intptr_t panel) {
    Impl& m = *impl_;
    Window root;
    int x, y;
    unsigned w = 0, h = 0, border, depth;
    if (!panel || !XGetGeometry(m.display, static_cast<Window>(panel), &root, &x, &y, &w, &h, &border, &depth)) return;
    m.panel = static_cast<Window>(panel);
    m.width = static_cast<int>(w);
    m.panelHeight = static_cast<int>(h);
    // The panel's width is its own; its height is the user's to change (the
    // panel may correct it and ask to be fitted again).
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = m.width;
    hints.min_height = m.StatusHeight() + 1;
    hints.max_height = 32767;
    XSetWMNormalHints(m.display, m.window, &hints);
    m.sizeSerial = NextRequest(m.display);
    XResizeWindow(m.display, m.window, w, static_cast<unsigned>(m.panelHeight + m.StatusHeight()));
    m.DrawStatus();
}

int EditorWindow::PanelWidth() const { return impl_->width; }

int EditorWindow::PanelHeight() const { return impl_->panelHeight; }

void EditorWindow::Show() {
    XMapWindow(impl_->display, impl_->window);
    XFlush(impl_->display);
}

void EditorWindow::SetStatus(const std::string& utf8) {
    if (utf8 == impl_->status) return;
    impl_->status = utf8;
    impl_->DrawStatus();
}

bool EditorWindow::Pump(int waitMs) {
    Impl& m = *impl_;
    if (XPending(m.display) == 0 && waitMs > 0) {
        pollfd p{ConnectionNumber(m.display), POLLIN, 0};
        poll(&p, 1, waitMs);
    }
    while (XPending(m.display)) {
        XEvent e;
        XNextEvent(m.display, &e);
        if (e.type == Expose && e.xexpose.count == 0) m.DrawStatus();
        if (e.type == ConfigureNotify) m.Resized(e.xconfigure);
        if (e.type == ClientMessage && static_cast<Atom>(e.xclient.data.l[0]) == m.deleteWindow) m.open = false;
        // Moving onto the embedded panel is no leaving.
        if (e.type == EnterNotify) m.pointerInside = true;
        if (e.type == LeaveNotify && e.xcrossing.detail != NotifyInferior) m.pointerInside = false;
    }
    return m.open;
}

bool EditorWindow::PointerInside() const { return impl_->pointerInside; }

}  // namespace norv::host
