// The host's side of the plug-in boundary: THostServices for one loaded
// bundle and its instances. It uses only the ABI header, as any host would.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "host/PluginLibrary.h"
#include "host/StatusDisplay.h"
#include "plugin/QP_Def.h"

namespace norv::host {

inline constexpr int32_t kHostVersion = 4002000;

// The host's record of one voice; its address is the voice tag. Records
// live in the host's fixed pool, so starting a note never allocates, and a
// record's address stays valid after its voice ends (Serial tells reuse).
struct HostVoice : THostVoiceRecord {
    TQuirraPlug* Plug = nullptr;
    intptr_t Handle = -1;
    int Channel = 0;
    int Key = 0;
    bool KeyDown = true;      // note-off not yet received
    bool Released = false;    // ReleaseVoice sent
    bool InUse = false;
    uint64_t Serial = 0;      // changes each time the record is given out
    HostVoice* Older = nullptr;  // live voices, in the order they started
    HostVoice* Newer = nullptr;
};

// A voice as it was when looked at; Live tells whether it is still that voice.
struct VoiceRef {
    HostVoice* Voice = nullptr;
    uint64_t Serial = 0;
    bool Live() const { return Voice->InUse && Voice->Serial == Serial; }
};

class Host : public THostServices {
public:
    // Voice records the pool holds: more than the instrument's own voice
    // capacity, so the instance runs out of voices before the host does.
    static constexpr size_t kVoiceCapacity = 2048;

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

    // Starts a voice on `plug`; nullptr when the instance starts none or the
    // pool is used up. Never allocates.
    HostVoice* StartVoice(TQuirraPlug* plug, int channel, int key, float initVolume, float curVolume, float pan,
                          float curPitch);
    void ReleaseVoice(HostVoice* voice);
    void KillVoice(HostVoice* voice);
    // Voices the host still holds for `plug`, oldest first.
    std::vector<HostVoice*> Voices(TQuirraPlug* plug) const;
    // The same without allocating: fills `out` (up to its size) and returns
    // the count. Calls into the instance may end voices, so act on each only
    // while it is Live().
    size_t CollectVoices(TQuirraPlug* plug, std::span<VoiceRef> out) const;
    size_t VoiceCount(TQuirraPlug* plug) const;
    // Walks the live voices of `plug`, oldest first. `f` must not start or end voices.
    template <class F>
    void ForEachVoice(TQuirraPlug* plug, F&& f) const {
        for (HostVoice* v = oldest_; v; v = v->Newer)
            if (v->Plug == plug) f(v);
    }

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
    // Audio thread: the processing lock if it is free at once.
    bool TryLockProcessing() { return processing_.try_lock(); }

private:
    explicit Host(std::unique_ptr<PluginLibrary> library);
    void Init();
    void Forget(HostVoice* voice);
    void PutFree(HostVoice* voice);
    HostVoice* Owned(intptr_t voiceTag);

    std::unique_ptr<PluginLibrary> library_;
    CreatePlugInstanceFn create_ = nullptr;
    intptr_t nextTag_ = 1;
    std::map<TQuirraPlug*, intptr_t> tags_;
    std::unique_ptr<HostVoice[]> pool_;
    HostVoice* freeOldest_ = nullptr;  // records to give out, least recently freed first, linked through Newer
    HostVoice* freeNewest_ = nullptr;
    HostVoice* oldest_ = nullptr;
    HostVoice* newest_ = nullptr;
    uint64_t serial_ = 0;
    std::recursive_mutex processing_;
    std::mutex mix_;
};

// Host-side balance law with unity at the centre.
void BalanceGains(float pan, float volume, float& left, float& right);

}  // namespace norv::host
