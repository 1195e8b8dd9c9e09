// The UI's host for its own instance of the instrument: knob turns and the
// panel's keyboard go to the LV2 host as port writes, except while the UI
// itself sets knobs from the host's values. GUI thread.
#pragma once

#include <string>

#include "host/HostServices.h"
#include "lv2/ui/PortWriter.h"

namespace norv::lv2 {

class UiHost : public host::Host {
public:
    // Throws std::runtime_error naming the plug-in file when it cannot be loaded.
    UiHost(const std::string& pluginPath, const PortWriter& writer);

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

private:
    const PortWriter& writer_;
    int quiet_ = 0;
};

}  // namespace norv::lv2
