#include "lv2/ui/UiHost.h"

namespace norv::lv2 {

UiHost::UiHost(const std::string& pluginPath, const PortWriter& writer) : host::Host(pluginPath), writer_(writer) {
    OnKeyboardNote = [this](intptr_t, int key, int velocity) { writer_.MidiNote(key, velocity); };
}

void UiHost::NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) {
    // The base's record of changes is not kept: a UI lives for hours.
    (void)tag;
    if (quiet_ > 0) return;
    writer_.Parameter(static_cast<int32_t>(index), static_cast<int32_t>(value));
}

}  // namespace norv::lv2
