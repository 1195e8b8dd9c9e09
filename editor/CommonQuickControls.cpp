#include "editor/CommonQuickControls.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "toolkit/Application.h"
#include "toolkit/Color.h"
#include "toolkit/CursorRelocation.h"

namespace norv {
namespace {

// One gesture at a time for every wheel of the process.
struct TWheelGesture {
    int32_t PressValue = kNoDefault;
    bool NoPause = false;
    int Timer = 0;
    TCustomWheel* Owner = nullptr;
    tk::TMouseButton Button = tk::TMouseButton::Left;
};
TWheelGesture gGesture;

uint64_t WindowOf(tk::TControl* c) {
    while (c && !c->IsWindowed()) c = c->Parent();
    auto* w = static_cast<tk::TWinControl*>(c);
    return w && w->HasNativeWindow() ? w->Handle() : 0;
}

}  // namespace

void TCustomSelector::ResetToDefault() {
    if (default_ == kNoDefault) return;
    SetValueEx(default_, true);
    if (OnRelease) OnRelease(this);
}

TCustomWheel::TCustomWheel(tk::TComponent* owner) : TCustomSelector(owner) {
    max_ = 65536;
    SetBounds(0, 0, 29, 29);
}

TCustomWheel::~TCustomWheel() {
    // The cursor must come back even when a knob goes away mid-drag.
    if (pressed_ || gGesture.Owner == this) EndGesture();
    if (LinkedWheel) LinkedWheel = nullptr;
}

void TCustomWheel::SetOptions(uint32_t options) {
    options_ = options;
    UpdatePauseValues();
}

void TCustomWheel::SetDefaultValue(int32_t v) {
    TCustomSelector::SetDefaultValue(v);
    UpdatePauseValues();
}

void TCustomWheel::UpdatePauseValues() {
    pauseValues_.clear();
    if ((options_ & wwPause) && default_ != kNoDefault) pauseValues_.push_back(default_);
}

void TCustomWheel::SetValueEx(int32_t v, bool notify) {
    v = std::clamp(v, min_, std::max(min_, max_));
    if (v == value_) return;
    value_ = v;
    ValueChanged();
    if (notify && OnChange) OnChange(this);
}

int64_t TCustomWheel::Pos(int32_t v) const {
    // 32-bit product, widened afterwards.
    int32_t u = 16 * SlowMotionDiv;
    return static_cast<int64_t>(static_cast<int32_t>(static_cast<uint32_t>(u) * static_cast<uint32_t>(v - min_)));
}

int32_t TCustomWheel::ClampOrWrap(int64_t c) const {
    if (options_ & wwEndless) {
        int64_t r = static_cast<int64_t>(max_) - min_ + 1;
        return static_cast<int32_t>(min_ + ((c - min_ + 65536 * r) % r));
    }
    return static_cast<int32_t>(std::clamp<int64_t>(c, min_, max_));
}

tk::TShiftState TCustomWheel::SlowKeys() const {
    return MouseButton == tk::TMouseButton::Left ? (tk::ssCtrl | tk::ssRight) : (tk::ssCtrl | tk::ssLeft);
}

void TCustomWheel::BeginDrag() {
    const int64_t w = 20LL * MoveSpeed * SlowMotionDiv;
    dragPos_ = Pos(value_);
    atPause_ = false;
    if (gGesture.NoPause) return;
    for (int32_t u : pauseValues_) {
        if (value_ >= u) {
            dragPos_ += w;
            if (value_ == u) atPause_ = true;
        }
    }
}

void TCustomWheel::MoveBy(int32_t d, tk::TShiftState shift) {
    if (d == 0) return;
    const int64_t w = 20LL * MoveSpeed * SlowMotionDiv;
    const int64_t unit = 16LL * SlowMotionDiv;
    int64_t delta = static_cast<int64_t>(d) * MoveSpeed;
    if (!(shift & SlowKeys())) delta *= SlowMotionDiv;
    dragPos_ += delta;
    if (atPause_) {
        if (delta < 0) dragPos_ -= w;
        atPause_ = false;
    }
    int64_t p = dragPos_;
    if (!gGesture.NoPause) {
        for (int32_t u : pauseValues_) {
            if (p < Pos(u) + w) {
                if (p >= Pos(u)) p = Pos(u);
                break;
            }
            p -= w;
        }
    }
    SetValueEx(ClampOrWrap(p / unit + min_), true);
}

void TCustomWheel::StepBy(int32_t n) {
    uint32_t product = static_cast<uint32_t>(std::abs(static_cast<int64_t>(n))) * static_cast<uint32_t>(MoveSpeed);
    int64_t step = std::max<int64_t>(product / 16, 1);
    int64_t sign = n < 0 ? -1 : (n > 0 ? 1 : 0);
    int64_t v = value_ + step * sign;
    auto sgn = [](int64_t x) { return (x > 0) - (x < 0); };
    for (int32_t u : pauseValues_)
        if (sgn(value_ - u) == -sgn(v - u)) v = u;
    SetValueEx(ClampOrWrap(v), true);
}

void TCustomWheel::SetPressed(bool pressed) {
    if (pressed_ == pressed) return;
    pressed_ = pressed;
    Invalidate();
}

tk::TRect TCustomWheel::HotRect() const { return {-HotSideX, -HotSideY, Width() + HotSideX, Height() + HotSideY}; }

void TCustomWheel::MouseDown(tk::TMouseButton b, tk::TShiftState s, int, int) {
    using tk::TMouseButton;
    tk::TApplication& app = tk::Application();
    if (b == TMouseButton::Right && PopupMenu) return;  // the menu opens on the context-menu request
    if (b == TMouseButton::Middle || ((s & tk::ssAlt) && default_ != kNoDefault)) {
        ResetToDefault();
        EndGesture();
        if (app.CaptureControl == this) app.CaptureControl = nullptr;
        return;
    }
    if (gGesture.Owner && gGesture.Owner != this) return;  // one gesture at a time
    if (b != TMouseButton::Left) app.CaptureControl = this;
    gGesture.Owner = this;
    gGesture.Button = b;
    gGesture.NoPause = (s & (tk::ssShift | tk::ssCtrl)) != 0;
    gGesture.PressValue = value_;
    SetPressed(true);
    if (b == TMouseButton::X1) stepDir_ = -1;
    if (b == TMouseButton::X2) stepDir_ = +1;
    tk::SetRelocationWindow(WindowOf(this));
    tk::SharedCursorRelocation().Begin(app.MouseScreenPos());
    if (stepDir_ != 0) {
        gGesture.Timer = app.SetTimer(StepInterval(true), [this] {
            StepBy(stepDir_);
            tk::Application().ChangeTimer(gGesture.Timer, StepInterval(false));
        });
        StepBy(stepDir_);
    } else {
        BeginDrag();
        if (LinkedWheel) LinkedWheel->BeginDrag();
    }
}

void TCustomWheel::MouseMove(tk::TShiftState s, int, int y) {
    tk::TApplication& app = tk::Application();
    if (app.CaptureControl == this && gGesture.Owner == this) {
        if (stepDir_ != 0) return;
        int dx = 0, dy = 0;
        tk::SharedCursorRelocation().Delta(dx, dy);
        MoveBy(dy, s);
        if (LinkedWheel) LinkedWheel->MoveBy(-dx, s);
        return;
    }
    if (app.CaptureControl || !(options_ & wwIncMode)) return;
    const tk::TRect hot = HotRect();
    stepDir_ = y < hot.Top + 4 ? +1 : (y >= hot.Bottom - 4 ? -1 : 0);
    Cursor = stepDir_ > 0 ? tk::TCursor::SizeUp : stepDir_ < 0 ? tk::TCursor::SizeDown : tk::TCursor::Default;
}

void TCustomWheel::MouseUp(tk::TMouseButton b, tk::TShiftState, int, int) {
    // Another button let go mid-drag (the slow-motion one) ends nothing.
    if (gGesture.Owner == this && b != gGesture.Button) return;
    EndGesture();
}

void TCustomWheel::EndGesture() {
    tk::TApplication& app = tk::Application();
    if (gGesture.Owner == this || gGesture.Owner == nullptr) tk::SharedCursorRelocation().End();
    if (app.CaptureControl == this) app.CaptureControl = nullptr;
    if (stepDir_ != 0) {
        if (gGesture.Timer) app.KillTimer(gGesture.Timer);
        gGesture.Timer = 0;
        stepDir_ = 0;
    }
    if (gGesture.Owner == this) {
        if (gGesture.PressValue != kNoDefault) {
            const bool changed = value_ != gGesture.PressValue;
            gGesture.PressValue = kNoDefault;
            if (OnRelease && (changed || (options_ & wwNeedRelease))) OnRelease(this);
        }
        gGesture.Owner = nullptr;
    }
    SetPressed(false);
}

void TCustomWheel::MouseLeave() {
    // An armed step zone is left with the mouse.
    if (pressed_ || !(options_ & wwIncMode)) return;
    stepDir_ = 0;
    Cursor = tk::TCursor::Default;
}

bool TCustomWheel::MouseWheel(tk::TShiftState s, int delta) {
    if (tk::Application().CaptureControl) return false;
    int32_t n = delta < 0 ? -8 : 8;
    if (s & tk::ssCtrl)
        n /= 2;
    else if (s & tk::ssAlt)
        n *= 2;
    StepBy(n);
    if (OnRelease) OnRelease(this);
    return true;
}

uint32_t TLineWheel::CurrentLineColor() {
    uint32_t color = Pressed() ? LinePressedColor : LineColor;
    if (OnAdjustColor) OnAdjustColor(this, color);
    return color;
}

void TLineWheel::LineEnds(double& x0, double& y0, double& x1, double& y1) const {
    const double range = static_cast<double>(Max()) - Min();
    const double f = range != 0 ? (static_cast<double>(Value()) - Min()) / range : 0.0;
    const double a = 5 * std::numbers::pi / 4 - f * 3 * std::numbers::pi / 2;
    const double cx = (Width() - 1) * 0.5, cy = (Height() - 1) * 0.5;
    const double rx = cx + 1, ry = cy + 1;
    x1 = cx + rx * std::cos(a);
    y1 = cy - ry * std::sin(a);
    x0 = cx + rx * std::cos(a) * StartOffset;
    y0 = cy - ry * std::sin(a) * StartOffset;
}

void TLineWheel::Paint(cairo_t* cr) {
    double x0, y0, x1, y1;
    LineEnds(x0, y0, x1, y1);
    // Pixel centres sit at .5 in cairo's space.
    tk::SetSourceColor(cr, CurrentLineColor());
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_GOOD);
    cairo_set_line_width(cr, 1.6);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_move_to(cr, x0 + 0.5, y0 + 0.5);
    cairo_line_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_stroke(cr);
}

}  // namespace norv
