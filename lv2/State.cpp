// The instance's state in LV2: one atom:Chunk under kStateKey holding the
// bytes the instrument itself saves.
#include <mutex>
#include <optional>
#include <vector>

#include "base/Cp936.h"
#include "base/TextCase.h"
#include "host/StateStream.h"
#include "lv2/GuiThread.h"
#include "lv2/Instance.h"
#include "lv2/Protocol.h"

namespace norv::lv2 {

LV2_State_Status Instance::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
    std::vector<uint8_t> bytes;
    {
        std::lock_guard gui(GuiThreadLock());
        // run() may be changing parameters meanwhile.
        std::lock_guard processing(host_->ProcessingMutex());
        bytes = host::SaveInstanceState(plug_);
    }
    return store(handle, uris_.StateKey, bytes.data(), bytes.size(), uris_.AtomChunk,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status Instance::Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) {
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    const void* data = retrieve(handle, uris_.StateKey, &size, &type, &flags);
    if (!data) return LV2_STATE_SUCCESS;  // nothing saved: the instance stays as it is
    if (type != uris_.AtomChunk) {
        lv2_log_error(&logger_, "Norv Keys: the saved state under %s is not an atom:Chunk; left as it was\n", kStateKey);
        return LV2_STATE_ERR_BAD_TYPE;
    }
    const auto* begin = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> bytes(begin, begin + size);
    const std::optional<host::SavedState> state = host::ParseState(bytes);
    if (!state || state->Values.size() != static_cast<size_t>(kParamCount) || state->Version > 1) {
        lv2_log_error(&logger_, "Norv Keys: the saved state (%zu bytes) is not one this instrument wrote; left as it was\n",
                      size);
        return LV2_STATE_ERR_UNKNOWN;
    }

    std::lock_guard gui(GuiThreadLock());
    // The set loads beside the playing one; run() may go on meanwhile (a
    // host that knows restore is safe beside it does not stop it).
    loader_->Prepare(state->Name);
    std::unique_lock processing(host_->ProcessingMutex());
    host::RestoreInstanceState(*host_, plug_, std::move(bytes));
    reloadForRate_ = false;
    const std::optional<host::SavedState> now = host::ParseState(host::SaveInstanceState(plug_));
    if (!now) return LV2_STATE_ERR_UNKNOWN;
    controls_.Rebase(now->Values);
    processing.unlock();
    loader_->Follow(now->Name);
    if (!EqualsIgnoreCase(now->Name, state->Name))
        lv2_log_warning(&logger_, "Norv Keys: the saved set \"%s\" is not installed in %sWavTables/; playing \"%s\"\n",
                        DisplayText(state->Name).c_str(), bundle_.c_str(), DisplayText(now->Name).c_str());
    setName_ = DisplayText(now->Name);
    tellSet_.store(true, std::memory_order_relaxed);
    return LV2_STATE_SUCCESS;
}

}  // namespace norv::lv2
