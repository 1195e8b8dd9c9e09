// Infinite drags: while a knob is dragged the cursor is hidden and, when it
// nears the monitor's edge, moved to the other side, so the drag never runs
// out of room. After the drag the cursor comes back where it started.
// One relocation at a time for the whole process. GUI thread only.
#pragma once

#include <cstdint>

#include "toolkit/Geometry.h"

namespace norv::tk {

// The pointer as the relocation sees it; the X one, or a test's.
class IPointerDevice {
public:
    virtual TPoint Position() = 0;
    virtual void MoveTo(TPoint p) = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
    virtual TRect MonitorBounds(TPoint near) = 0;

protected:
    ~IPointerDevice() = default;
};

class TCursorRelocation {
public:
    // Stylus mode: absolute pointers cannot be warped; deltas are doubled instead.
    explicit TCursorRelocation(IPointerDevice& device, bool stylus) : device_(device), stylus_(stylus) {}

    bool Active() const { return active_; }
    // Ignored while active, so a second press cannot hide the cursor twice.
    void Begin(TPoint screen);
    // Mouse travel since the last call; positive when the mouse went up or left.
    void Delta(int& dx, int& dy);
    void End();
    TRect WrapRect() const { return rect_; }

private:
    IPointerDevice& device_;
    bool stylus_;
    bool active_ = false;
    TPoint start_, last_;
    TRect rect_;
};

// The relocation of the process's pointer (a no-op without a display).
TCursorRelocation& SharedCursorRelocation();

}  // namespace norv::tk

namespace norv::tk {
// The window that holds the pointer while the cursor is hidden (the dragged knob's).
void SetRelocationWindow(uint64_t window);
}  // namespace norv::tk
