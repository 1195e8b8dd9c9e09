#include "toolkit/Controls.h"

#include <algorithm>

#include "toolkit/Application.h"

namespace norv::tk {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->owned_.push_back(this);
}

TComponent::~TComponent() {
    // Owned components go first, last created first.
    while (!owned_.empty()) {
        TComponent* c = owned_.back();
        owned_.pop_back();
        c->owner_ = nullptr;
        delete c;
    }
    if (owner_) std::erase(owner_->owned_, this);
}

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    Application().ControlDestroyed(this);
    SetParent(nullptr);
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) std::erase(parent_->children_, this);
    parent_ = parent;
    if (parent_) parent_->children_.push_back(this);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    BoundsChanged();
}

void TControl::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    Invalidate();
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Children that outlive their parent window become parentless.
    while (!children_.empty()) children_.back()->SetParent(nullptr);
    if (handle_) Application().DestroyWindow(handle_);
}

WindowId TWinControl::Handle() {
    if (!handle_) handle_ = Application().CreateWindow(this);
    return handle_;
}

void TWinControl::SetParentWindow(WindowId window) {
    parentWindow_ = window;
    if (window) SetParent(nullptr);
}

bool TWinControl::IsWindowOrDescendantOf(WindowId ancestor) const {
    if (ancestor == 0) return false;
    for (const TWinControl* w = this; w; w = w->Parent()) {
        if (w->handle_ == ancestor) return true;
        if (w->parentWindow_) return w->parentWindow_ == ancestor;
    }
    return false;
}

void TWinControl::BoundsChanged() {
    if (Width() == lastWidth_ && Height() == lastHeight_) return;
    lastWidth_ = Width();
    lastHeight_ = Height();
    if (OnResize) OnResize(this);
}

void TToggleButton::SetDown(bool down) {
    if (down_ == down) return;
    down_ = down;
    Invalidate();
}

void TToggleButton::Click() {
    SetDown(!down_);
    if (OnClick) OnClick(this);
}

void TLabel::SetCaption(std::string caption) {
    if (caption_ == caption) return;
    caption_ = std::move(caption);
    Invalidate();
}

}  // namespace norv::tk
