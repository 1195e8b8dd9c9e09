#include "editor/CommonQuickControls.h"

#include <algorithm>
#include <cstdlib>

namespace norv {

void TCustomSelector::ResetToDefault() {
    if (default_ == kNoDefault) return;
    SetValueEx(default_, true);
    if (OnRelease) OnRelease(this);
}

TCustomWheel::TCustomWheel(tk::TComponent* owner) : TCustomSelector(owner) {
    max_ = 65536;
    SetBounds(0, 0, 29, 29);
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

void TCustomWheel::BeginDrag(bool noPause) {
    noPause_ = noPause;
    const int64_t w = 20LL * MoveSpeed * SlowMotionDiv;
    dragPos_ = Pos(value_);
    atPause_ = false;
    if (noPause_) return;
    for (int32_t u : pauseValues_) {
        if (value_ >= u) {
            dragPos_ += w;
            if (value_ == u) atPause_ = true;
        }
    }
}

void TCustomWheel::MoveBy(int32_t d, bool slow) {
    if (d == 0) return;
    const int64_t w = 20LL * MoveSpeed * SlowMotionDiv;
    const int64_t unit = 16LL * SlowMotionDiv;
    int64_t delta = static_cast<int64_t>(d) * MoveSpeed;
    if (!slow) delta *= SlowMotionDiv;
    dragPos_ += delta;
    if (atPause_) {
        if (delta < 0) dragPos_ -= w;
        atPause_ = false;
    }
    int64_t p = dragPos_;
    if (!noPause_) {
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

uint32_t TLineWheel::CurrentLineColor() {
    uint32_t color = Pressed() ? LinePressedColor : LineColor;
    if (OnAdjustColor) OnAdjustColor(this, color);
    return color;
}

}  // namespace norv
