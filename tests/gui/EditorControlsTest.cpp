// The editor's controls driven headless through the panel's own mouse
// dispatch, as the X events would drive them: knob drags, wheel steps,
// resets and hot rectangles, the keyboard's keys and velocities, the selector.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/Cp936.h"
#include "editor/EditorLink.h"
#include "editor/SynthForm.h"
#include "editor/SynthRes.h"
#include "toolkit/Application.h"
#include "toolkit/PopupMenu.h"

namespace norv {
namespace {

using tk::TMouseButton;

// Records what the editor asks of its instrument, in order.
class RecordingLink : public IEditorLink {
public:
    std::vector<std::string> Calls;
    void KnobMoved(int32_t index, int32_t value) override { Add("knob", index, value); }
    void KeyboardNoteOn(int32_t key, int32_t velocity) override { Add("on", key, velocity); }
    void KeyboardNoteOff(int32_t key) override { Add("off", key, 0); }
    void SetChosen(int32_t index) override { Add("set", index, 0); }
    void EditorResized() override { Add("resized", 0, 0); }
    void KeyboardShown(bool shown) override { Add("shown", shown, 0); }
    void AddHostMenuItems(tk::TPopupMenu& menu, size_t keep, int32_t, const std::function<void(tk::TMenuItem*)>&) override {
        menu.TrimItems(keep);
    }
    void RunHostMenuItem(int32_t index, int32_t entry) override { Add("run", index, entry); }
    const TPianoWaveTable* CurrentSet() const override { return nullptr; }

private:
    void Add(const char* what, int a, int b) { Calls.push_back(std::string(what) + " " + std::to_string(a) + " " + std::to_string(b)); }
};

class EditorControls : public ::testing::Test {
protected:
    void SetUp() override {
        form.Link = &link;
        panel = form.SynthPanel;
    }
    void TearDown() override { tk::Application().CaptureControl = nullptr; }

    // A knob's centre in the panel.
    std::pair<int, int> Centre(const TLineWheel* w) const { return {w->Left() + 6, w->Top() + 6}; }

    // A drag of `pixels` upward (negative: down), one pixel per move; the
    // value after each step.
    std::vector<int32_t> Drag(TLineWheel* w, int pixels, tk::TShiftState shift = 0, tk::TShiftState held = 0) {
        auto [x, y] = Centre(w);
        panel->DispatchMouseDown(TMouseButton::Left, shift, x, y);
        std::vector<int32_t> values;
        const int step = pixels >= 0 ? -1 : 1;
        for (int i = 0; i < std::abs(pixels); ++i) {
            y += step;
            panel->DispatchMouseMove(held | tk::ssLeft, x, y);
            values.push_back(w->Value());
        }
        panel->DispatchMouseUp(TMouseButton::Left, 0, x, y);
        return values;
    }

    TSynthResModule res;
    TSynthEditorForm form;
    RecordingLink link;
    tk::TWallpaperPanel* panel = nullptr;
};

TEST_F(EditorControls, KnobDragPausesAtTheDefaultAndTruncatesSlowMotion) {
    TLineWheel* decay = form.Wheels[0];
    ASSERT_EQ(decay->Value(), 0);
    EXPECT_EQ(Drag(decay, 1).front(), 6);
    decay->SetValue(0);
    EXPECT_EQ(Drag(decay, -1).front(), -7);

    decay->SetValue(-100);
    std::vector<int32_t> up = Drag(decay, 37);
    EXPECT_EQ(up[14], -7);                   // pixel 15
    for (int px = 16; px <= 36; ++px) EXPECT_EQ(up[static_cast<size_t>(px - 1)], 0) << px;
    EXPECT_EQ(up[36], 6);                    // pixel 37

    decay->SetValue(-100);  // Shift at the press: no pause
    std::vector<int32_t> shifted = Drag(decay, 37, tk::ssShift);
    EXPECT_EQ(shifted[16], -100 + 17 * 100 * 4 / 64);

    decay->SetValue(0);
    up = Drag(decay, 160);
    EXPECT_EQ(up[158], 993);
    EXPECT_EQ(up[159], 1000);
    // Past the end the accumulator goes on: back down it stays at the top for 240 pixels.
    decay->SetValue(0);
    auto [x, y] = Centre(decay);
    panel->DispatchMouseDown(TMouseButton::Left, 0, x, y);
    for (int i = 1; i <= 400; ++i) panel->DispatchMouseMove(tk::ssLeft, x, y - i);
    for (int i = 399; i >= 160; --i) {
        panel->DispatchMouseMove(tk::ssLeft, x, y - i);
        ASSERT_EQ(decay->Value(), 1000) << i;
    }
    panel->DispatchMouseMove(tk::ssLeft, x, y - 159);
    EXPECT_LT(decay->Value(), 1000);
    panel->DispatchMouseUp(TMouseButton::Left, 0, x, y - 159);

    decay->SetValue(0);  // Ctrl held: slow motion, 100 px give 156
    EXPECT_EQ(Drag(decay, 100, tk::ssCtrl, tk::ssCtrl).back(), 156);
    decay->SetValue(0);  // the right button also held is slow motion too
    EXPECT_EQ(Drag(decay, 100, 0, tk::ssRight).back(), 156);

    // The host hears of each change before the instrument stores it; the
    // editor only reports, it never writes the knob back.
    link.Calls.clear();
    decay->SetValue(0);
    Drag(decay, 2);
    ASSERT_EQ(link.Calls.size(), 2u);
    EXPECT_EQ(link.Calls[0], "knob 0 6");
    EXPECT_EQ(link.Calls[1], "knob 0 12");
    EXPECT_FALSE(decay->Pressed());
    EXPECT_EQ(tk::Application().CaptureControl, nullptr);
}

TEST_F(EditorControls, WheelStepsResetsAndHotRectangles) {
    TLineWheel* detune = form.Wheels[9];
    TLineWheel* decay = form.Wheels[0];
    TLineWheel* muffle = form.Wheels[4];
    auto wheel = [&](TLineWheel* w, int delta, tk::TShiftState s = 0) {
        auto [x, y] = Centre(w);
        panel->DispatchMouseWheel(s, delta, x, y);
        return w->Value();
    };
    EXPECT_EQ(wheel(detune, 120), 135);
    decay->SetValue(-30);
    EXPECT_EQ(wheel(decay, 120), 0);  // the pause stops the step
    EXPECT_EQ(wheel(decay, 120), 50);
    EXPECT_EQ(wheel(decay, 120, tk::ssCtrl), 75);
    EXPECT_EQ(wheel(decay, -120, tk::ssAlt), 0);
    EXPECT_EQ(wheel(form.Wheels[13], 120), 2048);

    // Middle click and Alt click reset and report; a right click only opens the menu.
    link.Calls.clear();
    muffle->SetValue(100);
    auto [mx, my] = Centre(muffle);
    panel->DispatchMouseDown(TMouseButton::Middle, 0, mx, my);
    panel->DispatchMouseUp(TMouseButton::Middle, 0, mx, my);
    EXPECT_EQ(muffle->Value(), 784);
    muffle->SetValue(100);
    panel->DispatchMouseDown(TMouseButton::Left, tk::ssAlt, mx, my);
    panel->DispatchMouseUp(TMouseButton::Left, tk::ssAlt, mx, my);
    EXPECT_EQ(muffle->Value(), 784);
    EXPECT_EQ(link.Calls, (std::vector<std::string>{"knob 4 784", "knob 4 784"}));
    muffle->SetValue(100);
    panel->DispatchMouseDown(TMouseButton::Right, 0, mx, my);
    panel->DispatchMouseUp(TMouseButton::Right, 0, mx, my);
    EXPECT_EQ(muffle->Value(), 100);
    ASSERT_TRUE(res.WheelMenu->IsOpen());
    EXPECT_EQ(res.WheelMenu->PopupComponent, muffle);
    res.WheelMenu->Close();

    // Values from code are clamped and never reported.
    link.Calls.clear();
    muffle->SetValue(5000);
    EXPECT_EQ(muffle->Value(), 1000);
    EXPECT_TRUE(link.Calls.empty());

    // The hot square reaches 12 pixels beside the 13 x 13 body.
    decay->SetValue(0);
    auto [dx, dy] = Centre(decay);
    panel->DispatchMouseDown(TMouseButton::Left, 0, decay->Left() - 10, dy);
    EXPECT_TRUE(decay->Pressed());
    panel->DispatchMouseUp(TMouseButton::Left, 0, decay->Left() - 10, dy);
    EXPECT_EQ(panel->ControlAtPoint(decay->Left() - 13, dy), nullptr);
    (void)dx;

    // X buttons step with auto-repeat while held.
    decay->SetValue(0);
    panel->DispatchMouseDown(TMouseButton::X2, 0, dx, dy);
    EXPECT_EQ(decay->Value(), 6);
    EXPECT_EQ(decay->StepDir(), 1);
    panel->DispatchMouseUp(TMouseButton::X2, 0, dx, dy);
    EXPECT_EQ(decay->StepDir(), 0);
    EXPECT_EQ(tk::Application().MsToNextTimer(), -1) << "the auto-repeat timer stops at the release";
}

TEST_F(EditorControls, KeyboardVelocityGlissandoAndCountedPresses) {
    tk::TWallpaperPanel* well = form.MidiKbWP;
    TQuickMIDIKbEx* kb = form.MIDIKb;
    // Key 48 is the first visible C: x 0..16 of the well.
    well->DispatchMouseDown(TMouseButton::Left, 0, 5, 10);
    well->DispatchMouseUp(TMouseButton::Left, 0, 5, 10);
    well->DispatchMouseDown(TMouseButton::Left, 0, 5, 65);
    well->DispatchMouseUp(TMouseButton::Left, 0, 5, 65);
    EXPECT_EQ(link.Calls, (std::vector<std::string>{"on 48 19", "off 48 0", "on 48 128", "off 48 0"}));

    int key = 0, v = 0;
    kb->KeyAtPoint(476 + 12, 39, key, v);
    EXPECT_EQ(key, 49);
    EXPECT_EQ(v, 128);
    kb->KeyAtPoint(476 + 12, 20, key, v);
    EXPECT_EQ(v, 65);
    kb->KeyAtPoint(-600, 10, key, v);
    EXPECT_EQ(key, 0);
    kb->KeyAtPoint(5000, 10, key, v);
    EXPECT_EQ(key, 119);

    // A drag over the upper part from 60 to 64 plays every key with the press velocity.
    link.Calls.clear();
    const int c5 = 5 * 119 - 476;  // key 60 in the well
    well->DispatchMouseDown(TMouseButton::Left, 0, c5 + 3, 5);
    for (int x = c5 + 3; x <= c5 + 40; ++x) well->DispatchMouseMove(tk::ssLeft, x, 5);
    well->DispatchMouseUp(TMouseButton::Left, 0, c5 + 40, 5);
    EXPECT_EQ(link.Calls,
              (std::vector<std::string>{"on 60 9", "off 60 0", "on 61 9", "off 61 0", "on 62 9", "off 62 0", "on 63 9",
                                        "off 63 0", "on 64 9", "off 64 0"}));
    link.Calls.clear();  // along the bottom rows the black keys are not met
    well->DispatchMouseDown(TMouseButton::Left, 0, c5 + 3, 60);
    for (int x = c5 + 3; x <= c5 + 40; ++x) well->DispatchMouseMove(tk::ssLeft, x, 60);
    well->DispatchMouseUp(TMouseButton::Left, 0, c5 + 40, 60);
    EXPECT_EQ(link.Calls,
              (std::vector<std::string>{"on 60 118", "off 60 0", "on 62 118", "off 62 0", "on 64 118", "off 64 0"}));

    // Engine notices and the mouse hold the same key; it comes up when both let go.
    tk::Application().PostMessage(form.Handle(), KeyStateMessage, 48, 1);
    tk::Application().ProcessMessages();
    well->DispatchMouseDown(TMouseButton::Left, 0, 5, 10);
    EXPECT_TRUE(kb->IsPressed(48));
    tk::Application().PostMessage(form.Handle(), KeyStateMessage, 48, 0);
    tk::Application().ProcessMessages();
    EXPECT_TRUE(kb->IsPressed(48));
    well->DispatchMouseUp(TMouseButton::Left, 0, 5, 10);
    EXPECT_FALSE(kb->IsPressed(48));
    tk::Application().PostMessage(form.Handle(), KeyStateMessage, 120, 1);
    tk::Application().ProcessMessages();
    EXPECT_TRUE(kb->PressedKeys().empty());
}

TEST_F(EditorControls, SelectorWheelButtonsCaptionAndList) {
    TQuickCombo* combo = form.WavetableCombo;
    combo->SetItems({"One", "R&B", "Three"});
    combo->SelectEntryIndex(1);
    EXPECT_TRUE(link.Calls.empty()) << "the loader's selection loads nothing";
    EXPECT_EQ(combo->Caption(), "R&&B");
    const int x = combo->Left() + 20, y = combo->Top() + 5;
    panel->DispatchMouseWheel(0, -120, x, y);  // toward the user: the next set
    panel->DispatchMouseWheel(0, -120, x, y);  // wraps to the first
    panel->DispatchMouseDown(TMouseButton::X2, 0, x, y);
    panel->DispatchMouseUp(TMouseButton::X2, 0, x, y);
    EXPECT_EQ(link.Calls, (std::vector<std::string>{"set 2 0", "set 0 0", "set 2 0"}));

    // A left press lists every entry, the selected one as the default item.
    panel->DispatchMouseDown(TMouseButton::Left, 0, x, y);
    tk::TPopupMenu* list = tk::TPopupMenu::OpenMenu();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->Items.size(), 3u);
    EXPECT_TRUE(list->Items[2]->Default);
    EXPECT_FALSE(list->Items[0]->Default);
    list->HandleKey(tk::TMenuKey::Down);
    list->HandleKey(tk::TMenuKey::Down);
    list->HandleKey(tk::TMenuKey::Enter);
    panel->DispatchMouseUp(TMouseButton::Left, 0, x, y);
    EXPECT_EQ(link.Calls.back(), "set 1 0");
    EXPECT_EQ(form.WavetableCombo->SelectedEntryIndex(), 1);
}

TEST_F(EditorControls, PanelHeightsInfoPanelAndReset) {
    link.Calls.clear();
    panel->SetHeight(187);
    EXPECT_EQ(panel->Height(), 152);
    EXPECT_FALSE(form.KbBtn->Down());
    EXPECT_EQ(link.Calls.back(), "resized 0 0");
    link.Calls.clear();
    panel->SetHeight(200);
    EXPECT_TRUE(form.KbBtn->Down());
    EXPECT_EQ(link.Calls, (std::vector<std::string>{"shown 1 0"}));
    panel->SetHeight(258);
    EXPECT_EQ(panel->Height(), 237);

    // The keyboard button is a click on the panel.
    link.Calls.clear();
    const int bx = form.KbBtn->Left() + 5, by = form.KbBtn->Top() + 5;
    panel->DispatchMouseDown(TMouseButton::Left, 0, bx, by);
    panel->DispatchMouseUp(TMouseButton::Left, 0, bx, by);
    EXPECT_EQ(panel->Height(), 152);
    EXPECT_EQ(link.Calls.back(), "resized 0 0");

    // The info button shows the panel over the knobs; a click on it hides it.
    const int ix = form.InfoBtn->Left() + 3, iy = form.InfoBtn->Top() + 3;
    panel->DispatchMouseDown(TMouseButton::Left, 0, ix, iy);
    panel->DispatchMouseUp(TMouseButton::Left, 0, ix, iy);
    EXPECT_TRUE(form.AboutPanel->Visible());
    EXPECT_FALSE(form.Wheels[3]->Visible());
    form.AboutPanel->DispatchMouseDown(TMouseButton::Left, 0, 20, 8);
    form.AboutPanel->DispatchMouseUp(TMouseButton::Left, 0, 20, 8);
    EXPECT_FALSE(form.AboutPanel->Visible());
    EXPECT_TRUE(form.Wheels[3]->Visible());
    EXPECT_FALSE(form.InfoBtn->Down());

    // "Reset" on the stereo knob reports 1000 like a drag.
    link.Calls.clear();
    form.Wheels[7]->SetValue(1500);
    res.WheelMenu->Popup(form.Wheels[7]);
    EXPECT_EQ(res.WheelMenu->Tag, 7);
    res.WheelMenu->Choose(0);
    EXPECT_EQ(link.Calls, (std::vector<std::string>{"knob 7 1000"}));
}

TEST_F(EditorControls, KeyboardButtonLightFadesOnTheSharedTimer) {
    tk::TApplication& app = tk::Application();
    app.SetTimerInterval(1);
    const int x = form.KbBtn->Left() + 5, y = form.KbBtn->Top() + 5;
    panel->DispatchMouseMove(0, x, y);
    EXPECT_EQ(form.KbBtn->HoverLight(), 1.0);
    EXPECT_EQ(app.MsToNextTimer(), -1) << "nothing runs while nothing moves";
    panel->DispatchMouseMove(0, 5, 5);
    ASSERT_TRUE(app.Animating(form.KbBtn));
    int ticks = 0;
    double last = 1.0;
    while (app.Animating(form.KbBtn) && ticks < 100) {
        app.WaitAndProcess(5);
        if (form.KbBtn->HoverLight() < last) {
            ++ticks;
            last = form.KbBtn->HoverLight();
        }
    }
    EXPECT_EQ(ticks, 20);
    EXPECT_EQ(form.KbBtn->HoverLight(), 0.0);
    EXPECT_EQ(app.MsToNextTimer(), -1) << "the timer stops with the last fade";
    app.SetTimerInterval(24);
}

}  // namespace
}  // namespace norv
