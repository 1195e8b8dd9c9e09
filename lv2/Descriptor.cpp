// The LV2 entry points: the descriptor and the state and worker interfaces,
// each a thin call into Instance.
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/worker/worker.h>

#include <exception>
#include <memory>
#include <mutex>

#include "lv2/GuiThread.h"
#include "lv2/Instance.h"
#include "lv2/Protocol.h"

namespace norv::lv2 {
namespace {

Instance* Of(LV2_Handle handle) { return static_cast<Instance*>(handle); }

// Instantiate thread.
LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char* bundlePath, const LV2_Feature* const* features) {
    HostFeatures host = ReadHostFeatures(features);
    if (!host.Missing.empty()) {
        lv2_log_error(&host.Logger, "Norv Keys: the host does not provide %s, which the instrument needs\n",
                      host.Missing.c_str());
        return nullptr;
    }
    if (!bundlePath || !(rate >= 1.0)) {
        lv2_log_error(&host.Logger, "Norv Keys: no bundle path or no usable sample rate (%g)\n", rate);
        return nullptr;
    }
    std::lock_guard gui(GuiThreadLock());
    try {
        return new Instance(rate, bundlePath, host);
    } catch (const std::exception& e) {
        lv2_log_error(&host.Logger, "Norv Keys: %s\n", e.what());
        return nullptr;
    }
}

// Audio thread between runs, or the instantiate thread.
void ConnectPort(LV2_Handle handle, uint32_t port, void* data) { Of(handle)->ConnectPort(port, data); }

// Instantiate thread.
void Activate(LV2_Handle handle) {
    std::lock_guard gui(GuiThreadLock());
    Of(handle)->Activate();
}

// Audio thread.
void Run(LV2_Handle handle, uint32_t frames) { Of(handle)->Run(frames); }

// Instantiate thread.
void Deactivate(LV2_Handle handle) {
    std::lock_guard gui(GuiThreadLock());
    Of(handle)->Deactivate();
}

// Instantiate thread.
void Cleanup(LV2_Handle handle) {
    std::lock_guard gui(GuiThreadLock());
    delete Of(handle);
}

// Worker thread.
LV2_Worker_Status Work(LV2_Handle handle, LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle respondHandle,
                       uint32_t size, const void* data) {
    return Of(handle)->Work(respond, respondHandle, size, data);
}

// Audio thread.
LV2_Worker_Status WorkResponse(LV2_Handle handle, uint32_t size, const void* data) {
    return Of(handle)->WorkResponse(size, data);
}

// Any non-audio thread.
LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle stateHandle, uint32_t,
                      const LV2_Feature* const*) {
    return Of(handle)->Save(store, stateHandle);
}

// Instantiate thread.
LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle stateHandle,
                         uint32_t, const LV2_Feature* const*) {
    return Of(handle)->Restore(retrieve, stateHandle);
}

const LV2_Worker_Interface kWorker = {Work, WorkResponse, nullptr};
const LV2_State_Interface kState = {Save, Restore};

// Discovery thread.
const void* ExtensionData(const char* uri) {
    if (std::string_view(uri) == LV2_WORKER__interface) return &kWorker;
    if (std::string_view(uri) == LV2_STATE__interface) return &kState;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kPluginUri, Instantiate, ConnectPort, Activate, Run, Deactivate, Cleanup,
                                    ExtensionData};

}  // namespace
}  // namespace norv::lv2

// Discovery thread.
LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &norv::lv2::kDescriptor : nullptr;
}
