#include "toolkit/Application.h"

#include "toolkit/PopupMenu.h"

namespace norv::tk {

namespace {
TApplication* gApplication = nullptr;
}

TApplication& Application() {
    if (!gApplication) gApplication = new TApplication;
    return *gApplication;
}

void ReleaseApplication() {
    delete gApplication;
    gApplication = nullptr;
}

void TApplication::SetHint(const std::string& hint) {
    if (hint == hint_) return;
    hint_ = hint;
    if (OnHint) OnHint();
}

WindowId TApplication::CreateWindow(TWinControl* control) {
    WindowId id = nextWindow_++;
    windows_[id] = control;
    return id;
}

void TApplication::DestroyWindow(WindowId window) { windows_.erase(window); }

TWinControl* TApplication::FindWindow(WindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : it->second;
}

bool TApplication::PostMessage(WindowId window, uint32_t msg, intptr_t wparam, intptr_t lparam) {
    return queue_.Post(TMessage{window, msg, wparam, lparam});
}

void TApplication::ProcessMessages() {
    TMessage m;
    while (queue_.Pop(m))
        if (TWinControl* w = FindWindow(m.Window)) w->HandleMessage(m);
}

void TApplication::ControlDestroyed(TControl* control) {
    if (hintControl_ == control) hintControl_ = nullptr;
    if (pointerOver_ == control) pointerOver_ = nullptr;
    if (CaptureControl == control) CaptureControl = nullptr;
    TPopupMenu::ForgetControl(control);
}

}  // namespace norv::tk
