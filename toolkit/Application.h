// The toolkit's process-wide application object (GUI thread only, except
// PostMessage): the loop (X events, timers, posted messages, painting), the
// application hint and its hint control, the main window query, mouse capture
// and the windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "toolkit/Controls.h"
#include "toolkit/MessageQueue.h"

namespace norv::tk {

class INativeEventTarget;

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

    // The control that gets every mouse event until it lets go.
    TControl* CaptureControl = nullptr;

    // The control under the mouse cursor, disabled ones included; nullptr
    // when there is none. Without a display it is the control set by
    // SetPointerOver, so the logic above it can be exercised.
    TControl* ControlAtCursor() const { return pointerOver_; }
    void SetPointerOver(TControl* control) { pointerOver_ = control; }
    // Where the last mouse event happened on the screen (device pixels).
    TPoint MouseScreenPos() const { return mouseScreen_; }
    void SetMouseScreenPos(TPoint p) { mouseScreen_ = p; }

    // Interval of the shared timer that animates the toolkit's controls (ms).
    int32_t TimerInterval() const { return animationInterval_; }
    void SetTimerInterval(int32_t ms);
    // Calls `step` on every tick of the shared animation timer until it
    // returns false; the timer runs only while something animates.
    void Animate(TControl* control, std::function<bool()> step);
    bool Animating(const TControl* control) const;
    void StopAnimating(const TControl* control);

    // Timers run by the loop; the callback may change or kill its own timer.
    int SetTimer(int intervalMs, std::function<void()> callback);
    void ChangeTimer(int id, int intervalMs);
    void KillTimer(int id);
    // Milliseconds until the next timer is due; -1 without timers.
    int MsToNextTimer() const;

    // Windows by handle: made-up ones without a display, X ones with.
    WindowId CreateWindow(TWinControl* control);
    void AddWindow(WindowId window, TWinControl* control);
    void DestroyWindow(WindowId window);
    TWinControl* FindWindow(WindowId window) const;
    // X windows that want their events (windowed controls, open menus).
    void RegisterNativeTarget(uint64_t window, INativeEventTarget* target);
    void UnregisterNativeTarget(uint64_t window);

    // Never blocks and never allocates, so the audio thread may post.
    bool PostMessage(WindowId window, uint32_t msg, intptr_t wparam, intptr_t lparam);
    // One turn of the loop: the X events that arrived, due timers, every
    // message posted so far in order, then painting. Never waits.
    void ProcessMessages();
    // Waits up to `maxMs` for X input or the next timer, then runs one turn.
    void WaitAndProcess(int maxMs);
    // Returns once the server has carried out every request sent so far, so
    // another connection (the host's) sees our windows as they are now.
    void SyncWithServer();
    // SyncWithServer, then the X events that came up to then: what another
    // connection did to our windows before this call is known after it.
    void CatchUpWithServer();

    // Forget references to a control that goes away.
    void ControlDestroyed(TControl* control);

private:
    void ProcessXEvents();
    void RunTimers();
    void PaintWindows();
    void CloseDisplayWhenUnused();
    void AnimationTick();

    struct Timer {
        int Id;
        int IntervalMs;
        int64_t DueMs;
        std::function<void()> Callback;
    };
    std::string hint_;
    TControl* hintControl_ = nullptr;
    TControl* pointerOver_ = nullptr;
    TPoint mouseScreen_;
    std::unordered_map<WindowId, TWinControl*> windows_;
    std::unordered_map<uint64_t, INativeEventTarget*> nativeTargets_;
    std::vector<Timer> timers_;
    int nextTimer_ = 1;
    bool insideEvents_ = false;
    int32_t animationInterval_ = 24;
    int animationTimer_ = 0;
    std::vector<std::pair<TControl*, std::function<bool()>>> animations_;
    WindowId nextWindow_ = 0x4E000001;
    TMessageQueue queue_;
};

TApplication& Application();
// When the library unloads; controls must not outlive it.
void ReleaseApplication();

}  // namespace norv::tk
