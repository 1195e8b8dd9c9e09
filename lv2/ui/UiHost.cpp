#include "lv2/ui/UiHost.h"

#include "engine/Parameters.h"
#include "lv2/Protocol.h"

namespace norv::lv2 {

UiHost::UiHost(const std::string& pluginPath, const PortWriter& writer, const LV2UI_Touch* touch)
    : host::Host(pluginPath), writer_(writer), touch_(touch) {
    OnKeyboardNote = [this](intptr_t, int key, int velocity) { writer_.MidiNote(key, velocity); };
}

UiHost::~UiHost() { EndGesture(); }

void UiHost::EndGesture() {
    if (touching_ < 0) return;
    if (touch_) touch_->touch(touch_->handle, kFirstParam + static_cast<uint32_t>(touching_), false);
    touching_ = -1;
}

void UiHost::NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) {
    // The base's record of changes is not kept: a UI lives for hours.
    (void)tag;
    if (quiet_ > 0 || index < 0 || index >= kParamCount) return;
    if (touching_ != index) {
        EndGesture();
        touching_ = static_cast<int32_t>(index);
        if (touch_) touch_->touch(touch_->handle, kFirstParam + static_cast<uint32_t>(index), true);
    }
    writer_.Parameter(static_cast<int32_t>(index), static_cast<int32_t>(value));
}

}  // namespace norv::lv2
