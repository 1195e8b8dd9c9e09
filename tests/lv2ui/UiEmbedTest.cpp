// The LV2 UI in a host of the test's own, on a display of its own (Xvfb):
// the panel embeds, tells its size, follows the host's values and set, and
// turns knob drags, key clicks and set choices into port writes.
#include <gtest/gtest.h>

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>

#include "engine/Parameters.h"
#include "lv2/Protocol.h"
#include "lv2ui/PixelProbe.h"
#include "lv2ui/TestBundle.h"
#include "lv2ui/UiHarness.h"
#include "support/TempDir.h"
#include "support/XSession.h"

// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>

namespace norv {
namespace {

namespace fs = std::filesystem;
using test::PortWrite;
using test::UiHarness;

int OpenFds() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// The UTF-8 name in a patch:Set of the set property, "" for anything else.
std::string SetNameIn(UiHarness& ui, const PortWrite& w) {
    if (w.Port != lv2::kMidiIn || w.Protocol != ui.Map(LV2_ATOM__eventTransfer)) return "";
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(w.Bytes.data());
    if (w.Bytes.size() < sizeof *object || object->atom.type != ui.Map(LV2_ATOM__Object) ||
        object->body.otype != ui.Map(LV2_PATCH__Set))
        return "";
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(object, ui.Map(LV2_PATCH__property), &property, ui.Map(LV2_PATCH__value), &value, 0);
    if (!property || !value || reinterpret_cast<const LV2_Atom_URID*>(property)->body != ui.Map(lv2::kSetProperty) ||
        value->type != ui.Map(LV2_ATOM__String))
        return "";
    return static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
}

bool IsSetGet(UiHarness& ui, const PortWrite& w) {
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(w.Bytes.data());
    if (w.Port != lv2::kMidiIn || w.Bytes.size() < sizeof *object || object->body.otype != ui.Map(LV2_PATCH__Get))
        return false;
    const LV2_Atom* property = nullptr;
    lv2_atom_object_get(object, ui.Map(LV2_PATCH__property), &property, 0);
    return property && reinterpret_cast<const LV2_Atom_URID*>(property)->body == ui.Map(lv2::kSetProperty);
}

// What the plug-in's notify port says after a switch, forged as a host's plug-in would.
std::vector<uint8_t> PluginPlays(UiHarness& ui, const std::string& name) {
    LV2_URID_Map map{&ui, [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UiHarness*>(h)->Map(uri); }};
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, &map);
    std::vector<uint8_t> buffer(512);
    lv2_atom_forge_set_buffer(&forge, buffer.data(), buffer.size());
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_object(&forge, &frame, 0, ui.Map(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge, ui.Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge, ui.Map(lv2::kSetProperty));
    lv2_atom_forge_key(&forge, ui.Map(LV2_PATCH__value));
    lv2_atom_forge_string(&forge, name.c_str(), static_cast<uint32_t>(name.size()));
    lv2_atom_forge_pop(&forge, &frame);
    const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer.data());
    buffer.resize(sizeof(LV2_Atom) + atom->size);
    return buffer;
}

std::vector<PortWrite> WritesTo(UiHarness& ui, uint32_t port) {
    std::vector<PortWrite> out;
    for (const PortWrite& w : ui.Writes())
        if (w.Port == port) out.push_back(w);
    return out;
}

class Lv2Ui : public ::testing::Test {
protected:
    // One bundle for the whole suite: the instrument, once loaded, may stay
    // in the process and keep the folder it was first loaded from.
    static void SetUpTestSuite() {
        server_ = new test::XvfbServer;
        // Xvfb resets when its last client leaves, and refuses connections
        // meanwhile; this one stays for the suite.
        if (!server_->Display().empty()) keeper_ = XOpenDisplay(server_->Display().c_str());
        dir_ = new test::TempDir;
        bundle_ = test::MakeTwoSetBundle(dir_->path() / "norv-keys.lv2");
    }
    static void TearDownTestSuite() {
        if (keeper_) XCloseDisplay(keeper_);
        keeper_ = nullptr;
        delete server_;
        server_ = nullptr;
        delete dir_;
        dir_ = nullptr;
    }
    void SetUp() override {
        if (!test::FindProgram("Xvfb") || !test::FindProgram("xdotool")) GTEST_SKIP() << "Xvfb or xdotool missing";
        ASSERT_FALSE(server_->Display().empty()) << "Xvfb did not start";
        setenv("DISPLAY", server_->Display().c_str(), 1);
    }
    std::string Display() const { return server_->Display(); }
    bool Do(const std::vector<std::string>& args) { return test::Xdotool(Display(), args); }
    // Idles until the panel has painted itself: the bare plate between the
    // first two knobs of the upper row shows the panel's colour (9077633)
    // where the parent's black lay.
    bool IdleUntilShown(UiHarness& ui) {
        return ui.IdleUntil([&] {
            const test::Surface s = test::GrabSurface(Display(), ui.Widget());
            if (!s || cairo_image_surface_get_width(s.get()) <= 56 || cairo_image_surface_get_height(s.get()) <= 82)
                return false;
            const uint8_t* row = cairo_image_surface_get_data(s.get()) + 82 * cairo_image_surface_get_stride(s.get());
            const uint32_t p = reinterpret_cast<const uint32_t*>(row)[56];
            const auto near = [](uint32_t v, uint32_t want) { return std::abs(int(v & 0xFF) - int(want)) <= 16; };
            return near(p >> 16, 0x81) && near(p >> 8, 0x83) && near(p, 0x8A);
        });
    }

    static inline test::XvfbServer* server_ = nullptr;
    static inline ::Display* keeper_ = nullptr;
    static inline test::TempDir* dir_ = nullptr;
    static inline std::string bundle_;
};

TEST_F(Lv2Ui, PanelEmbedsInTheParentAndTellsItsSizeAtEachScale) {
    UiHarness ui(bundle_);
    ASSERT_TRUE(ui.Loaded());
    ASSERT_TRUE(ui.Instantiate());
    ASSERT_NE(ui.Widget(), 0u);
    ::Window root, parent, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(ui.X(), static_cast<::Window>(ui.Widget()), &root, &parent, &children, &n));
    if (children) XFree(children);
    EXPECT_EQ(parent, ui.Parent());
    int x, y;
    unsigned w, h, border, depth;
    ASSERT_TRUE(XGetGeometry(ui.X(), static_cast<::Window>(ui.Widget()), &root, &x, &y, &w, &h, &border, &depth));
    ASSERT_FALSE(ui.Resizes().empty());
    const auto one = ui.Resizes().back();
    EXPECT_EQ(one, std::make_pair(static_cast<int>(w), static_cast<int>(h)));
    EXPECT_EQ(one.first, 400);
    // On open the UI asks the plug-in which set it plays.
    ASSERT_FALSE(ui.Writes().empty());
    EXPECT_TRUE(IsSetGet(ui, ui.Writes().front()));

    // The keyboard button hides the keys and shows them again; the host hears each new size.
    const std::pair<int, int> keyless{one.first, 152};
    ASSERT_TRUE(Do({"mousemove", "365", "129", "click", "1"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return ui.Resizes().back() == keyless; }));
    ASSERT_TRUE(XGetGeometry(ui.X(), static_cast<::Window>(ui.Widget()), &root, &x, &y, &w, &h, &border, &depth));
    EXPECT_EQ(std::make_pair(static_cast<int>(w), static_cast<int>(h)), keyless);
    ASSERT_TRUE(Do({"mousemove", "365", "129", "click", "1"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return ui.Resizes().back() == one; }));

    // The host sizes the panel: through its window (187) or the UI's own
    // ui:resize (258), each corrected and told once; 200 is kept untold,
    // and the keyboard button, heard after it, makes it 237.
    const size_t told = ui.Resizes().size();
    const auto widget = static_cast<::Window>(ui.Widget());
    XResizeWindow(ui.X(), widget, 400, 187);
    XSync(ui.X(), False);
    ASSERT_TRUE(ui.IdleUntil([&] { return ui.Resizes().size() == told + 1; }));
    EXPECT_EQ(ui.Resizes().back(), keyless);
    ASSERT_EQ(ui.HostResize(400, 258), 0);
    ASSERT_TRUE(ui.IdleUntil([&] { return ui.Resizes().size() == told + 2; }));
    EXPECT_EQ(ui.Resizes().back(), one);
    XResizeWindow(ui.X(), widget, 400, 200);
    XSync(ui.X(), False);
    ASSERT_TRUE(Do({"mousemove", "365", "129", "click", "1"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return ui.Resizes().size() == told + 3; }));
    EXPECT_EQ(ui.Resizes().back(), one);
    ASSERT_TRUE(XGetGeometry(ui.X(), widget, &root, &x, &y, &w, &h, &border, &depth));
    EXPECT_EQ(h, 237u);
    ui.Cleanup();

    ASSERT_TRUE(ui.Instantiate({.Parent = true, .Resize = true, .Scale = 2.0f}));
    ASSERT_FALSE(ui.Resizes().empty());
    EXPECT_EQ(ui.Resizes().back(), std::make_pair(2 * one.first, 2 * one.second));
    ui.Cleanup();

    // Without ui:resize the panel still embeds; the host sizes its own window.
    ASSERT_TRUE(ui.Instantiate({.Parent = true, .Resize = false, .Scale = {}}));
    EXPECT_EQ(ui.ChildCount(), 1);
    EXPECT_TRUE(ui.Resizes().empty());
}

TEST_F(Lv2Ui, HostValuesMoveKnobsAndDragsWriteTheirPorts) {
    UiHarness ui(bundle_);
    ASSERT_TRUE(ui.Instantiate());
    ASSERT_TRUE(IdleUntilShown(ui));
    const test::Surface before = test::GrabSurface(Display(), ui.Widget());
    ASSERT_NE(before, nullptr);

    // The host sets decay to its lowest: the knob turns, nothing goes back.
    ui.Writes().clear();
    ui.PortEvent(lv2::kFirstParam + kDecay, static_cast<float>(kParams[kDecay].Min));
    test::Surface after(nullptr, cairo_surface_destroy);
    ASSERT_TRUE(ui.IdleUntil([&] {
        after = test::GrabSurface(Display(), ui.Widget());
        return after && test::DifferingPixelsNear(before.get(), after.get(), 34, 82, 14) > 0;
    })) << "the knob did not turn";
    EXPECT_TRUE(ui.Writes().empty());
    // Tune, a knob elsewhere, stays as it was.
    EXPECT_EQ(test::DifferingPixelsNear(before.get(), after.get(), 321, 82, 14), 0);

    // A small drag up on decay starts from where the host put it. The knob
    // is held through the writes: a touch gesture opens before the first and
    // closes once the button is up.
    EXPECT_TRUE(ui.Touches().empty());
    ASSERT_TRUE(Do({"mousemove", "34", "82", "mousedown", "1"}));
    ASSERT_TRUE(Do({"mousemove_relative", "--", "0", "-2"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return !WritesTo(ui, lv2::kFirstParam + kDecay).empty(); }));
    ui.Idle();
    const uint32_t decay = lv2::kFirstParam + kDecay;
    EXPECT_EQ(ui.Touches(), (std::vector<test::Touch>{{decay, true, 0}})) << "the button is still down";
    ASSERT_TRUE(Do({"mouseup", "1"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return ui.Touches().size() == 2; }));
    EXPECT_EQ(ui.Touches().back(), (test::Touch{decay, false, ui.Writes().size()}));
    const float dragged = WritesTo(ui, decay).back().Value();
    EXPECT_GT(dragged, kParams[kDecay].Min);
    EXPECT_LT(dragged, kParams[kDecay].Initial);
    for (const PortWrite& w : ui.Writes()) EXPECT_EQ(w.Port, decay);
}

// The panel's own instance takes the copy of the set the plug-in beside it
// holds: opening the panel costs far less memory than the set's samples
// (about 8 MB for the panel itself, fonts and all, the first time).
TEST_F(Lv2Ui, ThePanelHoldsNoSetOfItsOwn) {
#ifdef NORV_SANITIZER_RUNTIMES
    GTEST_SKIP() << "the sanitizers' allocator keeps freed memory resident";
#endif
    auto resident = [] {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line))
            if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) * 1024L;
        return 0L;
    };
    int64_t samples = 0;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(fs::path(bundle_) / "WavTables", fs::directory_options::follow_directory_symlink))
        if (e.is_regular_file() && e.path().extension() == ".wav") samples += static_cast<int64_t>(e.file_size());
    ASSERT_GT(samples, 10'000'000) << "the test needs a set of some size";

    UiHarness ui(bundle_);
    ASSERT_TRUE(ui.StartPlugin());
    const long before = resident();
    ASSERT_TRUE(ui.Instantiate());
    ASSERT_TRUE(IdleUntilShown(ui));
    EXPECT_LT(resident() - before, samples / 2) << "of a set of " << samples << " bytes";
}

TEST_F(Lv2Ui, KeyClicksBecomeMidiNotes) {
    UiHarness ui(bundle_);
    ASSERT_TRUE(ui.Instantiate());
    ASSERT_TRUE(IdleUntilShown(ui));
    ui.Writes().clear();
    // 10 pixels below the top of key 48 (the first C of the well).
    ASSERT_TRUE(Do({"mousemove", "34", "170", "click", "1"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return WritesTo(ui, lv2::kMidiIn).size() >= 2; }));
    const std::vector<PortWrite> notes = WritesTo(ui, lv2::kMidiIn);
    ASSERT_EQ(notes.size(), 2u);
    for (const PortWrite& w : notes) {
        EXPECT_EQ(w.Protocol, ui.Map(LV2_ATOM__eventTransfer));
        ASSERT_EQ(w.Bytes.size(), sizeof(LV2_Atom) + 3);
        const auto* atom = reinterpret_cast<const LV2_Atom*>(w.Bytes.data());
        EXPECT_EQ(atom->type, ui.Map(LV2_MIDI__MidiEvent));
        EXPECT_EQ(atom->size, 3u);
    }
    const uint8_t* on = notes[0].Bytes.data() + sizeof(LV2_Atom);
    const uint8_t* off = notes[1].Bytes.data() + sizeof(LV2_Atom);
    EXPECT_EQ(on[0], LV2_MIDI_MSG_NOTE_ON);
    EXPECT_EQ(on[1], 48);
    EXPECT_GT(on[2], 0);
    EXPECT_EQ(off[0], LV2_MIDI_MSG_NOTE_OFF);
    EXPECT_EQ(off[1], 48);
}

TEST_F(Lv2Ui, SetChoicesGoToThePluginAndThePluginsSetComesBack) {
    UiHarness ui(bundle_);
    // The pointer comes onto the panel from outside, as a person's does.
    ASSERT_TRUE(Do({"mousemove", "700", "700"}));
    ASSERT_TRUE(ui.Instantiate());
    ASSERT_TRUE(IdleUntilShown(ui));
    ui.Writes().clear();

    // A wheel notch on the selector loads the next set: the plug-in hears its
    // name and every parameter of the set's preset.
    ASSERT_TRUE(Do({"mousemove", "250", "28", "click", "5"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return WritesTo(ui, lv2::kFirstParam + kParamCount - 1).size() == 1; }));
    ASSERT_FALSE(ui.Writes().empty());
    EXPECT_EQ(SetNameIn(ui, ui.Writes().front()), "Upright");
    for (int i = 0; i < kParamCount; ++i) EXPECT_EQ(WritesTo(ui, lv2::kFirstParam + i).size(), 1u) << i;

    // The plug-in goes back to the grand: the UI follows without a word back.
    ui.Writes().clear();
    ui.PortEvent(lv2::kNotify, PluginPlays(ui, "Norv Grand"));
    // Whatever the UI would send goes in the port event or the idle call after it.
    ui.Idle();
    EXPECT_TRUE(ui.Writes().empty());
    // Its own set is the grand again, so the next notch names the upright once more.
    ASSERT_TRUE(Do({"mousemove", "250", "28", "click", "5"}));
    ASSERT_TRUE(ui.IdleUntil([&] { return !ui.Writes().empty(); }));
    EXPECT_EQ(SetNameIn(ui, ui.Writes().front()), "Upright");

    // A name the library lacks, messages about other things and values no
    // knob can take send nothing back.
    ui.Writes().clear();
    ui.PortEvent(lv2::kNotify, PluginPlays(ui, "No Such Piano"));
    ui.PortEvent(lv2::kNotify, std::vector<uint8_t>{1, 2, 3});
    ui.PortEvent(lv2::kPolyphony, 12.0f);
    ui.PortEvent(lv2::kFirstParam + kTune, std::numeric_limits<float>::quiet_NaN());
    ui.PortEvent(lv2::kFirstParam + kTune, 1e30f);
    ui.PortEvent(lv2::kFirstParam + kParamCount + 7, 1.0f);
    ui.Idle();
    EXPECT_TRUE(ui.Writes().empty());
}

TEST_F(Lv2Ui, FailuresAreCleanAndNothingLeaksOverManyOpenings) {
    UiHarness ui(bundle_);
    ASSERT_TRUE(ui.Loaded());
    // No parent window: no UI, and no window made anywhere.
    EXPECT_FALSE(ui.Instantiate({.Parent = false, .Resize = true, .Scale = {}}));
    EXPECT_EQ(ui.ChildCount(), 0);

    // A bundle without the instrument: a clean refusal.
    const fs::path lonely = dir_->path() / "lonely.lv2";
    fs::create_directories(lonely);
    fs::create_symlink(fs::path(bundle_) / "NorvKeysLv2.so", lonely / "NorvKeysLv2.so");
    {
        UiHarness bare(lonely.string() + "/");
        ASSERT_TRUE(bare.Loaded());
        EXPECT_FALSE(bare.Instantiate());
        EXPECT_EQ(bare.ChildCount(), 0);
    }

    ASSERT_TRUE(ui.Instantiate());
    ui.Idle();
    ui.Cleanup();
    const int fds = OpenFds();
    const int windows = ui.WindowCount();
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(ui.Instantiate()) << i;
        EXPECT_EQ(ui.Idle(), 0);
        EXPECT_EQ(ui.ChildCount(), 1) << i;
        ui.Cleanup();
        EXPECT_EQ(ui.ChildCount(), 0) << i;
    }
    EXPECT_EQ(OpenFds(), fds);
    EXPECT_EQ(ui.WindowCount(), windows);

    // The host destroys its window first: the UI says it is gone, and cleans up.
    ASSERT_TRUE(ui.Instantiate());
    ui.DestroyParent();
    EXPECT_EQ(ui.Idle(), 1);
    ui.Cleanup();
    // A parent that no longer exists: a clean refusal, no window made.
    const int left = ui.WindowCount();
    EXPECT_FALSE(ui.Instantiate());
    EXPECT_EQ(ui.WindowCount(), left);
}

}  // namespace
}  // namespace norv
