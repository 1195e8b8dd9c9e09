// The instrument: one instance of the sampled piano, the glue between the
// host's operations, the engine, the set library and the editor.
//
// Threads: the host calls the operations marked "audio" from its audio
// thread, the others from its main (GUI) thread; the host serialises the
// audio-thread operations with each other and, through its processing lock,
// with the main-thread changes to what they read.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/EditorLink.h"
#include "engine/Engine.h"
#include "plugin/QP_NativePlug.h"
#include "toolkit/Controls.h"

namespace norv {

class TSynthEditorForm;
class TPianoWaveTable;

// The record every instance hands the host through Info.
extern PlugInfoRecord gPlugInfo;

class TTestPlug : public TQuirraPlugBase, private IEngineHost, private IEditorLink {
public:
    // Main thread. The instance is ready to play when this returns.
    TTestPlug(intptr_t tag, THostServices* host);

    // Host-facing slots.
    void DestroyInstance() override;                                                       // main
    intptr_t HostCommand(intptr_t opcode, intptr_t index, intptr_t value) override;        // main
    void ExchangeState(IStateStream* stream, intptr_t save) override;                      // main
    void DescribeItem(intptr_t kind, intptr_t index, intptr_t value, char* text) override;  // any
    // Main thread when it moves the knob or shows the text (0x10, 0x04); any otherwise.
    intptr_t HandleParameter(intptr_t index, intptr_t value, intptr_t flags) override;
    void RenderMix(float* dest, int32_t* frames) override;                                  // audio
    intptr_t StartVoice(THostVoiceRecord* record, intptr_t voiceTag) override;              // audio
    void ReleaseVoice(intptr_t handle) override;                                            // audio
    void KillVoice(intptr_t handle) override;                                               // audio
    intptr_t VoiceEvent(intptr_t handle, intptr_t event, intptr_t value, intptr_t flags) override;  // any

    // Host commands. Main thread.
    void SetEditorParent(tk::WindowId window);
    // Percent; out-of-range values are held to 50..400.
    void SetEditorScale(int32_t percent);
    bool SaveEditorImage(const char* path);
    void SetSampleRate(int32_t rate);
    void EndAllVoices();

    // Reports every voice to the host as removed, then kills it. Main thread,
    // with no block running.
    void KillAllVoices();
    void UpdateWorkingValues(int32_t index) { Engine.UpdateWorkingValues(index); }

    // Loads library entry `index` aside and swaps it in; false keeps the
    // current set. Main thread.
    bool LoadWaveTable(int32_t index, bool notify, bool pumpMessages, bool lockHost);
    void ScanWaveTables();

    TSynthEditorForm* Form() const;
    const TPianoWaveTable* CurrentTable() const { return WaveTable.get(); }

    TEngine Engine;

    // Parameters: the values as stored and saved, and their defaults; the
    // engine keeps the levels.
    std::array<int32_t, kParamCount> ParamDefaults{};
    std::array<int32_t, kParamCount> ParamValues{};

    bool EditorDetached = false;

    // The library, index for index with the selector's items.
    std::vector<std::string> WaveTableNames;
    std::vector<std::string> WaveTableFiles;

    std::unique_ptr<TPianoWaveTable> WaveTable;

protected:
    ~TTestPlug() override;

private:
    // IEngineHost: the audio thread.
    void ComputeVoiceGains(float* left, float* right, float pan, float volume) override;
    void VoiceEnded(intptr_t voiceTag) override;
    void LockMixOutput() override;
    void UnlockMixOutput() override;
    void KeyNotice(int32_t key, bool sounding) override;

    // IEditorLink: the main thread.
    void KnobMoved(int32_t index, int32_t value) override;
    void KeyboardNoteOn(int32_t key, int32_t velocity) override;
    void KeyboardNoteOff(int32_t key) override;
    void SetChosen(int32_t index) override;
    void EditorResized() override;
    void KeyboardShown(bool shown) override;
    void AddHostMenuItems(tk::TPopupMenu& menu, size_t keep, int32_t paramIndex,
                          const std::function<void(tk::TMenuItem*)>& onClick) override;
    void RunHostMenuItem(int32_t paramIndex, int32_t entry) override;
    const TPianoWaveTable* CurrentSet() const override { return WaveTable.get(); }

    // The voice behind a handle the host gives back; nullptr for one that
    // is not a live voice of this instance.
    TPianoVoice* VoiceOf(intptr_t handle) const;

    // The editor window that receives key notices; fixed at construction so
    // the audio thread only reads it.
    tk::WindowId keyNoticeWindow_ = 0;
};

}  // namespace norv
