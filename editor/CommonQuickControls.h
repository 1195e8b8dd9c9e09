// Knobs: the selector value model and the line knob, turned by dragging with
// the cursor hidden, by the mouse wheel, by the extra mouse buttons, or reset
// to a default. GUI thread only.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/Controls.h"

namespace norv {

inline constexpr int32_t kNoDefault = INT32_MAX;

// An integer value in Min..Max with an optional default. Setting Value from
// code never fires OnChange; user gestures go through SetValueEx(v, true).
class TCustomSelector : public tk::TControl {
public:
    explicit TCustomSelector(tk::TComponent* owner) : tk::TControl(owner) {}

    int32_t Min() const { return min_; }
    int32_t Max() const { return max_; }
    int32_t Value() const { return value_; }
    int32_t DefaultValue() const { return default_; }
    virtual void SetMin(int32_t v) { min_ = v; }
    virtual void SetMax(int32_t v) { max_ = v; }
    void SetValue(int32_t v) { SetValueEx(v, false); }
    virtual void SetDefaultValue(int32_t v) { default_ = v; }

    virtual void SetValueEx(int32_t v, bool notify) = 0;
    virtual void ResetToDefault();

    tk::TNotifyEvent OnChange;
    tk::TNotifyEvent OnRelease;

protected:
    int32_t min_ = 0;
    int32_t max_ = 0;
    int32_t value_ = 0;
    int32_t default_ = kNoDefault;
};

enum TWheelOption : uint32_t {
    wwAutoSize = 1u << 0,
    wwShadow = 1u << 1,
    wwBorder = 1u << 2,
    wwBigLine = 1u << 3,
    wwPause = 1u << 4,
    wwNoPress = 1u << 5,
    wwIncMode = 1u << 6,
    wwNoMouseRelocation = 1u << 7,
    wwNeedRelease = 1u << 8,
    wwNoVisSmoothing = 1u << 9,
    wwEndless = 1u << 10,
    wwCentered = 1u << 11,
    wwRight = 1u << 12,
    wwKnobBeforeMask = 1u << 13,
};

class TCustomWheel : public TCustomSelector {
public:
    explicit TCustomWheel(tk::TComponent* owner);
    ~TCustomWheel() override;

    uint32_t Options() const { return options_; }
    void SetOptions(uint32_t options);
    void SetDefaultValue(int32_t v) override;
    void SetValueEx(int32_t v, bool notify) override;

    int32_t MoveSpeed = 32;
    uint16_t SlowMotionDiv = 4;
    int32_t HotSideX = 0;
    int32_t HotSideY = 0;
    tk::TMouseButton MouseButton = tk::TMouseButton::Left;
    TCustomWheel* LinkedWheel = nullptr;
    const std::vector<int32_t>& PauseValues() const { return pauseValues_; }

    // The drag: starts at the value, then d pixels at a time (positive = up).
    void BeginDrag();
    void MoveBy(int32_t d, tk::TShiftState shift);
    // Wheel and auto-repeat steps.
    void StepBy(int32_t n);
    virtual int StepInterval(bool /*first*/) const { return 25; }
    int StepDir() const { return stepDir_; }

    bool Pressed() const { return pressed_; }
    virtual void SetPressed(bool pressed);

    tk::TRect HotRect() const override;
    void MouseDown(tk::TMouseButton b, tk::TShiftState s, int x, int y) override;
    void MouseMove(tk::TShiftState s, int x, int y) override;
    void MouseUp(tk::TMouseButton b, tk::TShiftState s, int x, int y) override;
    bool MouseWheel(tk::TShiftState s, int delta) override;
    void MouseLeave() override;

protected:
    virtual void ValueChanged() { Invalidate(); }

private:
    void UpdatePauseValues();
    int64_t Pos(int32_t v) const;
    int32_t ClampOrWrap(int64_t c) const;
    tk::TShiftState SlowKeys() const;
    void EndGesture();

    uint32_t options_ = wwAutoSize;
    std::vector<int32_t> pauseValues_;
    int64_t dragPos_ = 0;
    bool atPause_ = false;
    bool pressed_ = false;
    int stepDir_ = 0;
};

// A knob drawn as one line from its centre.
class TLineWheel : public TCustomWheel {
public:
    explicit TLineWheel(tk::TComponent* owner) : TCustomWheel(owner) {}
    float StartOffset = 0;
    uint32_t LineColor = 0;
    uint32_t LinePressedColor = 0;
    int32_t LineThickness = 2;  // stored only: the line is always 1.6 pixels wide
    std::function<void(TLineWheel* sender, uint32_t& color)> OnAdjustColor;

    // The colour the line is drawn in now.
    uint32_t CurrentLineColor();
    // Where the line ends, in the control's coordinates.
    void LineEnds(double& x0, double& y0, double& x1, double& y1) const;
    void Paint(cairo_t* cr) override;
};

}  // namespace norv
