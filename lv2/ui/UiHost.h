// The UI's host for its own instance of the instrument: knob turns and the
// panel's keyboard go to the LV2 host as port writes, except while the UI
// itself sets knobs from the host's values. A knob's writes come inside a
// ui:touch gesture, so a host can record automation while the knob is held.
// GUI thread.
#pragma once

#include <lv2/ui/ui.h>

#include <cstdint>
#include <string>

#include "host/HostServices.h"
#include "lv2/ui/PortWriter.h"

namespace norv::lv2 {

class UiHost : public host::Host {
public:
    // Throws std::runtime_error naming the plug-in file when it cannot be loaded.
    UiHost(const std::string& pluginPath, const PortWriter& writer, const LV2UI_Touch* touch);
    ~UiHost() override;

    void NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) override;

    // While one lives, knob changes are the host's own and are not sent back.
    class Quiet {
    public:
        explicit Quiet(UiHost& host) : host_(host) { ++host_.quiet_; }
        ~Quiet() { --host_.quiet_; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        UiHost& host_;
    };

    // The gesture a knob began, ended once no mouse button holds it.
    bool Touching() const { return touching_ >= 0; }
    void EndGesture();

private:
    const PortWriter& writer_;
    const LV2UI_Touch* touch_;
    int quiet_ = 0;
    int32_t touching_ = -1;  // the parameter whose knob is held
};

}  // namespace norv::lv2
