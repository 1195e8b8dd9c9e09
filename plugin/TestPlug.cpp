#include "plugin/TestPlug.h"

#include <cstdlib>

#include "NorvVersion.h"
#include "editor/SynthForm.h"
#include "editor/SynthRes.h"
#include "plugin/QP_Extra.h"
#include "base/Cp936.h"
#include "wavetable/WavTables.h"

namespace norv {

PlugInfoRecord gPlugInfo = {
    1,            // InfoVersion
    "Norv Keys",  // PlugName
    "Keys",       // PlugShortName
    0x00600011,   // InfoFlags
    kParamCount,  // ParamCount
    32,           // DefaultPolyphony
    {},
};

TTestPlug::TTestPlug(intptr_t tag, THostServices* host) : TQuirraPlugBase(tag, host) {
    TProcessState& process = Process();
    if (!process.ResourceModule) process.ResourceModule = std::make_unique<TSynthResModule>();

    Info = &gPlugInfo;
    KeyboardNotify = true;
    MaxPolyphony = static_cast<int32_t>(gPlugInfo.DefaultPolyphony);

    Voices = std::make_unique<TQuickList<TPianoVoice>>();

    auto form = std::make_unique<TSynthEditorForm>();
    form->Plug = this;
    for (int i = 0; i < kParamCount; ++i) ParamDefaults[static_cast<size_t>(i)] = form->Wheels[static_cast<size_t>(i)]->Value();
    form->lblVersion->SetCaption(Utf8ToCp936("版本 ") + NORV_FILE_VERSION);
    KeyNoticeWindow = form->Handle();
    EditorForm = std::move(form);

    MixBuffer = nullptr;
    MixCapacity = 0;

    WaveTable = std::make_unique<TPianoWaveTable>(process.ModulePath + "WavTables/", kParamCount);
    ScanWaveTables();

    InitEngineConstants(W, Fx);

    LoadWaveTable(0, true, false, false);

    Host->HostDispatch(HostTag, HostOpcode::InstanceReady, 0, 1);
}

TTestPlug::~TTestPlug() {
    // Voices the host did not kill are freed with the instance.
    if (Voices)
        for (int32_t i = 0; i < Voices->Count(); ++i) delete (*Voices)[i];
    std::free(MixBuffer);
}

void TTestPlug::DestroyInstance() {
    Fx.DelayLine.clear();
    Fx.DelayLine.shrink_to_fit();
    WaveTable.reset();
    WaveTableNames.clear();
    WaveTableFiles.clear();
    if (Voices)
        for (int32_t i = 0; i < Voices->Count(); ++i) delete (*Voices)[i];
    Voices.reset();
    std::free(MixBuffer);
    MixBuffer = nullptr;
    MixCapacity = 0;
    TQuirraPlugBase::DestroyInstance();
}

TSynthEditorForm* TTestPlug::Form() const { return static_cast<TSynthEditorForm*>(EditorForm.get()); }

intptr_t TTestPlug::HostCommand(intptr_t opcode, intptr_t index, intptr_t value) {
    if (intptr_t r = TQuirraPlugBase::HostCommand(opcode, index, value); r != 0) return r;
    switch (static_cast<int32_t>(opcode)) {
        case PlugCommand::SetEditorParent:
            SetEditorParent(static_cast<tk::WindowId>(value));
            break;
        case PlugCommand::EndAllVoices:
            EndAllVoices();
            break;
        case PlugCommand::SetSampleRate:
            SetSampleRate(static_cast<int32_t>(value));
            break;
        default:
            break;
    }
    return 0;
}

void TTestPlug::SetEditorParent(tk::WindowId window) {
    TSynthEditorForm* form = Form();
    EditorDetached = window == 0;
    if (window == 0) {
        form->SynthPanel->SetParentWindow(0);
        form->SynthPanel->SetParent(form);
    } else {
        form->SynthPanel->SetParentWindow(window);
    }
    EditorHandle = static_cast<intptr_t>(form->SynthPanel->Handle());
    form->SynthPanelResize(form->SynthPanel);
}

void TTestPlug::SetSampleRate(int32_t rate) {
    if (rate < 1) return;  // no rate to derive anything from
    Renderer->SetRate(rate);
    W.InvSampleRate = static_cast<float>(1.0 / Renderer->Rate);
    UpdateWorkingValues(-1);
}

void TTestPlug::EndAllVoices() {
    Host->LockProcessing();
    for (int32_t i = 0; i < Voices->Count(); ++i) (*Voices)[i]->Ended = true;
    Host->UnlockProcessing();
}

void TTestPlug::UpdateWorkingValues(int32_t index) {
    if (index < -1 || index >= kParamCount) return;
    norv::UpdateWorkingValues(W, ParamLevels, index);
}

}  // namespace norv
