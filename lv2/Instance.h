// One LV2 instance of the instrument: a host of our own (host::Host) that
// loads the bundle's NorvKeys.so as any host does, one instance of it, and
// the live player that renders it from the atom port's MIDI.
//
// Threads: run() and WorkResponse() on the audio thread; everything else
// from the host's other threads, under GuiThreadLock().
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <memory>
#include <string>

#include "host/HostServices.h"
#include "host/LivePlayer.h"
#include "lv2/ControlPorts.h"
#include "lv2/HostFeatures.h"
#include "lv2/RunStats.h"
#include "lv2/SetLoader.h"
#include "lv2/SetSwitch.h"
#include "lv2/Uris.h"

namespace norv::lv2 {

class Instance {
public:
    // Instantiate thread. Throws std::runtime_error naming the file and the
    // reason when the bundle's plug-in cannot be loaded or makes no instance.
    Instance(double rate, const std::string& bundlePath, const HostFeatures& features);
    ~Instance();  // cleanup thread
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    void ConnectPort(uint32_t port, void* data);  // audio thread between runs, or instantiate thread
    void Activate();                              // instantiate thread
    void Deactivate();                            // instantiate thread
    void Run(uint32_t frames);                    // audio thread

    // Worker thread.
    LV2_Worker_Status Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle, uint32_t size,
                           const void* data);
    // Audio thread, after a run.
    LV2_Worker_Status WorkResponse(uint32_t size, const void* data);

    // Any non-audio thread (save may come while run() runs).
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
    // Instantiate thread, no run in progress.
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

    // For code in the same binary, under GuiThreadLock().
    host::Host& GetHost() { return *host_; }
    TQuirraPlug* Plug() const { return plug_; }
    host::LivePlayer& Player() { return *player_; }
    const std::string& BundlePath() const { return bundle_; }

private:
    void ApplyControls();
    void ReadEvents();
    void ReadPatch(const LV2_Atom_Object* object);
    void Schedule(const SetRequest& request);
    void StartNotify();
    void FinishNotify();
    void NotifySet(const SetName& name);

    std::string bundle_;
    LV2_Log_Logger logger_;
    const LV2_Worker_Schedule* schedule_;
    Uris uris_;
    std::unique_ptr<host::Host> host_;
    TQuirraPlug* plug_ = nullptr;
    std::unique_ptr<host::LivePlayer> player_;
    // Loads every set before plug_ does and lets go of it after (under GuiThreadLock()).
    std::unique_ptr<SetLoader> loader_;
    RunStats stats_;

    const void* events_ = nullptr;  // atom sequences, perhaps not 8-byte aligned
    void* notify_ = nullptr;
    float* left_ = nullptr;
    float* right_ = nullptr;
    ControlPorts controls_;

    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame notifyFrame_{};
    alignas(8) uint8_t notifyBuffer_[4096] = {};
    bool notifyOpen_ = false;
    SetRequest request_;   // run()'s scratch message to the worker
    SetName answer_;       // the worker's latest answer, sent on notify by the next run
    bool answerPending_ = false;
    // The set the instance plays, UTF-8, under GuiThreadLock(): known
    // without asking the instance, which would mean stopping run() a while.
    std::string setName_;
    // The plug-in loads its first set before it learns the rate, converting
    // the samples for another one; the set is loaded again at the host's rate
    // when the host activates the instance, unless a restore did so first.
    bool reloadForRate_ = true;
    // A restore or the first run: the UI is told the set without asking.
    std::atomic<bool> tellSet_{true};
};

}  // namespace norv::lv2
