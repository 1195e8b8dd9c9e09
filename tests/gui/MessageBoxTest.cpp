// GoogleTest first: Xlib defines macros (None, Status) that clash with it.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/Cp936.h"
#include "toolkit/MessageBox.h"
#include "toolkit/MessageDialogView.h"
#include "support/ScopedEnv.h"
#include "support/XSession.h"

extern char** environ;

namespace norv::tk {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous: only a broken dialog comes near it.
constexpr auto kPatience = 20s;

const char* const kVersionText = "Norv Keys 仅运行在 Norv Studio 4.1.2 或更改版本";
const char* const kLoadText = "Something went wrong loading the wavetable - stopped";

std::string ReadAll(int fd) {
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
    return out;
}

// Runs `call` with standard error going into a pipe; returns what it wrote.
std::string CaptureStandardError(const std::function<void()>& call) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "<pipe failed>";
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(pipeFds[1], STDERR_FILENO);
    close(pipeFds[1]);
    call();
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::string text = ReadAll(pipeFds[0]);
    close(pipeFds[0]);
    return text;
}

TEST(MessageBoxHeadless, WritesOneUtf8LineToStandardError) {
    bool shown = true;
    std::string err = CaptureStandardError([&] { shown = ShowErrorMessage(Utf8ToCp936(kVersionText), 0); });
    EXPECT_FALSE(shown);
    EXPECT_EQ(err, std::string("Norv Keys: ") + kVersionText + "\n");

    err = CaptureStandardError([&] { shown = ShowErrorMessage(kLoadText, 0); });
    EXPECT_FALSE(shown);
    EXPECT_EQ(err, "Norv Keys: Something went wrong loading the wavetable - stopped\n");

    // Line breaks and terminal controls cannot split the line or reach the terminal.
    err = CaptureStandardError([&] { shown = ShowErrorMessage("first\r\nsecond\x1b[2Jthird\x7f", 0); });
    EXPECT_EQ(err, "Norv Keys: first  second [2Jthird \n");

    // Bytes that are not code page 936 still give a line.
    err = CaptureStandardError([&] { shown = ShowErrorMessage("\xff\xff ok", 0); });
    EXPECT_EQ(err, "Norv Keys: ?? ok\n");
    err = CaptureStandardError([&] { shown = ShowErrorMessage("", 0); });
    EXPECT_EQ(err, "Norv Keys: \n");
}

TEST(MessageBoxHeadless, AnOwnerWithoutDisplayStillWritesToStandardError) {
    test::ScopedEnv noDisplay("DISPLAY", nullptr);
    bool shown = true;
    std::string err = CaptureStandardError([&] { shown = ShowErrorMessage(Utf8ToCp936(kVersionText), 0x400001); });
    EXPECT_FALSE(shown);
    EXPECT_EQ(err, std::string("Norv Keys: ") + kVersionText + "\n");

    setenv("DISPLAY", "", 1);
    err = CaptureStandardError([&] { shown = ShowErrorMessage(kLoadText, 0x400001); });
    EXPECT_FALSE(shown);
    EXPECT_EQ(err, std::string("Norv Keys: ") + kLoadText + "\n");

    // A display that no server answers.
    for (int n = 3999; n > 3900; --n) {
        if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(n))) continue;
        setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
        break;
    }
    err = CaptureStandardError([&] { shown = ShowErrorMessage(kLoadText, 0x400001); });
    EXPECT_FALSE(shown);
    EXPECT_EQ(err, std::string("Norv Keys: ") + kLoadText + "\n");
}

// --- Under a private X server ------------------------------------------------

// Waits for `pid` to end, killing it after `limit`. Its exit code, or -1.
int WaitForChild(pid_t pid, std::chrono::nanoseconds limit) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0) return -1;
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
}

// The dialog process ended by itself, and ShowErrorMessage returned true.
bool Returned(int exitCode) { return exitCode >= 0 && (exitCode & 1) != 0; }

bool ChildAlive(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

int XErrorsSeen = 0;
int CountXError(Display*, XErrorEvent*) {
    ++XErrorsSeen;
    return 0;
}

// A child process that calls ShowErrorMessage on the test server, so a
// dialog that never ends cannot hang the tests.
class TDialogProcess {
public:
    // Exit code: bit 0 the call returned true, bit 1 the error handler that
    // was installed before the call is in place after it, bit 2 that handler
    // still receives the errors of another connection of the process.
    TDialogProcess(const std::string& display, std::string_view cp936Text, WindowId owner) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        std::fflush(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(pipeFds[1], STDERR_FILENO);
            close(pipeFds[0]);
            close(pipeFds[1]);
            setenv("DISPLAY", display.c_str(), 1);
            Display* other = XOpenDisplay(display.c_str());
            XSetErrorHandler(&CountXError);
            const bool shown = ShowErrorMessage(cp936Text, owner);
            const bool restored = XSetErrorHandler(&CountXError) == &CountXError;
            bool forwarded = false;
            if (other) {
                Window gone = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
                XDestroyWindow(other, gone);
                XMapWindow(other, gone);
                XSync(other, False);
                forwarded = XErrorsSeen == 1;
            }
            _exit((shown ? 1 : 0) | (restored ? 2 : 0) | (forwarded ? 4 : 0));
        }
        close(pipeFds[1]);
        errFd_ = pipeFds[0];
    }
    ~TDialogProcess() {
        if (pid_ > 0 && exit_ == kRunning) Finish();
        if (errFd_ >= 0) close(errFd_);
    }
    TDialogProcess(const TDialogProcess&) = delete;
    TDialogProcess& operator=(const TDialogProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    bool Alive() const { return exit_ == kRunning && ChildAlive(pid_); }
    int Finish() {
        if (exit_ == kRunning) exit_ = WaitForChild(pid_, kPatience);
        return exit_;
    }
    std::string StandardError() { return errFd_ >= 0 ? ReadAll(errFd_) : ""; }

private:
    static constexpr int kRunning = -2;
    pid_t pid_ = -1;
    int errFd_ = -1;
    int exit_ = kRunning;
};

class MessageBoxX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new test::XvfbServer("800x600x24");
        if (server_->Display().empty()) return;
        display_ = server_->Display();
        x_ = XOpenDisplay(display_.c_str());
        // Windows of the child come and go under our queries.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    static void TearDownTestSuite() {
        if (x_) XCloseDisplay(x_);
        x_ = nullptr;
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!test::FindProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_NE(x_, nullptr) << "Xvfb did not start";
    }

    static Window Root() { return DefaultRootWindow(x_); }

    static Window MakeOwner(int x, int y, int w, int h) {
        Window owner = XCreateSimpleWindow(x_, Root(), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0, 0, 0);
        XStoreName(x_, owner, "Host");
        XMapWindow(x_, owner);
        XSync(x_, False);
        return owner;
    }

    // The dialog: a viewable child of the root titled "Norv Keys".
    static Window FindDialog() {
        Window root = None, parent = None, *children = nullptr;
        unsigned int count = 0;
        Window found = None;
        if (!XQueryTree(x_, Root(), &root, &parent, &children, &count)) return None;
        for (unsigned int i = 0; i < count && found == None; ++i) {
            char* name = nullptr;
            XWindowAttributes attrs;
            if (XFetchName(x_, children[i], &name) && name && std::strcmp(name, "Norv Keys") == 0 &&
                XGetWindowAttributes(x_, children[i], &attrs) && attrs.map_state == IsViewable)
                found = children[i];
            if (name) XFree(name);
        }
        if (children) XFree(children);
        return found;
    }

    // Waits until the dialog is up, has the keyboard and has painted its icon.
    static Window WaitForDialog(TDialogProcess& child) {
        const auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline && child.Alive()) {
            const Window dialog = FindDialog();
            Window focus = None;
            int revert = 0;
            XGetInputFocus(x_, &focus, &revert);
            if (dialog != None && focus == dialog && IconPainted(dialog)) return dialog;
            std::this_thread::sleep_for(10ms);
        }
        return None;
    }

    static bool IconPainted(Window dialog) {
        const TBox icon = TMessageDialogView("").IconRect();
        XImage* image = XGetImage(x_, dialog, icon.Left + 4, icon.Top + icon.Height / 2, 1, 1, AllPlanes, ZPixmap);
        if (!image) return false;
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        return ((pixel >> 16) & 0xff) > 0xa0 && ((pixel >> 8) & 0xff) < 0x40;
    }

    static bool WaitForDialogGone() {
        const auto deadline = Clock::now() + kPatience;
        while (FindDialog() != None) {
            if (Clock::now() > deadline) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    static void XdoTool(const std::vector<std::string>& words) {
        ASSERT_TRUE(test::FindProgram("xdotool")) << "xdotool is not installed (scripts/install-deps)";
        ASSERT_TRUE(test::Xdotool(display_, words));
    }

    static std::optional<Window> TransientFor(Window window) {
        Window target = None;
        if (!XGetTransientForHint(x_, window, &target)) return std::nullopt;
        return target;
    }

    static std::string AtomProperty(Window window, const char* property) {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        std::string result;
        if (XGetWindowProperty(x_, window, XInternAtom(x_, property, False), 0, 8, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            data && count == 1) {
            char* name = XGetAtomName(x_, *reinterpret_cast<Atom*>(data));
            result = name ? name : "";
            if (name) XFree(name);
        }
        if (data) XFree(data);
        return result;
    }

    static std::pair<int, int> Origin(Window window) {
        int x = 0, y = 0;
        Window child = None;
        XTranslateCoordinates(x_, window, Root(), 0, 0, &x, &y, &child);
        return {x, y};
    }

    static void WriteScreenshot(Window window, const char* path) {
        XWindowAttributes attrs;
        XGetWindowAttributes(x_, window, &attrs);
        XImage* image = XGetImage(x_, window, 0, 0, static_cast<unsigned>(attrs.width),
                                  static_cast<unsigned>(attrs.height), AllPlanes, ZPixmap);
        ASSERT_NE(image, nullptr);
        cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_RGB24, attrs.width, attrs.height);
        unsigned char* data = cairo_image_surface_get_data(png);
        const int stride = cairo_image_surface_get_stride(png);
        for (int y = 0; y < attrs.height; ++y)
            for (int x = 0; x < attrs.width; ++x)
                reinterpret_cast<uint32_t*>(data + y * stride)[x] = static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xffffff;
        cairo_surface_mark_dirty(png);
        EXPECT_EQ(cairo_surface_write_to_png(png, path), CAIRO_STATUS_SUCCESS);
        cairo_surface_destroy(png);
        XDestroyImage(image);
    }

    static inline test::XvfbServer* server_ = nullptr;
    static inline std::string display_;
    static inline Display* x_ = nullptr;
};

TEST_F(MessageBoxX11, ShowsATransientDialogThatReturnDismisses) {
    const Window owner = MakeOwner(100, 80, 500, 400);
    const std::string text = Utf8ToCp936(kVersionText);
    TDialogProcess child(display_, text, owner);
    ASSERT_TRUE(child.Started());
    const Window dialog = WaitForDialog(child);
    ASSERT_NE(dialog, None) << "no dialog came up, or it did not take the keyboard";

    char* name = nullptr;
    ASSERT_TRUE(XFetchName(x_, dialog, &name));
    EXPECT_STREQ(name, "Norv Keys");
    XFree(name);
    EXPECT_EQ(TransientFor(dialog), owner);
    EXPECT_EQ(AtomProperty(dialog, "_NET_WM_WINDOW_TYPE"), "_NET_WM_WINDOW_TYPE_DIALOG");

    // Fixed size fitted to the text, centred over the owner.
    const TMessageDialogView view(kVersionText);
    XWindowAttributes attrs;
    ASSERT_TRUE(XGetWindowAttributes(x_, dialog, &attrs));
    EXPECT_EQ(attrs.width, view.Width());
    EXPECT_EQ(attrs.height, view.Height());
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(x_, dialog, &hints, &supplied));
    EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
    EXPECT_EQ(hints.min_width, view.Width());
    EXPECT_EQ(hints.max_width, view.Width());
    EXPECT_EQ(hints.min_height, view.Height());
    EXPECT_EQ(hints.max_height, view.Height());
    const auto [x, y] = Origin(dialog);
    EXPECT_LE(std::abs(x + view.Width() / 2 - 350), 1);
    EXPECT_LE(std::abs(y + view.Height() / 2 - 280), 1);

    if (const char* path = std::getenv("NORV_GUI_SCREENSHOT")) WriteScreenshot(dialog, path);

    EXPECT_TRUE(child.Alive());
    XdoTool({"key", "Return"});
    EXPECT_EQ(child.Finish(), 7);
    EXPECT_EQ(child.StandardError(), "");
    EXPECT_TRUE(WaitForDialogGone());
    XDestroyWindow(x_, owner);
    XSync(x_, False);
}

TEST_F(MessageBoxX11, EveryWayOfDismissingEndsIt) {
    const Window owner = MakeOwner(0, 0, 300, 200);
    const TMessageDialogView view(kLoadText);
    const auto dismiss = [&](const std::function<void(Window)>& action) {
        TDialogProcess child(display_, kLoadText, owner);
        EXPECT_TRUE(child.Started());
        const Window dialog = WaitForDialog(child);
        EXPECT_NE(dialog, None);
        if (dialog == None) return;
        action(dialog);
        EXPECT_TRUE(Returned(child.Finish()));
        EXPECT_TRUE(WaitForDialogGone());
    };
    const auto buttonPoint = [&](Window dialog, int dx, int dy) {
        const auto [x, y] = Origin(dialog);
        return std::vector<std::string>{"mousemove", std::to_string(x + view.ButtonRect().Left + dx),
                                        std::to_string(y + view.ButtonRect().Top + dy)};
    };

    dismiss([&](Window) { XdoTool({"key", "Escape"}); });
    dismiss([&](Window) { XdoTool({"key", "space"}); });
    dismiss([&](Window) { XdoTool({"key", "KP_Enter"}); });
    dismiss([&](Window dialog) {
        auto move = buttonPoint(dialog, view.ButtonRect().Width / 2, view.ButtonRect().Height / 2);
        move.insert(move.end(), {"click", "1"});
        XdoTool(move);
    });
    // The window manager's close button.
    dismiss([&](Window dialog) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = dialog;
        event.xclient.message_type = XInternAtom(x_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(x_, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x_, dialog, False, NoEventMask, &event);
        XFlush(x_);
    });

    // Other keys, a click beside the button, a press dragged off it: still there.
    TDialogProcess child(display_, kLoadText, owner);
    const Window dialog = WaitForDialog(child);
    ASSERT_NE(dialog, None);
    XdoTool({"key", "a", "Tab", "F1"});
    XdoTool({"mousemove", std::to_string(Origin(dialog).first + 4), std::to_string(Origin(dialog).second + 4), "click",
             "1"});
    auto press = buttonPoint(dialog, 4, 4);
    press.insert(press.end(), {"mousedown", "1"});
    XdoTool(press);
    XdoTool({"mousemove", std::to_string(Origin(dialog).first + 4), std::to_string(Origin(dialog).second + 4),
             "mouseup", "1"});
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(child.Alive());
    EXPECT_EQ(FindDialog(), dialog);
    XdoTool({"key", "Return"});
    EXPECT_TRUE(Returned(child.Finish()));
    XDestroyWindow(x_, owner);
    XSync(x_, False);
}

TEST_F(MessageBoxX11, OwnersThatAreNotTopLevelWindows) {
    // A window that no longer exists: the dialog still comes, centred on the
    // screen, the process lives on, and its own error handler is back.
    Window gone = XCreateSimpleWindow(x_, Root(), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(x_, gone);
    XSync(x_, False);
    {
        TDialogProcess child(display_, kLoadText, gone);
        const Window dialog = WaitForDialog(child);
        ASSERT_NE(dialog, None);
        EXPECT_EQ(TransientFor(dialog), std::nullopt);
        const auto [x, y] = Origin(dialog);
        const TMessageDialogView view(kLoadText);
        EXPECT_LE(std::abs(x + view.Width() / 2 - 400), 1);
        EXPECT_LE(std::abs(y + view.Height() / 2 - 300), 1);
        XdoTool({"key", "Return"});
        EXPECT_EQ(child.Finish(), 7);
        EXPECT_EQ(child.StandardError(), "");
    }

    // A window inside the host's window: the dialog belongs to the top level.
    const Window host = MakeOwner(20, 20, 400, 300);
    const Window panel = XCreateSimpleWindow(x_, host, 10, 10, 200, 100, 0, 0, 0);
    XMapWindow(x_, panel);
    XSync(x_, False);
    {
        TDialogProcess child(display_, kLoadText, panel);
        const Window dialog = WaitForDialog(child);
        ASSERT_NE(dialog, None);
        EXPECT_EQ(TransientFor(dialog), host);
        XdoTool({"key", "Return"});
        EXPECT_EQ(child.Finish(), 7);
    }

    // An id beyond 32 bits is no window, even though its low half is one.
    {
        TDialogProcess child(display_, kLoadText, (WindowId{1} << 32) | host);
        const Window dialog = WaitForDialog(child);
        ASSERT_NE(dialog, None);
        EXPECT_EQ(TransientFor(dialog), std::nullopt);
        XdoTool({"key", "Return"});
        EXPECT_EQ(child.Finish(), 7);
    }
    XDestroyWindow(x_, host);
    XSync(x_, False);
}

TEST_F(MessageBoxX11, WithoutAnOwnerNothingIsShownEvenWithADisplay) {
    TDialogProcess child(display_, kLoadText, 0);
    ASSERT_TRUE(child.Started());
    // Bits 1 and 2: the process's error handling is untouched.
    EXPECT_EQ(child.Finish(), 6);
    EXPECT_EQ(child.StandardError(), std::string("Norv Keys: ") + kLoadText + "\n");
    EXPECT_EQ(FindDialog(), None);
}

}  // namespace
}  // namespace norv::tk
