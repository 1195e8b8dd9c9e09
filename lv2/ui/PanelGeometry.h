// Looks at the panel's X window from a connection of the UI's own: its size
// for the host's ui:resize, and whether it still exists (a host may destroy
// the parent before it cleans the UI up); and resizes it for a host that
// asks the UI to take a size. GUI thread.
#pragma once

#include <cstdint>
#include <optional>

typedef struct _XDisplay Display;

namespace norv::lv2 {

struct PanelSize {
    int Width = 0, Height = 0;
    bool operator==(const PanelSize&) const = default;
};

class PanelGeometry {
public:
    // Opens the connection; Usable() tells whether that worked.
    PanelGeometry();
    ~PanelGeometry();
    PanelGeometry(const PanelGeometry&) = delete;
    PanelGeometry& operator=(const PanelGeometry&) = delete;

    bool Usable() const { return display_ != nullptr; }
    // nullopt when the window is gone (or the connection is not usable).
    std::optional<PanelSize> SizeOf(uintptr_t window) const;
    // False when the window is gone (or the connection is not usable). The
    // panel hears of its new size as of any resize and may correct it.
    bool Resize(uintptr_t window, PanelSize size) const;
    // A mouse button is down right now (false when the window is gone).
    bool ButtonHeld(uintptr_t window) const;

private:
    // Runs `request` with X errors of this connection caught; false when one came.
    template <typename Request>
    bool Trapped(Request request) const;

    Display* display_ = nullptr;
};

}  // namespace norv::lv2
