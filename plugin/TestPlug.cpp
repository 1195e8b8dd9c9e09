#include "plugin/TestPlug.h"

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

// The engine's voice records and work buffer are made here, with the
// instance, and go with it: voices the host did not kill are freed too.
TTestPlug::TTestPlug(intptr_t tag, THostServices* host) : TQuirraPlugBase(tag, host), Engine(*this) {
    TProcessState& process = Process();
    if (!process.ResourceModule) process.ResourceModule = std::make_unique<TSynthResModule>(process.ModulePath + "Artwork/");

    Info = &gPlugInfo;
    Engine.KeyboardNotify = true;
    MaxPolyphony = static_cast<int32_t>(gPlugInfo.DefaultPolyphony);

    auto form = std::make_unique<TSynthEditorForm>();
    form->Link = this;
    for (int i = 0; i < kParamCount; ++i) ParamDefaults[static_cast<size_t>(i)] = form->Wheels[static_cast<size_t>(i)]->Value();
    form->lblVersion->SetCaption(Utf8ToCp936("版本 ") + NORV_FILE_VERSION);
    keyNoticeWindow_ = form->Handle();
    EditorForm = std::move(form);

    WaveTable = std::make_unique<TPianoWaveTable>(process.ModulePath + "WavTables/", kParamCount);
    ScanWaveTables();

    LoadWaveTable(0, true, false, false);

    Host->HostDispatch(HostTag, HostOpcode::InstanceReady, 0, 1);
}

TTestPlug::~TTestPlug() = default;

void TTestPlug::DestroyInstance() {
    Engine.ReleaseDelayLine();
    Engine.SetTable(nullptr);
    WaveTable.reset();
    WaveTableNames.clear();
    WaveTableFiles.clear();
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
        case PlugCommand::SetEditorScale:
            SetEditorScale(static_cast<int32_t>(value));
            break;
        case PlugCommand::SaveEditorImage:
            return SaveEditorImage(reinterpret_cast<const char*>(value)) ? 1 : 0;
        default:
            break;
    }
    return 0;
}

void TTestPlug::SetSampleRate(int32_t rate) {
    if (rate < 1) return;  // no rate to derive anything from
    Renderer->SetRate(rate);
    Renderer->RateFromHost = true;
    Engine.SetSampleRate(*Renderer);
}

void TTestPlug::EndAllVoices() {
    Host->LockProcessing();
    Engine.EndAllVoices();
    Host->UnlockProcessing();
}

}  // namespace norv
