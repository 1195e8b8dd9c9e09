// The toolkit's process-wide application object (GUI thread only, except
// PostMessage): the application hint and its hint control, the main window
// query, mouse capture, the windows and the posted-message queue.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "toolkit/Controls.h"
#include "toolkit/MessageQueue.h"

namespace norv::tk {

class TApplication {
public:
    // The hint of the control under the mouse, code page 936 "short|long".
    const std::string& Hint() const { return hint_; }
    // Runs OnHint when the text changes.
    void SetHint(const std::string& hint);
    TControl* HintControl() const { return hintControl_; }
    void SetHintControl(TControl* control) { hintControl_ = control; }
    std::function<void()> OnHint;

    // The application's own idle-time hint tracking; hosts of plug-ins switch it off.
    bool ShowHintTracking = true;

    // Answers "which window owns the program's windows".
    std::function<WindowId()> MainWindowQuery;
    WindowId MainWindow() const { return MainWindowQuery ? MainWindowQuery() : 0; }
    WindowId AppWindow = 0;

    TControl* CaptureControl = nullptr;

    // The control under the mouse cursor, disabled ones included; nullptr when
    // there is none or no display. Without a display it is the control set by
    // SetPointerOver, so the logic above it can be exercised.
    TControl* ControlAtCursor() const { return pointerOver_; }
    void SetPointerOver(TControl* control) { pointerOver_ = control; }

    // Interval of the shared timer that animates the toolkit's controls (ms).
    int32_t TimerInterval = 24;

    // Windows.
    WindowId CreateWindow(TWinControl* control);
    void DestroyWindow(WindowId window);
    TWinControl* FindWindow(WindowId window) const;

    // Never blocks and never allocates, so the audio thread may post.
    bool PostMessage(WindowId window, uint32_t msg, intptr_t wparam, intptr_t lparam);
    // Handles every message posted so far, in order. GUI thread.
    void ProcessMessages();

    // Forget references to a control that goes away.
    void ControlDestroyed(TControl* control);

private:
    std::string hint_;
    TControl* hintControl_ = nullptr;
    TControl* pointerOver_ = nullptr;
    std::unordered_map<WindowId, TWinControl*> windows_;
    WindowId nextWindow_ = 0x4E000001;
    TMessageQueue queue_;
};

TApplication& Application();
// When the library unloads; controls must not outlive it.
void ReleaseApplication();

}  // namespace norv::tk
