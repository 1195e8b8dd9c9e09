// The host's side of the plug-in boundary: THostServices for one loaded
// bundle and its instances. It uses only the ABI header, as any host would.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/PluginLibrary.h"
#include "host/StatusDisplay.h"
#include "plugin/QP_Def.h"

namespace norv::host {

inline constexpr int32_t kHostVersion = 4002000;

// The host's record of one voice; its address is the voice tag.
struct HostVoice : THostVoiceRecord {
    TQuirraPlug* Plug = nullptr;
    intptr_t Handle = -1;
    int Channel = 0;
    int Key = 0;
    bool KeyDown = true;      // note-off not yet received
    bool Released = false;    // ReleaseVoice sent
};

class Host : public THostServices {
public:
    explicit Host(const std::string& pluginPath = DefaultPluginPath());
    // A plug-in linked into the program itself (unit tests).
    explicit Host(CreatePlugInstanceFn create);
    virtual ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // A new instance with the next tag; nullptr when the plug-in refuses.
    TQuirraPlug* CreateInstance();
    // Kills the instance's voices, then destroys it.
    void DestroyInstance(TQuirraPlug* plug);

    // Starts a voice on `plug`; nullptr when the instance starts none.
    HostVoice* StartVoice(TQuirraPlug* plug, int channel, int key, float initVolume, float curVolume, float pan,
                          float curPitch);
    void ReleaseVoice(HostVoice* voice);
    void KillVoice(HostVoice* voice);
    // Voices the host still holds for `plug`, oldest first.
    std::vector<HostVoice*> Voices(TQuirraPlug* plug) const;

    // Renders one block through RenderMix into a zeroed buffer, under the processing lock.
    void RenderBlock(TQuirraPlug* plug, float* interleaved, int32_t frames);

    StatusDisplay Status;
    std::string HostPath;          // GetHostPath, with a trailing '/'
    intptr_t MainWindow = 0;       // GetMainWindow

    // What the instances told the host, for tools and tests.
    std::map<intptr_t, std::string> LastHint;  // by instance tag, code page 936
    struct ParamChange {
        intptr_t Tag, Index, Value;
    };
    std::vector<ParamChange> ParamChanges;
    std::vector<std::string> StatusTexts;  // code page 936
    int EditorResizes = 0;
    int ReadyCalls = 0;
    std::vector<THostMenuItem> MenuItems;  // answers to GetParamMenuItem, for any parameter
    struct MenuRun {
        intptr_t Tag, Index, Value;
    };
    std::vector<MenuRun> MenuRuns;
    // Notes from an editor's on-screen keyboard: key, velocity (0 = off).
    std::function<void(intptr_t tag, int key, int velocity)> OnKeyboardNote;
    int ProcessingLocks = 0;
    int MixLocks = 0;

    // THostServices.
    intptr_t HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) override;
    void NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) override;
    void DisplayHint(intptr_t tag, const char* text) override;
    void NotifyVoiceEnded(intptr_t voiceTag, intptr_t code) override;
    void LockProcessing() override;
    void UnlockProcessing() override;
    void ComputeVoiceGains(float* left, float* right, float pan, float volume) override;
    void LockMixOutput() override;
    void UnlockMixOutput() override;

    std::recursive_mutex& ProcessingMutex() { return processing_; }

private:
    void Forget(HostVoice* voice);

    std::unique_ptr<PluginLibrary> library_;
    CreatePlugInstanceFn create_ = nullptr;
    intptr_t nextTag_ = 1;
    std::map<TQuirraPlug*, intptr_t> tags_;
    std::list<std::unique_ptr<HostVoice>> voices_;
    std::recursive_mutex processing_;
    std::mutex mix_;
};

// Host-side balance law with unity at the centre.
void BalanceGains(float pan, float volume, float& left, float& right);

}  // namespace norv::host
