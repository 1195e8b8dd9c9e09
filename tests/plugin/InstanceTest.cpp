// The instance's life: the version gate, construction, host commands, events,
// hints and progress routing, destruction.
#include <gtest/gtest.h>

#include <algorithm>

#include "editor/SynthForm.h"
#include "editor/SynthRes.h"
#include "plugin/QP_Extra.h"
#include "support/PluginFixture.h"
#include "toolkit/Application.h"
#include "base/Cp936.h"
#include "toolkit/PopupMenu.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

// Records the order of the dispatch calls during construction.
class RecordingHost : public host::Host {
public:
    using host::Host::Host;
    intptr_t HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) override {
        Calls.push_back(static_cast<int>(opcode));
        return host::Host::HostDispatch(tag, opcode, index, value);
    }
    std::vector<int> Calls;
};

using Instance = PluginFixture;

TEST_F(Instance, VersionGate) {
    host->HostVersion = 4001001;
    testing::internal::CaptureStderr();
    EXPECT_EQ(host->CreateInstance(), nullptr);
    std::string err = testing::internal::GetCapturedStderr();
    const std::string message = "Norv Keys 仅运行在 Norv Studio 4.1.2 或更改版本";
    EXPECT_NE(err.find(message), std::string::npos) << err;
    ASSERT_EQ(host->StatusTexts.size(), 1u);
    EXPECT_EQ(Cp936ToUtf8(host->StatusTexts[0]), message);
    EXPECT_TRUE(Process().Instances.Empty());

    host->HostVersion = 4001002;
    TTestPlug* p = NewInstance();
    ASSERT_NE(p, nullptr);
    // Only the low 32 bits count.
    host->HostVersion = static_cast<intptr_t>(0x100000000LL + 4001001);
    testing::internal::CaptureStderr();
    EXPECT_EQ(host->CreateInstance(), nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(CreateInstanceChecked(nullptr, 1), nullptr);
}

TEST_F(Instance, Construction) {
    RecordingHost rec(&CreateInstanceChecked);
    rec.Status.Quiet = true;
    auto* p = static_cast<TTestPlug*>(rec.CreateInstance());
    ASSERT_NE(p, nullptr);
    // Main window first, then the host folder; ready last.
    ASSERT_GE(rec.Calls.size(), 3u);
    EXPECT_EQ(rec.Calls[0], HostOpcode::GetMainWindow);
    EXPECT_EQ(rec.Calls[1], HostOpcode::GetHostPath);
    EXPECT_EQ(rec.Calls.back(), HostOpcode::InstanceReady);
    EXPECT_EQ(rec.ReadyCalls, 1);
    EXPECT_EQ(p->HostPath, rec.HostPath);

    const PlugInfoRecord* info = p->Info;
    EXPECT_EQ(info->InfoVersion, 1);
    EXPECT_STREQ(info->PlugName, "Norv Keys");
    EXPECT_STREQ(info->PlugShortName, "Keys");
    EXPECT_EQ(info->InfoFlags, 0x00600011);
    EXPECT_EQ(info->ParamCount, 15);
    EXPECT_EQ(info->DefaultPolyphony, 32);
    for (intptr_t r : info->Reserved) EXPECT_EQ(r, 0);

    EXPECT_EQ(p->MaxPolyphony.load(), 32);
    EXPECT_TRUE(p->Engine.KeyboardNotify.load());
    EXPECT_EQ(p->EditorHandle, 0);
    EXPECT_EQ(p->Renderer->Rate, 44100);
    EXPECT_EQ(p->Engine.W.Volume, 0.2f);
    EXPECT_EQ(p->Engine.W.MuffleScale, 160.0f);
    EXPECT_EQ(p->Engine.Fx.LfoCos, 1.0f);
    EXPECT_EQ(p->Engine.Fx.DelayMask, 127);
    EXPECT_EQ(p->Engine.Fx.DelayLine.size(), 256u);
    EXPECT_EQ(p->Engine.W.InvSampleRate.load(), 0.0f);
    EXPECT_NE(Process().ResourceModule, nullptr);
    EXPECT_EQ(Cp936ToUtf8(p->Form()->lblVersion->Caption()).rfind("版本 ", 0), 0u);

    // No sets installed: an instance without sound and an empty selector.
    EXPECT_TRUE(p->WaveTableFiles.empty());
    EXPECT_TRUE(p->Form()->WavetableCombo->Items().empty());
    THostVoiceRecord record{};
    record.InitVolume = 1;
    record.InitPitch = 6000;
    EXPECT_EQ(p->StartVoice(&record, 1), -1);
    float buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    int32_t frames = 4;
    p->RenderMix(buffer, &frames);
    EXPECT_EQ(buffer[7], 8.0f);
    rec.DestroyInstance(p);
}

TEST_F(Instance, CommandsAndEvents) {
    TTestPlug* p = NewInstance();
    const auto values = p->ParamValues;
    for (intptr_t op : {1, 7, 99, -5, 22, 46})
        EXPECT_EQ(p->HostCommand(op, 3, 48000), 0) << op;
    EXPECT_EQ(p->Renderer->Rate, 44100);
    EXPECT_EQ(p->ParamValues, values);

    // Menu keys: 0 while no menu is open, 1 for listed codes while one is.
    EXPECT_EQ(p->HostCommand(23, 0, 1), 0);
    tk::TPopupMenu* menu = Process().ResourceModule->WheelMenu;
    TLineWheel* stereo = p->Form()->Wheels[7];
    stereo->SetValue(1500);
    menu->Popup(stereo);
    EXPECT_EQ(p->HostCommand(23, 14, 0), 1);   // listed, no key sent
    EXPECT_EQ(menu->Highlighted(), -1);
    EXPECT_EQ(p->HostCommand(23, 0, 1), 1);    // down: the reset item
    EXPECT_EQ(menu->Highlighted(), 0);
    EXPECT_EQ(p->HostCommand(23, 5, 1), 0);    // not a listed code
    EXPECT_EQ(p->HostCommand(23, 10, 1), 1);   // enter: the knob is reset
    EXPECT_EQ(stereo->Value(), 1000);
    EXPECT_FALSE(menu->IsOpen());
    EXPECT_EQ(p->HostCommand(23, 10, 1), 0);

    EXPECT_EQ(p->HostCommand(21, 0, 40), 0);
    EXPECT_EQ(tk::Application().TimerInterval(), 40);
    tk::Application().SetTimerInterval(24);

    EXPECT_EQ(p->HandleEvent(1, 8, 0), 0);
    EXPECT_EQ(p->MaxPolyphony.load(), 8);
    EXPECT_EQ(p->HandleEvent(2, 9, 0), 0);
    EXPECT_EQ(p->MaxPolyphony.load(), 8);

    // The sample rate and what follows from it; nonsense rates are refused.
    p->HandleParameter(13, 32768, 0x21);
    EXPECT_EQ(p->HostCommand(4, 0, 48000), 0);
    EXPECT_EQ(p->Renderer->Rate, 48000);
    EXPECT_EQ(p->Engine.W.InvSampleRate.load(), static_cast<float>(1.0 / 48000));
    EXPECT_FLOAT_EQ(p->Renderer->MaxGainStep, 0.001f * 44100.0f / 48000.0f);
    EXPECT_FLOAT_EQ(p->Engine.W.LfoStep.load(), 6.283f / 48000.0f);
    p->HostCommand(4, 0, 0);
    p->HostCommand(4, 0, -44100);
    EXPECT_EQ(p->Renderer->Rate, 48000);
}

TEST_F(Instance, EditorParent) {
    TTestPlug* p = NewInstance();
    TSynthEditorForm* form = p->Form();
    EXPECT_EQ(p->HostCommand(0, 0, 0x12345), 0);
    EXPECT_FALSE(p->EditorDetached);
    EXPECT_EQ(form->SynthPanel->Parent(), nullptr);
    EXPECT_EQ(form->SynthPanel->ParentWindow(), 0x12345u);
    EXPECT_NE(p->EditorHandle, 0);
    EXPECT_EQ(static_cast<tk::WindowId>(p->EditorHandle), form->SynthPanel->Handle());
    EXPECT_TRUE(p->Engine.KeyboardNotify.load());

    p->HostCommand(0, 0, 0);
    EXPECT_TRUE(p->EditorDetached);
    EXPECT_EQ(form->SynthPanel->Parent(), form);
    EXPECT_EQ(static_cast<tk::WindowId>(p->EditorHandle), form->SynthPanel->Handle());
    EXPECT_FALSE(p->Engine.KeyboardNotify.load());  // detached: no key notices

    // A host-sized panel: 187 becomes 152 and the host is told once.
    p->HostCommand(0, 0, 0x777);
    int resizes = host->EditorResizes;
    form->SynthPanel->SetHeight(187);
    EXPECT_EQ(form->SynthPanel->Height(), 152);
    EXPECT_EQ(host->EditorResizes, resizes + 1);
    EXPECT_FALSE(p->Engine.KeyboardNotify.load());
    EXPECT_FALSE(form->KbBtn->Down());
    form->SynthPanel->SetHeight(200);
    EXPECT_EQ(host->EditorResizes, resizes + 1);
    EXPECT_TRUE(p->Engine.KeyboardNotify.load());
    EXPECT_TRUE(form->KbBtn->Down());
    form->SynthPanel->SetHeight(237);
    form->KbBtn->Click();
    form->KbBtn->Click();
    EXPECT_EQ(form->SynthPanel->Height(), 237);
    EXPECT_EQ(host->EditorResizes, resizes + 3);
}

TEST_F(Instance, ProgressLetters) {
    TTestPlug* p = NewInstance();
    Process().ProgressMessage = "msg";
    auto last = [&] { return host->StatusTexts.back(); };
    p->ShowProgress(5, 10);
    EXPECT_EQ(last(), "^.kmsg");
    p->ShowProgress(15, 10);
    EXPECT_EQ(last(), "^.umsg");
    p->ShowProgress(10, 10);
    EXPECT_EQ(last(), "^.umsg");
    p->ShowProgress(-3, 10);
    EXPECT_EQ(last(), "^.amsg");
    p->ShowProgress(3, 0);
    EXPECT_EQ(last(), "msg");
    p->ShowProgress(2147483647, 2147483647);
    EXPECT_EQ(last(), "^.umsg");
    Process().ProgressMessage.clear();

    // The process-wide hook reaches the last constructed instance, and is
    // handed on when that one goes.
    TTestPlug* q = NewInstance();
    ReportProgress(1, 2);
    EXPECT_EQ(last(), "^.k");
    EXPECT_EQ(ProgressReceiver() != nullptr, true);
    host->DestroyInstance(q);
    size_t before = host->StatusTexts.size();
    ReportProgress(2, 2);
    EXPECT_EQ(host->StatusTexts.size(), before + 1);
    host->DestroyInstance(p);
    EXPECT_EQ(ProgressReceiver(), nullptr);
    EXPECT_TRUE(Process().Instances.Empty());
}

TEST_F(Instance, HintsGoToTheEditorThatHoldsTheControl) {
    TTestPlug* first = NewInstance();
    TTestPlug* second = NewInstance();
    first->HostCommand(0, 0, 0x1001);
    second->HostCommand(0, 0, 0x1002);
    tk::TApplication& app = tk::Application();

    app.SetPointerOver(first->Form()->Wheels[0]);
    first->IdleUpdate();
    EXPECT_EQ(Hint(first), "^b^a衰减");
    EXPECT_EQ(host->LastHint.count(second->HostTag), 0u);

    app.SetPointerOver(second->Form()->Wheels[8]);
    second->IdleUpdate();
    EXPECT_EQ(Hint(second), "^b^a调谐");

    // Captured mouse: nothing happens.
    host->LastHint.clear();
    app.CaptureControl = first->Form()->Wheels[1];
    app.SetPointerOver(first->Form()->Wheels[1]);
    first->IdleUpdate();
    EXPECT_TRUE(host->LastHint.empty());
    app.CaptureControl = nullptr;

    // A control of nobody's editor: the first instance gets it.
    tk::TLabel stray(nullptr);
    stray.Hint = "a|b";
    app.SetPointerOver(&stray);
    second->IdleUpdate();
    EXPECT_EQ(Hint(first), "b");
    app.SetPointerOver(nullptr);
    app.SetHintControl(nullptr);
    app.SetHint("");
}

TEST_F(Instance, KnobMenuAsksTheOwningHost) {
    TTestPlug* p = NewInstance();
    host->MenuItems = {{"one", 0}, {"two", 2}, {"three", 1}};
    tk::TPopupMenu* menu = Process().ResourceModule->WheelMenu;
    menu->Popup(p->Form()->Wheels[8]);
    ASSERT_EQ(menu->Items.size(), 5u);
    EXPECT_TRUE(menu->Items[0]->Visible);
    EXPECT_EQ(menu->Items[3]->Caption, "two");
    EXPECT_TRUE(menu->Items[3]->Checked);
    EXPECT_FALSE(menu->Items[4]->Enabled);
    menu->Items[4]->OnClick(menu->Items[4]);
    ASSERT_EQ(host->MenuRuns.size(), 1u);
    EXPECT_EQ(host->MenuRuns[0].Index, 8);
    EXPECT_EQ(host->MenuRuns[0].Value, 2);
    menu->Close();

    // Reset on the stereo knob at 1500: back to 1000, host told first.
    TLineWheel* stereo = p->Form()->Wheels[7];
    stereo->SetValue(1500);
    menu->Popup(stereo);
    host->MenuItems.clear();
    menu->Items[0]->OnClick(menu->Items[0]);
    EXPECT_EQ(stereo->Value(), 1000);
    ASSERT_FALSE(host->ParamChanges.empty());
    EXPECT_EQ(host->ParamChanges.back().Index, 7);
    EXPECT_EQ(host->ParamChanges.back().Value, 1000);
    EXPECT_EQ(p->ParamValues[7], 1000);
    menu->Close();
}

// The menu belongs to the process; the knob it was opened on may go with its
// instance while it is open, or after.
TEST_F(Instance, KnobMenuForgetsTheKnobsOfADestroyedInstance) {
    TTestPlug* keeper = NewInstance();
    tk::TPopupMenu* menu = Process().ResourceModule->WheelMenu;
    for (bool open : {true, false}) {
        TTestPlug* gone = NewInstance();
        menu->Popup(gone->Form()->Wheels[7]);
        if (!open) menu->Close();
        host->DestroyInstance(gone);
        EXPECT_EQ(menu->PopupComponent, nullptr);
        EXPECT_FALSE(menu->IsOpen());
        EXPECT_EQ(keeper->HostCommand(PlugCommand::MenuNavigate, 10, 1), 0);
        menu->Items[0]->OnClick(menu->Items[0]);  // reset: no knob to reach
        host->MenuItems = {{"one", 0}};
        menu->Popup(keeper->Form()->Wheels[2]);
        ASSERT_EQ(menu->Items.size(), 3u);
        menu->Items[2]->OnClick(menu->Items[2]);
        EXPECT_EQ(host->MenuRuns.back().Index, 2);
        menu->Close();
    }
}

}  // namespace
}  // namespace norv::test
