// One LV2 UI: an instance of the instrument of its own whose editor panel
// lives in the host's parent window. The panel's knobs, keys and set
// selector reach the plug-in through ports; the plug-in's values and set
// come back and move the panel, without being sent again.
// Every member: the host's UI thread, under GuiThreadLock().
#pragma once

#include <memory>
#include <string>

#include "lv2/ui/PanelGeometry.h"
#include "lv2/ui/PortWriter.h"
#include "lv2/ui/UiFeatures.h"
#include "lv2/ui/UiHost.h"
#include "lv2/ui/UiMessages.h"

namespace norv::lv2 {

class PanelUi {
public:
    // Throws std::runtime_error with a message for the host's user when the
    // instrument, its instance or the display cannot be had.
    PanelUi(const std::string& bundlePath, LV2UI_Write_Function write, LV2UI_Controller controller,
            const UiFeatures& features);
    ~PanelUi();
    PanelUi(const PanelUi&) = delete;
    PanelUi& operator=(const PanelUi&) = delete;

    uintptr_t Widget() const;
    void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    // 0 while the panel lives, 1 once it is gone.
    int Idle();
    // The host gives the panel a size; 0 when it took it (it may correct it later).
    int HostResize(int width, int height);

private:
    void TellSize();
    void ForwardOwnChoice();
    void FollowPluginSet(const std::string& utf8);

    UiFeatures features_;
    Uris urids_;
    PortWriter writer_;
    std::string wavTables_;
    PanelGeometry geometry_;
    std::unique_ptr<UiHost> host_;
    TQuirraPlug* plug_ = nullptr;
    int resizes_ = 0;
    std::string setName_;  // UTF-8, as the set property carries it
    bool gone_ = false;
};

}  // namespace norv::lv2
