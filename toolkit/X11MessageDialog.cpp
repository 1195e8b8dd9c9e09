#include "toolkit/X11MessageDialog.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

#include "toolkit/MessageDialogView.h"

namespace norv::tk {
namespace {

constexpr const char* kTitle = "Norv Keys";

// Xlib's error handler is process-wide. While the dialog runs, errors on its
// own connection are recorded here instead of ending the process; errors on
// any other connection go on to the handler that was there before.
class TXErrorTrap {
public:
    explicit TXErrorTrap(Display* display) {
        errors_ = 0;
        display_ = display;
        previous_ = XSetErrorHandler(&Handler);
    }
    ~TXErrorTrap() {
        display_ = nullptr;
        XErrorHandler current = XSetErrorHandler(previous_.load());
        // Someone installed a handler of their own meanwhile: keep theirs. Ours
        // stays able to pass errors on to `previous_` if theirs chains to it.
        if (current != &Handler) XSetErrorHandler(current);
    }
    TXErrorTrap(const TXErrorTrap&) = delete;
    TXErrorTrap& operator=(const TXErrorTrap&) = delete;

    // Waits for the server's answer to everything sent so far and tells
    // whether any of it failed since the last call.
    bool SyncFailed(Display* display) {
        XSync(display, False);
        return errors_.exchange(0) != 0;
    }

private:
    static int Handler(Display* display, XErrorEvent* event) {
        if (display == display_.load()) {
            errors_.fetch_add(1);
            return 0;
        }
        XErrorHandler previous = previous_.load();
        return previous != nullptr && previous != &Handler ? previous(display, event) : 0;
    }

    static inline std::atomic<Display*> display_{nullptr};
    static inline std::atomic<XErrorHandler> previous_{nullptr};
    static inline std::atomic<int> errors_{0};
};

bool HasProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format,
                                          &count, &after, &data);
    if (data) XFree(data);
    return status == Success && type != None;
}

// The window a dialog should be transient for: the nearest window at or above
// `owner` that the window manager manages (it carries WM_STATE), or, without a
// window manager, the top-level window that holds `owner`. None when the owner
// is not a window.
Window FindTransientTarget(Display* display, TXErrorTrap& trap, Window owner) {
    const Atom wmState = XInternAtom(display, "WM_STATE", False);
    Window window = owner;
    Window topLevel = None;
    for (int depth = 0; depth < 64; ++depth) {
        const bool managed = HasProperty(display, window, wmState);
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        const Status ok = XQueryTree(display, window, &root, &parent, &children, &count);
        if (children) XFree(children);
        if (trap.SyncFailed(display) || !ok) return None;
        if (managed) return window;
        if (window == root) return topLevel;  // the owner is the root window itself
        topLevel = window;
        if (parent == root) return topLevel;
        window = parent;
    }
    return topLevel;
}

unsigned long AllocPixel(Display* display, int screen, unsigned short r, unsigned short g, unsigned short b) {
    XColor color{};
    color.red = r;
    color.green = g;
    color.blue = b;
    if (XAllocColor(display, DefaultColormap(display, screen), &color)) return color.pixel;
    return WhitePixel(display, screen);
}

void SetAtomProperty(Display* display, Window window, const char* property, const char* value) {
    const Atom atom = XInternAtom(display, value, False);
    XChangeProperty(display, window, XInternAtom(display, property, False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&atom), 1);
}

class TDialog {
public:
    TDialog(Display* display, TXErrorTrap& trap, std::string_view text) : display_(display), trap_(trap), view_(text) {}
    ~TDialog() { Destroy(); }
    TDialog(const TDialog&) = delete;
    TDialog& operator=(const TDialog&) = delete;

    bool Create(WindowId owner);
    void Run();

private:
    void Place(Window target, int& x, int& y);
    void Paint();
    void SetButtonDown(bool down);
    void Destroy();

    Display* display_;
    TXErrorTrap& trap_;
    TMessageDialogView view_;
    int screen_ = 0;
    Window window_ = None;
    cairo_surface_t* surface_ = nullptr;
    Atom wmProtocols_ = None, wmDelete_ = None;
    Window previousFocus_ = None;
    int previousRevert_ = RevertToParent;
    bool tookFocus_ = false;
    bool destroyed_ = false;
    bool buttonDown_ = false;
};

void TDialog::Place(Window target, int& x, int& y) {
    const int screenW = DisplayWidth(display_, screen_), screenH = DisplayHeight(display_, screen_);
    int cx = screenW / 2, cy = screenH / 2;
    XWindowAttributes attrs;
    Window child = None;
    int left = 0, top = 0;
    if (target != None && XGetWindowAttributes(display_, target, &attrs) &&
        XTranslateCoordinates(display_, target, attrs.root, 0, 0, &left, &top, &child)) {
        cx = left + attrs.width / 2;
        cy = top + attrs.height / 2;
    }
    trap_.SyncFailed(display_);  // the owner may have gone meanwhile: centre on the screen then
    x = std::clamp(cx - view_.Width() / 2, 0, std::max(0, screenW - view_.Width()));
    y = std::clamp(cy - view_.Height() / 2, 0, std::max(0, screenH - view_.Height()));
}

bool TDialog::Create(WindowId owner) {
    // An id beyond 32 bits would be cut to a different window on the wire.
    Window target = None;
    if (owner != 0 && owner <= 0xFFFFFFFFu) target = FindTransientTarget(display_, trap_, static_cast<Window>(owner));
    screen_ = DefaultScreen(display_);
    XWindowAttributes targetAttrs;
    if (target != None && XGetWindowAttributes(display_, target, &targetAttrs))
        screen_ = XScreenNumberOfScreen(targetAttrs.screen);
    if (trap_.SyncFailed(display_)) target = None;

    int x = 0, y = 0;
    Place(target, x, y);
    const int w = view_.Width(), h = view_.Height();
    XSetWindowAttributes attrs{};
    attrs.background_pixel = AllocPixel(display_, screen_, 0xf000, 0xf000, 0xf000);
    attrs.border_pixel = BlackPixel(display_, screen_);
    attrs.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                       ButtonMotionMask | StructureNotifyMask;
    Visual* visual = DefaultVisual(display_, screen_);
    window_ = XCreateWindow(display_, RootWindow(display_, screen_), x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), 0, DefaultDepth(display_, screen_), InputOutput, visual,
                            CWBackPixel | CWBorderPixel | CWEventMask, &attrs);
    if (trap_.SyncFailed(display_) || window_ == None) {
        window_ = None;
        return false;
    }

    XStoreName(display_, window_, kTitle);
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kTitle), static_cast<int>(std::strlen(kTitle)));
    XClassHint classHint{const_cast<char*>("norvkeys"), const_cast<char*>("NorvKeys")};
    XSetClassHint(display_, window_, &classHint);
    if (target != None) XSetTransientForHint(display_, window_, target);
    SetAtomProperty(display_, window_, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
    SetAtomProperty(display_, window_, "_NET_WM_STATE", "_NET_WM_STATE_MODAL");

    XSizeHints size{};
    size.flags = PPosition | PSize | PMinSize | PMaxSize;
    size.x = x;
    size.y = y;
    size.width = size.min_width = size.max_width = w;
    size.height = size.min_height = size.max_height = h;
    XSetWMNormalHints(display_, window_, &size);
    XWMHints hints{};
    hints.flags = InputHint | StateHint;
    hints.input = True;
    hints.initial_state = NormalState;
    XSetWMHints(display_, window_, &hints);
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDelete_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &wmDelete_, 1);

    surface_ = cairo_xlib_surface_create(display_, window_, visual, w, h);
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) return false;

    XGetInputFocus(display_, &previousFocus_, &previousRevert_);
    XMapRaised(display_, window_);
    return !trap_.SyncFailed(display_);
}

void TDialog::Paint() {
    cairo_t* cr = cairo_create(surface_);
    view_.Paint(cr, buttonDown_);
    cairo_destroy(cr);
    cairo_surface_flush(surface_);
    XFlush(display_);
}

void TDialog::SetButtonDown(bool down) {
    if (down == buttonDown_) return;
    buttonDown_ = down;
    Paint();
}

void TDialog::Run() {
    // A key dismisses on release, and only after its press reached us, so the
    // release of a key that was already down when the dialog came up does not.
    unsigned int armedKey = 0;
    bool mouseDown = false;
    for (bool done = false; !done;) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.xany.window != window_) continue;
        switch (event.type) {
            case MapNotify:
                XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
                tookFocus_ = true;
                break;
            case Expose:
                if (event.xexpose.count == 0) Paint();
                break;
            case ConfigureNotify:
                cairo_xlib_surface_set_size(surface_, event.xconfigure.width, event.xconfigure.height);
                break;
            case KeyPress: {
                const KeySym key = XLookupKeysym(&event.xkey, 0);
                if (key == XK_Return || key == XK_KP_Enter || key == XK_Escape || key == XK_space) {
                    armedKey = event.xkey.keycode;
                    SetButtonDown(true);
                }
                break;
            }
            case KeyRelease:
                if (armedKey != 0 && event.xkey.keycode == armedKey) done = true;
                break;
            case ButtonPress:
                if (event.xbutton.button == Button1 && view_.ButtonRect().Contains(event.xbutton.x, event.xbutton.y)) {
                    mouseDown = true;
                    SetButtonDown(true);
                }
                break;
            case MotionNotify:
                if (mouseDown) SetButtonDown(view_.ButtonRect().Contains(event.xmotion.x, event.xmotion.y));
                break;
            case ButtonRelease:
                if (event.xbutton.button == Button1 && mouseDown) {
                    mouseDown = false;
                    if (view_.ButtonRect().Contains(event.xbutton.x, event.xbutton.y))
                        done = true;
                    else
                        SetButtonDown(false);
                }
                break;
            case ClientMessage:
                if (event.xclient.message_type == wmProtocols_ && event.xclient.format == 32 &&
                    static_cast<Atom>(event.xclient.data.l[0]) == wmDelete_)
                    done = true;
                break;
            case DestroyNotify:
                destroyed_ = true;
                done = true;
                break;
            default:
                break;
        }
    }
}

void TDialog::Destroy() {
    if (surface_) {
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
    if (window_ == None) return;
    if (tookFocus_ && !destroyed_) {
        // Hand the keyboard back to whoever had it, as long as nobody else took it meanwhile.
        Window focus = None;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        if (focus == window_) XSetInputFocus(display_, previousFocus_, previousRevert_, CurrentTime);
    }
    if (!destroyed_) XDestroyWindow(display_, window_);
    window_ = None;
    trap_.SyncFailed(display_);
}

}  // namespace

bool RunX11MessageDialog(std::string_view utf8Text, WindowId owner) {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') return false;
    Display* display = XOpenDisplay(name);
    if (display == nullptr) return false;
    bool shown = false;
    {
        TXErrorTrap trap(display);
        {
            TDialog dialog(display, trap, utf8Text);
            if (dialog.Create(owner)) {
                dialog.Run();
                shown = true;
            }
        }
        XCloseDisplay(display);
    }
    return shown;
}

}  // namespace norv::tk
