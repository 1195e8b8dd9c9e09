// The instrument: one instance of the sampled piano.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/Voice.h"
#include "engine/WorkingValues.h"
#include "plugin/QP_NativePlug.h"
#include "toolkit/Controls.h"
#include "base/QuickList.h"
#include "base/Relaxed.h"

namespace norv {

class TSynthEditorForm;
class TPianoWaveTable;

// The record every instance hands the host through Info.
extern PlugInfoRecord gPlugInfo;

class TTestPlug : public TQuirraPlugBase {
public:
    // Construction steps 8-17 (the base did 1-7).
    TTestPlug(intptr_t tag, THostServices* host);

    // Host-facing slots.
    void DestroyInstance() override;
    intptr_t HostCommand(intptr_t opcode, intptr_t index, intptr_t value) override;
    void ExchangeState(IStateStream* stream, intptr_t save) override;
    void DescribeItem(intptr_t kind, intptr_t index, intptr_t value, char* text) override;
    intptr_t HandleParameter(intptr_t index, intptr_t value, intptr_t flags) override;
    void RenderMix(float* dest, int32_t* frames) override;
    intptr_t StartVoice(THostVoiceRecord* record, intptr_t voiceTag) override;
    void ReleaseVoice(intptr_t handle) override;
    void KillVoice(intptr_t handle) override;
    intptr_t VoiceEvent(intptr_t handle, intptr_t event, intptr_t value, intptr_t flags) override;

    // Host commands.
    void SetEditorParent(tk::WindowId window);
    void SetSampleRate(int32_t rate);
    void EndAllVoices();

    void UpdateWorkingValues(int32_t index);
    // Step 5 of the block: every voice not ended, into MixBuffer.
    void RenderVoices(const TPianoWaveTable& table, int32_t n);
    void KillAllVoices();

    // Loads library entry `index` aside and swaps it in; false keeps the current set.
    bool LoadWaveTable(int32_t index, bool notify, bool pumpMessages, bool lockHost);
    void ScanWaveTables();

    TSynthEditorForm* Form() const;
    // The editor window that receives key notices; fixed at construction so
    // the audio thread only reads it.
    tk::WindowId KeyNoticeWindow = 0;
    void PostKeyNotice(int32_t key, bool sounding);
    void KeyOffNotice(TPianoVoice& v);
    const TPianoWaveTable* CurrentTable() const { return WaveTable.get(); }

    // Engine.
    TWorkingValues W;
    TEffectState Fx;
    float* MixBuffer = nullptr;
    int32_t MixCapacity = 0;

    // Parameters.
    std::array<int32_t, kParamCount> ParamDefaults{};
    std::array<int32_t, kParamCount> ParamValues{};
    ParamLevelArray ParamLevels{};

    bool EditorDetached = false;
    Relaxed<bool> KeyboardNotify{false};

    // The library, index for index with the selector's items.
    std::vector<std::string> WaveTableNames;
    std::vector<std::string> WaveTableFiles;

    std::unique_ptr<TPianoWaveTable> WaveTable;
    std::unique_ptr<TQuickList<TPianoVoice>> Voices;

protected:
    ~TTestPlug() override;
};

}  // namespace norv
