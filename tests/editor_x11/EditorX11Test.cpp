// The editor end to end on a display of its own (Xvfb, started by the test
// and ended by its process id): norvkeys editor driven with xdotool, and a
// host of our own that embeds the panel in a foreign window again and again.
#include <gtest/gtest.h>

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>

#include "host/HostServices.h"
#include "plugin/QP_Def.h"
#include "support/TempDir.h"
#include "support/WaitUntil.h"
#include "support/XSession.h"

// Last: Xlib's macros (Status, None) would clash with the headers above.
#include <X11/Xlib.h>

namespace norv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ChildProgram;
using test::Xdotool;

fs::path BuiltBundle() { return fs::path(NORV_PLUGIN_PATH).parent_path(); }

// The built plug-in and its artwork with two sets: the default grand and a renamed copy.
fs::path MakeBundle(const fs::path& root) {
    const fs::path tables = root / "WavTables";
    fs::create_directories(tables);
    fs::create_symlink(NORV_PLUGIN_PATH, root / "NorvKeys.so");
    fs::create_directory_symlink(BuiltBundle() / "Artwork", root / "Artwork");
    const fs::path built = BuiltBundle() / "WavTables";
    fs::create_directory_symlink(built / "NorvGrand", tables / "NorvGrand");
    fs::copy_file(built / "default.wti", tables / "default.wti");
    fs::copy_file(built / "NorvGrand.wti", tables / "NorvGrand.wti");
    std::ifstream in(built / "NorvGrand.wti", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.find("name=Norv Grand"), 15, "name=Upright");
    std::ofstream(tables / "Upright.wti", std::ios::binary) << text;
    return root / "NorvKeys.so";
}

class EditorX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new test::XvfbServer; }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }
    void SetUp() override {
        if (!test::FindProgram("Xvfb") || !test::FindProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool missing";
        ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
        plugin_ = MakeBundle(dir_.path() / "bundle").string();
    }
    std::string Display() const { return server_->Display(); }
    bool Do(const std::vector<std::string>& args) { return Xdotool(Display(), args); }

    static inline test::XvfbServer* server_ = nullptr;
    test::TempDir dir_;
    std::string plugin_;
};

TEST_F(EditorX11, APersonPlaysTurnsAndChoosesWithTheMouse) {
    ChildProgram editor({NORV_BUILD_DIR "/norvkeys", "--plugin", plugin_, "editor"}, Display());
    ASSERT_TRUE(editor.Started());
    const auto panelLine = editor.WaitForLine("panel ");
    ASSERT_TRUE(panelLine) << "the editor did not come up";
    ASSERT_TRUE(editor.WaitForLine("set Norv Grand"));
    const unsigned long panel = std::stoul(panelLine->substr(6), nullptr, 16);

    // The window shows what the off-screen drawing shows. The host window
    // sits at 0, 0 (no window manager), so screen and panel coordinates agree.
    const std::string png = (dir_.path() / "shot.png").string();
    ChildProgram shot({NORV_BUILD_DIR "/norvkeys", "--plugin", plugin_, "editor", "--screenshot", png}, "");
    ASSERT_EQ(shot.Wait(), 0);
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> offscreen(
        cairo_image_surface_create_from_png(png.c_str()), cairo_surface_destroy);
    ASSERT_EQ(cairo_surface_status(offscreen.get()), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(test::PixelsLeftToPaint(Display(), panel, offscreen.get()), 0);

    // A click 10 pixels below the top of key 48 (the first C of the well at 29, 160).
    ASSERT_TRUE(Do({"mousemove", "34", "170", "click", "1"}));
    EXPECT_EQ(editor.WaitForLine("note-"), "note-on 48 19");
    EXPECT_EQ(editor.WaitForLine("note-"), "note-off 48");

    // A drag down on the decay knob (Norv Grand's preset has it at the top):
    // the host hears of it while the instance still has the old value.
    ASSERT_TRUE(Do({"mousemove", "34", "82", "mousedown", "1"}));
    ASSERT_TRUE(Do({"mousemove_relative", "--", "0", "10"}));
    ASSERT_TRUE(Do({"mouseup", "1"}));
    const auto param = editor.WaitForLine("param 0 ");
    ASSERT_TRUE(param);
    int heard = 0, held = 0;
    ASSERT_EQ(std::sscanf(param->c_str(), "param 0 %d instance %d", &heard, &held), 2) << *param;
    EXPECT_LT(heard, held) << *param;

    // A right click on the tune knob shows the reset item, a separator and
    // the host's items; the second host item runs with index 8, value 1.
    ASSERT_TRUE(Do({"mousemove", "321", "82", "click", "3"}));
    ASSERT_TRUE(test::WaitForMenu(Display()));
    ASSERT_TRUE(Do({"mousemove", "340", "141", "click", "1"}));
    EXPECT_EQ(editor.WaitForLine("menu-item"), "menu-item 8 1");

    // A wheel notch toward the user on the selector loads the next set.
    ASSERT_TRUE(Do({"mousemove", "250", "28", "click", "5"}));
    EXPECT_EQ(editor.WaitForLine("set "), "set Upright");
    EXPECT_TRUE(editor.Alive());
}

// The host's window resized from outside (as a user or a window manager
// would): the panel takes the room, corrects 187 to 152 and 258 to 237,
// asking once each time to be fitted again, and keeps 200 without a word.
TEST_F(EditorX11, TheHostsResizesRunThePanelsHeightRule) {
    ChildProgram editor({NORV_BUILD_DIR "/norvkeys", "--plugin", plugin_, "editor"}, Display());
    const auto panelLine = editor.WaitForLine("panel ", 30s);
    ASSERT_TRUE(panelLine) << "the editor did not come up";
    ASSERT_TRUE(editor.WaitForLine("set ", 30s));
    const Window panel = std::stoul(panelLine->substr(6), nullptr, 16);
    ::Display* x = XOpenDisplay(Display().c_str());
    ASSERT_NE(x, nullptr);
    auto heightOf = [x](Window w) {
        Window root;
        int wx, wy;
        unsigned width = 0, height = 0, border, depth;
        return XGetGeometry(x, w, &root, &wx, &wy, &width, &height, &border, &depth) ? static_cast<int>(height) : -1;
    };
    Window root, host, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(x, panel, &root, &host, &children, &n));
    if (children) XFree(children);
    const int status = heightOf(host) - heightOf(panel);
    ASSERT_GT(status, 0) << "the status line lies below the panel";
    auto resizeHost = [&](int panelHeight) {
        XResizeWindow(x, host, 400, static_cast<unsigned>(panelHeight + status));
        XSync(x, False);
    };

    resizeHost(187);
    EXPECT_EQ(editor.WaitForLine("panel-size ", 30s), "panel-size 400 152");
    EXPECT_EQ(heightOf(panel), 152);
    EXPECT_EQ(heightOf(host), 152 + status) << "the host fitted its window to the panel";
    resizeHost(258);
    EXPECT_EQ(editor.WaitForLine("panel-size ", 30s), "panel-size 400 237");
    EXPECT_EQ(heightOf(panel), 237);

    resizeHost(200);
    ASSERT_TRUE(test::WaitUntil([&] { return heightOf(panel) == 200; })) << "the host did not size the panel";
    // The keyboard button, which the panel hears after the 200: a height
    // other than 237 becomes 237, and that is the next request to be fitted.
    ASSERT_TRUE(Do({"mousemove", "365", "129", "click", "1"}));
    EXPECT_EQ(editor.WaitForLine("panel-size ", 30s), "panel-size 400 237");
    EXPECT_EQ(heightOf(panel), 237);
    XCloseDisplay(x);
    EXPECT_EQ(editor.Stop(), 0);
    EXPECT_EQ(std::count_if(editor.Lines().begin(), editor.Lines().end(),
                            [](const std::string& l) { return l.rfind("panel-size ", 0) == 0; }),
              3);
}

// A host of our own, on the display: the panel goes into its window and back.
TEST_F(EditorX11, ReparentingIntoAForeignWindowLeaksNothing) {
    setenv("DISPLAY", Display().c_str(), 1);
    ::Display* x = XOpenDisplay(Display().c_str());
    ASSERT_NE(x, nullptr);
    auto countWindows = [x] {
        std::function<int(Window)> count = [&](Window w) {
            Window root, parent, *children = nullptr;
            unsigned n = 0;
            if (!XQueryTree(x, w, &root, &parent, &children, &n)) return 0;
            int total = static_cast<int>(n);
            for (unsigned i = 0; i < n; ++i) total += count(children[i]);
            if (children) XFree(children);
            return total;
        };
        return count(DefaultRootWindow(x));
    };
    auto childrenOf = [x](Window w) {
        Window root, parent, *children = nullptr;
        unsigned n = 0;
        XQueryTree(x, w, &root, &parent, &children, &n);
        if (children) XFree(children);
        return static_cast<int>(n);
    };
    {
        host::Host host(plugin_);
        TQuirraPlug* plug = host.CreateInstance();
        ASSERT_NE(plug, nullptr);
        Window foreign = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 400, 300, 0, 0, 0);
        XMapWindow(x, foreign);
        XSync(x, False);
        plug->HostCommand(PlugCommand::SetEditorParent, 0, static_cast<intptr_t>(foreign));
        plug->HostCommand(PlugCommand::SetEditorParent, 0, 0);
        XSync(x, False);
        const int windows = countWindows();
        for (int i = 0; i < 50; ++i) {
            plug->HostCommand(PlugCommand::SetEditorParent, 0, static_cast<intptr_t>(foreign));
            plug->IdleUpdate();
            XSync(x, False);
            ASSERT_EQ(childrenOf(foreign), 1) << i;
            EXPECT_EQ(static_cast<Window>(plug->EditorHandle), static_cast<Window>(plug->EditorHandle));
            plug->HostCommand(PlugCommand::SetEditorParent, 0, 0);
            plug->IdleUpdate();
            XSync(x, False);
            ASSERT_EQ(childrenOf(foreign), 0) << i;
        }
        EXPECT_EQ(countWindows(), windows);

        // The host destroys its window with the panel still inside: the
        // instrument, told of it by the server before it acts on the next
        // command, makes a new panel window and goes on.
        plug->HostCommand(PlugCommand::SetEditorParent, 0, static_cast<intptr_t>(foreign));
        XDestroyWindow(x, foreign);
        XSync(x, False);
        plug->HostCommand(PlugCommand::SetEditorParent, 0, 0);
        XSync(x, False);
        XWindowAttributes a;
        EXPECT_NE(XGetWindowAttributes(x, static_cast<Window>(plug->EditorHandle), &a), 0);
        // A window id that is no window: reported, never fatal.
        plug->HostCommand(PlugCommand::SetEditorParent, 0, 0x7FFFFF);
        plug->IdleUpdate();
        plug->HostCommand(PlugCommand::SetEditorParent, 0, 0);
        host.DestroyInstance(plug);
    }
    XCloseDisplay(x);
    unsetenv("DISPLAY");
}

}  // namespace
}  // namespace norv
