#include "toolkit/Controls.h"

#include <algorithm>
#include <cmath>

#include "toolkit/Application.h"
#include "toolkit/Color.h"
#include "toolkit/Display.h"
#include "toolkit/NativeWindow.h"
#include "toolkit/PopupMenu.h"

namespace norv::tk {
namespace {

TRect ToDevice(const TRect& r, double s) {
    return {static_cast<int>(std::floor(r.Left * s)), static_cast<int>(std::floor(r.Top * s)),
            static_cast<int>(std::ceil(r.Right * s)), static_cast<int>(std::ceil(r.Bottom * s))};
}

}  // namespace

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
    if (parent_) {
        parent_->AddDirty(BoundsRect());
        if (parent_->hover_ == this) parent_->hover_ = nullptr;
        std::erase(parent_->children_, this);
        parent_ = nullptr;
    }
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    if (parent_) {
        parent_->AddDirty(BoundsRect());
        if (parent_->hover_ == this) parent_->hover_ = nullptr;
        std::erase(parent_->children_, this);
    }
    parent_ = parent;
    if (parent_) {
        parent_->children_.push_back(this);
        Invalidate();
    }
}

double TControl::Scale() const { return parent_ ? parent_->Scale() : 1.0; }

void TControl::SetBounds(int left, int top, int width, int height) {
    if (parent_ && !IsWindowed()) parent_->AddDirty(BoundsRect());
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (parent_ && !IsWindowed()) parent_->AddDirty(BoundsRect());
    BoundsChanged();
}

void TControl::SetVisible(bool visible) {
    if (visible_ == visible) return;
    visible_ = visible;
    ++repaints_;
    if (parent_) parent_->AddDirty(BoundsRect());
}

void TControl::Invalidate() { InvalidateRect({0, 0, width_, height_}); }

void TControl::InvalidateRect(const TRect& r) {
    ++repaints_;
    if (IsWindowed())
        static_cast<TWinControl*>(this)->AddDirty(r);
    else if (parent_ && visible_)
        parent_->AddDirty(r.Offset(left_, top_).Intersect(BoundsRect()));
}

TPoint TControl::ClientToScreen(TPoint p) const {
    // Walk up to the window, then ask the server where that window is.
    int x = p.X, y = p.Y;
    const TControl* c = this;
    while (c && !c->IsWindowed()) {
        x += c->left_;
        y += c->top_;
        c = c->parent_;
    }
    auto* w = const_cast<TWinControl*>(static_cast<const TWinControl*>(c));
    if (!w) return {x, y};
    const double s = w->Scale();
    TPoint device{static_cast<int>(std::lround(x * s)), static_cast<int>(std::lround(y * s))};
    TDisplay* d = TDisplay::Get();
    if (!d || !w->HasNativeWindow()) return device;
    ::Window child;
    int rx = 0, ry = 0;
    XTranslateCoordinates(d->X(), static_cast<::Window>(w->Handle()), d->Root(), device.X, device.Y, &rx, &ry, &child);
    return {rx, ry};
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // The windows go first, so no child window shows up on the screen on its own.
    DestroyNativeWindow();
    // Children that outlive their parent window become parentless.
    while (!children_.empty()) children_.back()->SetParent(nullptr);
    if (handle_) Application().DestroyWindow(handle_);
}

WindowId TWinControl::Handle() {
    if (handle_) return handle_;
    if (TDisplay::Get()) {
        CreateNativeWindow();
        handle_ = native_->Id();
        Application().AddWindow(handle_, this);
        // Inner panels get their windows with this one.
        for (TControl* c : children_)
            if (c->IsWindowed()) static_cast<TWinControl*>(c)->Handle();
    } else {
        handle_ = Application().CreateWindow(this);
    }
    return handle_;
}

void TWinControl::CreateNativeWindow() {
    ::Window parent = 0;
    if (parentWindow_)
        parent = static_cast<::Window>(parentWindow_);
    else if (Parent())
        parent = static_cast<::Window>(Parent()->Handle());
    const TRect b = ToDevice(parentWindow_ ? TRect{0, 0, Width(), Height()} : BoundsRect(), scale_);
    // Top-level windows stay unmapped: the host shows the panel inside its own window.
    native_ = std::make_unique<TNativeWindow>(*this, parent, b, Visible() && (parent != 0));
    dirty_ = {0, 0, Width(), Height()};
}

void TWinControl::DestroyNativeWindow() {
    // Inner windows go with this one on the server; forget them first.
    for (TControl* c : children_)
        if (c->IsWindowed()) static_cast<TWinControl*>(c)->DestroyNativeWindow();
    if (!native_) return;
    Application().DestroyWindow(handle_);
    native_.reset();
    handle_ = 0;
}

void TWinControl::NativeWindowLost() {
    for (TControl* c : children_)
        if (c->IsWindowed()) static_cast<TWinControl*>(c)->NativeWindowLost();
    if (!native_) return;
    native_->Lost();
    Application().DestroyWindow(handle_);
    native_.reset();
    handle_ = 0;
}

void TWinControl::SizedByHost(int deviceWidth, int deviceHeight) {
    const int width = static_cast<int>(std::lround(deviceWidth / scale_));
    const int height = static_cast<int>(std::lround(deviceHeight / scale_));
    // Runs OnResize like any other change of size.
    if (width != Width() || height != Height()) SetBounds(Left(), Top(), width, height);
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == Parent()) return;
    TControl::SetParent(parent);
    if (!native_) {
        if (parent && parent->HasNativeWindow()) Handle();
        return;
    }
    if (parent) {
        parentWindow_ = 0;
        const TRect b = ToDevice(BoundsRect(), scale_);
        native_->Reparent(static_cast<::Window>(parent->Handle()), b.Left, b.Top);
        native_->SetMapped(Visible());
    } else if (!parentWindow_) {
        // Without a parent the window waits off the screen.
        native_->SetMapped(false);
        native_->Reparent(0, 0, 0);
    }
}

void TWinControl::SetParentWindow(WindowId window) {
    parentWindow_ = window;
    if (window) {
        TControl::SetParent(nullptr);
        if (native_) {
            native_->Reparent(static_cast<::Window>(window), 0, 0);
            native_->SetMapped(Visible());
        }
    }
}

bool TWinControl::IsWindowOrDescendantOf(WindowId ancestor) const {
    if (ancestor == 0) return false;
    for (const TWinControl* w = this; w; w = w->Parent()) {
        if (w->handle_ == ancestor) return true;
        if (w->parentWindow_) return w->parentWindow_ == ancestor;
    }
    return false;
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
    if (native_) native_->MoveResize(ToDevice(parentWindow_ ? TRect{0, 0, Width(), Height()} : BoundsRect(), scale_));
    AddDirty({0, 0, Width(), Height()});
}

void TWinControl::SetVisible(bool visible) {
    if (visible == Visible()) return;
    TControl::SetVisible(visible);
    if (native_ && (Parent() || parentWindow_)) native_->SetMapped(visible);
    if (visible) AddDirty({0, 0, Width(), Height()});
}

void TWinControl::SetScale(double scale) {
    scale_ = scale > 0 ? scale : 1.0;
    for (TControl* c : children_)
        if (c->IsWindowed()) static_cast<TWinControl*>(c)->SetScale(scale_);
    if (native_) native_->MoveResize(ToDevice(parentWindow_ ? TRect{0, 0, Width(), Height()} : BoundsRect(), scale_));
    AddDirty({0, 0, Width(), Height()});
}

void TWinControl::BoundsChanged() {
    if (Width() == lastWidth_ && Height() == lastHeight_) return;
    lastWidth_ = Width();
    lastHeight_ = Height();
    if (OnResize) OnResize(this);
}

void TWinControl::AddDirty(const TRect& r) {
    const TRect clipped = r.Intersect({0, 0, Width(), Height()});
    if (!clipped.Empty()) dirty_ = dirty_.Union(clipped);
}

void TWinControl::PaintBackground(cairo_t* cr) {
    SetSourceColor(cr, Color);
    cairo_rectangle(cr, 0, 0, Width(), Height());
    cairo_fill(cr);
}

void TWinControl::PaintTree(cairo_t* cr, bool withWindowedChildren) {
    PaintBackground(cr);
    for (TControl* c : children_) {
        if (!c->Visible() || (c->IsWindowed() && !withWindowedChildren)) continue;
        cairo_save(cr);
        cairo_translate(cr, c->Left(), c->Top());
        cairo_rectangle(cr, 0, 0, c->Width(), c->Height());
        cairo_clip(cr);
        if (c->IsWindowed())
            static_cast<TWinControl*>(c)->PaintTree(cr, true);
        else
            c->Paint(cr);
        cairo_restore(cr);
    }
}

TSurface TWinControl::RenderImage() {
    const int w = static_cast<int>(std::lround(Width() * scale_)), h = static_cast<int>(std::lround(Height() * scale_));
    TSurface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(w, 1), std::max(h, 1)));
    cairo_t* cr = cairo_create(image.get());
    cairo_scale(cr, scale_, scale_);
    PaintTree(cr, true);
    cairo_destroy(cr);
    cairo_surface_flush(image.get());
    return image;
}

void TWinControl::FlushPaint() {
    if (!native_ || dirty_.Empty()) return;
    const TRect dirty = dirty_;
    dirty_ = {};
    cairo_t* cr = cairo_create(native_->BackBuffer());
    cairo_scale(cr, scale_, scale_);
    cairo_rectangle(cr, dirty.Left, dirty.Top, dirty.Width(), dirty.Height());
    cairo_clip(cr);
    PaintTree(cr, false);
    cairo_destroy(cr);
    native_->Present(ToDevice(dirty, scale_));
}

TControl* TWinControl::ControlAtPoint(int x, int y, bool includeDisabled) const {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
        TControl* c = *it;
        if (c->IsWindowed() || !c->Visible() || !c->WantsMouse() || (!c->Enabled && !includeDisabled)) continue;
        if (c->HotRect().Offset(c->Left(), c->Top()).Contains(x, y)) return c;
    }
    return nullptr;
}

TControl* TWinControl::EventTarget(int x, int y) const {
    if (TControl* c = Application().CaptureControl) return c;
    if (TControl* c = ControlAtPoint(x, y)) return c;
    return const_cast<TWinControl*>(this);
}

namespace {
// The point of window coordinates in `c`'s own coordinates.
TPoint Local(const TControl* c, const TWinControl* window, int x, int y) {
    if (c == window) return {x, y};
    int dx = 0, dy = 0;
    for (const TControl* p = c; p && p != window; p = p->Parent()) {
        dx += p->Left();
        dy += p->Top();
    }
    return {x - dx, y - dy};
}
}  // namespace

void TWinControl::TrackHeadlessPointer(int x, int y) const {
    // Without a window the panel's own coordinates stand for the screen's.
    if (!native_) Application().SetMouseScreenPos({x, y});
}

void TWinControl::DispatchMouseDown(TMouseButton b, TShiftState s, int x, int y) {
    TrackHeadlessPointer(x, y);
    TControl* target = EventTarget(x, y);
    if (!target->Enabled) return;
    // Only the left button captures by itself; other controls capture as they need.
    if (b == TMouseButton::Left && !Application().CaptureControl) Application().CaptureControl = target;
    const TPoint p = Local(target, this, x, y);
    target->MouseDown(b, s, p.X, p.Y);
}

void TWinControl::DispatchMouseMove(TShiftState s, int x, int y) {
    TrackHeadlessPointer(x, y);
    TControl* target = EventTarget(x, y);
    if (!Application().CaptureControl && target != hover_) {
        if (hover_) hover_->MouseLeave();
        hover_ = target;
        target->MouseEnter();
    }
    // Hints come from the control under the pointer, disabled ones included.
    TControl* over = Application().CaptureControl;
    if (!over) over = ControlAtPoint(x, y, true);
    Application().SetPointerOver(over ? over : this);
    if (native_) native_->SetCursor(target->Cursor);
    const TPoint p = Local(target, this, x, y);
    target->MouseMove(s, p.X, p.Y);
}

void TWinControl::DispatchMouseUp(TMouseButton b, TShiftState s, int x, int y) {
    TrackHeadlessPointer(x, y);
    TApplication& app = Application();
    TControl* target = EventTarget(x, y);
    const TPoint p = Local(target, this, x, y);
    target->MouseUp(b, s, p.X, p.Y);
    if (b == TMouseButton::Left && app.CaptureControl == target) app.CaptureControl = nullptr;
    // The context menu comes with the right button's release, over the control it opens on.
    if (b == TMouseButton::Right && !app.CaptureControl) {
        TControl* under = ControlAtPoint(x, y);
        if (!under) under = this;
        if (under->PopupMenu) under->PopupMenu->PopupAt(under, app.MouseScreenPos());
    }
}

void TWinControl::DispatchMouseWheel(TShiftState s, int delta, int x, int y) {
    if (Application().CaptureControl) return;
    if (TControl* c = ControlAtPoint(x, y)) c->MouseWheel(s, delta);
}

void TWinControl::DispatchMouseLeave() {
    if (Application().CaptureControl) return;
    if (hover_) hover_->MouseLeave();
    hover_ = nullptr;
    Application().SetPointerOver(nullptr);
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

void TToggleButton::Paint(cairo_t* cr) {
    if (Images.Count() == 0) {
        SetSourceColor(cr, down_ ? 0x404040 : 0x909090);
        cairo_rectangle(cr, 0.5, 0.5, Width() - 1, Height() - 1);
        cairo_stroke(cr);
        return;
    }
    // Larger images are centred on the button and cut to it.
    const int sx = std::max(0, (Images.ImageWidth() - Width()) / 2);
    const int sy = std::max(0, (Images.ImageHeight() - Height()) / 2);
    Images.DrawPart(cr, Scale(), down_ ? 1 : 0, sx, sy, Width(), Height(), 0, 0);
    if (light_ > 0) {
        cairo_set_source_rgba(cr, 1, 1, 1, 0.18 * light_);
        cairo_rectangle(cr, 0, 0, Width(), Height());
        cairo_fill(cr);
    }
}

void TToggleButton::MouseEnter() {
    Application().StopAnimating(this);
    light_ = 1;
    Invalidate();
}

void TToggleButton::MouseLeave() {
    if (ReleaseFade <= 0) {
        light_ = 0;
        Invalidate();
        return;
    }
    Application().Animate(this, [this] {
        light_ = std::max(0.0, light_ - 1.0 / ReleaseFade);
        Invalidate();
        return light_ > 0;
    });
}

void TToggleButton::MouseDown(TMouseButton b, TShiftState, int, int) { pressing_ = b == TMouseButton::Left; }

void TToggleButton::MouseUp(TMouseButton b, TShiftState, int x, int y) {
    const bool click = pressing_ && b == TMouseButton::Left && TRect{0, 0, Width(), Height()}.Contains(x, y);
    pressing_ = false;
    if (click) Click();
}

void TLabel::SetCaption(std::string caption) {
    if (caption_ == caption) return;
    caption_ = std::move(caption);
    // The label reaches to its parent's right edge: its text is measured only
    // when drawn, so an editor that is never shown never loads a font.
    const int width = Parent() ? std::max(0, Parent()->Width() - Left()) : 200;
    Invalidate();
    SetBounds(Left(), Top(), width, Font.PixelHeight + 4);
    Invalidate();
}

void TLabel::Paint(cairo_t* cr) { DrawText(cr, caption_, Font, 0, 0); }

void TWallpaperPanel::PaintBackground(cairo_t* cr) {
    TWinControl::PaintBackground(cr);
    if (Wallpaper) Wallpaper->Draw(cr, Scale(), 0, 0);
}

void TWallpaperPanel::MouseUp(TMouseButton b, TShiftState, int x, int y) {
    if (b == TMouseButton::Left && OnClick && TRect{0, 0, Width(), Height()}.Contains(x, y)) OnClick(this);
}

void TProgressBar::SetProgress(int32_t max, int32_t position) {
    if (max == Max && position == Position) return;
    Max = max;
    Position = position;
    Invalidate();
}

void TProgressBar::Paint(cairo_t* cr) {
    SetSourceColor(cr, 0x302C2A);
    cairo_rectangle(cr, 0, 0, Width(), Height());
    cairo_fill(cr);
    const double f = Max > 0 ? std::clamp(static_cast<double>(Position) / Max, 0.0, 1.0) : 0.0;
    SetSourceColor(cr, 0x5FC8E8);
    cairo_rectangle(cr, 1, 1, (Width() - 2) * f, Height() - 2);
    cairo_fill(cr);
    SetSourceColor(cr, 0x8A8381);
    cairo_rectangle(cr, 0.5, 0.5, Width() - 1, Height() - 1);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);
}

}  // namespace norv::tk
