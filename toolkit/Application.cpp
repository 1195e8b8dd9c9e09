#include "toolkit/Application.h"

#include <poll.h>

#include <algorithm>
#include <chrono>

#include "toolkit/Display.h"
#include "toolkit/NativeWindow.h"
#include "toolkit/PopupMenu.h"

namespace norv::tk {

namespace {
TApplication* gApplication = nullptr;

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

TApplication& Application() {
    if (!gApplication) gApplication = new TApplication;
    return *gApplication;
}

void ReleaseApplication() {
    delete gApplication;
    gApplication = nullptr;
    TDisplay::Close();
}

void TApplication::SetHint(const std::string& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    if (OnHint) OnHint();
}

int TApplication::SetTimer(int intervalMs, std::function<void()> callback) {
    const int id = nextTimer_++;
    timers_.push_back({id, intervalMs, NowMs() + intervalMs, std::move(callback)});
    return id;
}

void TApplication::ChangeTimer(int id, int intervalMs) {
    for (Timer& t : timers_)
        if (t.Id == id) {
            t.IntervalMs = intervalMs;
            t.DueMs = NowMs() + intervalMs;
        }
}

void TApplication::KillTimer(int id) {
    std::erase_if(timers_, [id](const Timer& t) { return t.Id == id; });
}

int TApplication::MsToNextTimer() const {
    if (timers_.empty()) return -1;
    int64_t due = timers_.front().DueMs;
    for (const Timer& t : timers_) due = std::min(due, t.DueMs);
    return static_cast<int>(std::max<int64_t>(0, due - NowMs()));
}

void TApplication::RunTimers() {
    const int64_t now = NowMs();
    std::vector<int> due;
    for (const Timer& t : timers_)
        if (t.DueMs <= now) due.push_back(t.Id);
    for (int id : due) {
        auto it = std::find_if(timers_.begin(), timers_.end(), [id](const Timer& t) { return t.Id == id; });
        if (it == timers_.end()) continue;  // killed by an earlier callback
        it->DueMs = now + it->IntervalMs;
        auto callback = it->Callback;  // the callback may kill its own timer
        callback();
    }
}

void TApplication::SetTimerInterval(int32_t ms) {
    animationInterval_ = std::max<int32_t>(ms, 1);
    if (animationTimer_) ChangeTimer(animationTimer_, animationInterval_);
}

void TApplication::Animate(TControl* control, std::function<bool()> step) {
    for (auto& a : animations_)
        if (a.first == control) {
            a.second = std::move(step);
            return;
        }
    animations_.emplace_back(control, std::move(step));
    if (!animationTimer_) animationTimer_ = SetTimer(animationInterval_, [this] { AnimationTick(); });
}

bool TApplication::Animating(const TControl* control) const {
    return std::any_of(animations_.begin(), animations_.end(), [control](const auto& a) { return a.first == control; });
}

void TApplication::StopAnimating(const TControl* control) {
    std::erase_if(animations_, [control](const auto& a) { return a.first == control; });
}

void TApplication::AnimationTick() {
    auto running = std::move(animations_);
    animations_.clear();
    for (auto& a : running)
        if (a.second()) animations_.push_back(std::move(a));
    // Nothing moves: the loop sleeps until the next input.
    if (animations_.empty() && animationTimer_) {
        KillTimer(animationTimer_);
        animationTimer_ = 0;
    }
}

WindowId TApplication::CreateWindow(TWinControl* control) {
    WindowId id = nextWindow_++;
    windows_[id] = control;
    return id;
}

void TApplication::AddWindow(WindowId window, TWinControl* control) { windows_[window] = control; }

void TApplication::DestroyWindow(WindowId window) { windows_.erase(window); }

TWinControl* TApplication::FindWindow(WindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second;
}

void TApplication::RegisterNativeTarget(uint64_t window, INativeEventTarget* target) { nativeTargets_[window] = target; }

void TApplication::UnregisterNativeTarget(uint64_t window) {
    nativeTargets_.erase(window);
    CloseDisplayWhenUnused();
}

void TApplication::CloseDisplayWhenUnused() {
    // No window of ours is left: the connection goes, so a host that closes
    // its display (or loses its server) later finds nothing of ours on it.
    if (nativeTargets_.empty() && !insideEvents_) TDisplay::Close();
}

bool TApplication::PostMessage(WindowId window, uint32_t msg, intptr_t wparam, intptr_t lparam) {
    return queue_.Post(TMessage{window, msg, wparam, lparam});
}

void TApplication::ProcessXEvents() {
    TDisplay* d = nativeTargets_.empty() ? nullptr : TDisplay::Get();
    if (!d) return;
    insideEvents_ = true;
    while (d->Usable() && XPending(d->X())) {
        XEvent e;
        XNextEvent(d->X(), &e);
        auto it = nativeTargets_.find(e.xany.window);
        if (it != nativeTargets_.end()) it->second->HandleNativeEvent(e);
    }
    insideEvents_ = false;
    CloseDisplayWhenUnused();
}

void TApplication::PaintWindows() {
    if (nativeTargets_.empty()) return;
    // Painting may not add or remove windows; copy anyway, it is a handful.
    std::vector<TWinControl*> windows;
    windows.reserve(windows_.size());
    for (auto& [id, w] : windows_) windows.push_back(w);
    for (TWinControl* w : windows) w->FlushPaint();
    if (TDisplay* d = TDisplay::Get(); d && d->Usable()) XFlush(d->X());
}

void TApplication::ProcessMessages() {
    ProcessXEvents();
    RunTimers();
    TMessage m;
    while (queue_.Pop(m))
        if (TWinControl* w = FindWindow(m.Window)) w->HandleMessage(m);
    PaintWindows();
}

void TApplication::WaitAndProcess(int maxMs) {
    int wait = maxMs;
    const int timer = MsToNextTimer();
    if (timer >= 0) wait = std::min(wait, timer);
    TDisplay* d = nativeTargets_.empty() ? nullptr : TDisplay::Get();
    if (d && d->Usable() && XPending(d->X()) == 0 && wait > 0) {
        pollfd p{d->Fd(), POLLIN, 0};
        poll(&p, 1, wait);
    }
    ProcessMessages();
}

void TApplication::SyncWithServer() {
    TDisplay* d = nativeTargets_.empty() ? nullptr : TDisplay::Get();
    if (d && d->Usable()) XSync(d->X(), False);
}

void TApplication::CatchUpWithServer() {
    SyncWithServer();
    ProcessXEvents();
}

void TApplication::ControlDestroyed(TControl* control) {
    if (hintControl_ == control) hintControl_ = nullptr;
    if (pointerOver_ == control) pointerOver_ = nullptr;
    if (CaptureControl == control) CaptureControl = nullptr;
    StopAnimating(control);
    TPopupMenu::ForgetControl(control);
}

}  // namespace norv::tk
