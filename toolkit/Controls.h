// The toolkit's control model: components with owners, controls with parents,
// windowed controls with windows. With a display each windowed control has an
// X window of its own and the windowless controls on it paint into its double
// buffer; without one, windows get handles of the toolkit's own making and
// everything else behaves the same, so the editor's logic runs in render tools
// and tests, and it still draws into off-screen images. GUI thread only.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Geometry.h"
#include "toolkit/Text.h"

namespace norv::tk {

// An X11 window id; made up by the toolkit when there is no display.
using WindowId = uint64_t;

class TControl;
class TWinControl;
class TPopupMenu;
class TNativeWindow;
using TNotifyEvent = std::function<void(TControl* sender)>;

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const std::vector<TComponent*>& Components() const { return owned_; }

    std::string Name;
    intptr_t Tag = 0;

private:
    TComponent* owner_;
    std::vector<TComponent*> owned_;
};

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* parent);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    virtual void SetBounds(int left, int top, int width, int height);
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    bool Enabled = true;

    // Code page 936 bytes, "short|long".
    std::string Hint;
    bool ShowHint = true;
    TCursor Cursor = TCursor::Default;
    // Opened by a right-click on the control.
    TPopupMenu* PopupMenu = nullptr;

    virtual bool IsWindowed() const { return false; }
    // Device pixels per logical pixel of the window the control is on.
    virtual double Scale() const;

    // Asks for a repaint of the whole control or part of it (own coordinates).
    void Invalidate();
    void InvalidateRect(const TRect& r);
    int RepaintCount() const { return repaints_; }

    // Draws the control with its top-left at 0, 0, in logical pixels; the
    // parent's background is already there.
    virtual void Paint(cairo_t*) {}
    // Where the mouse reaches the control, in its own coordinates.
    virtual TRect HotRect() const { return {0, 0, width_, height_}; }
    // Controls that only show something let the mouse through to what lies under them.
    virtual bool WantsMouse() const { return true; }

    // Mouse input in the control's own coordinates.
    virtual void MouseDown(TMouseButton, TShiftState, int, int) {}
    virtual void MouseMove(TShiftState, int, int) {}
    virtual void MouseUp(TMouseButton, TShiftState, int, int) {}
    // Returns true when the wheel turn was used. delta > 0: away from the user.
    virtual bool MouseWheel(TShiftState, int) { return false; }
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}

    // The point `p` of this control on the screen, in device pixels.
    TPoint ClientToScreen(TPoint p) const;
    // The font-and-colour record of controls that draw text.
    TFont Font;

protected:
    virtual void BoundsChanged() {}

private:
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    int repaints_ = 0;
};

// A posted window message.
struct TMessage {
    WindowId Window;
    uint32_t Msg;
    intptr_t WParam;
    intptr_t LParam;
};

class TWinControl : public TControl {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    bool IsWindowed() const override { return true; }
    const std::vector<TControl*>& Controls() const { return children_; }

    // The window, created on first use.
    WindowId Handle();
    bool HandleAllocated() const { return handle_ != 0; }
    // True when the window is a real X window.
    bool HasNativeWindow() const { return native_ != nullptr; }

    // A window that is not the toolkit's (the host's): the control becomes its child.
    WindowId ParentWindow() const { return parentWindow_; }
    void SetParentWindow(WindowId window);

    // True when this control's window is `ancestor` or lies inside it.
    bool IsWindowOrDescendantOf(WindowId ancestor) const;

    // Messages posted to this control's window, handled on the GUI thread.
    virtual void HandleMessage(const TMessage&) {}

    void SetParent(TWinControl* parent) override;
    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool visible) override;
    double Scale() const override { return scale_; }
    // Sets the scale of this window and every window inside it.
    void SetScale(double scale);

    // Background colour; a wallpaper panel draws its picture over it.
    uint32_t Color = 0;
    virtual void PaintBackground(cairo_t* cr);

    // Everything on this control into `cr` (logical pixels, top-left at 0, 0),
    // the windowed children too when asked.
    void PaintTree(cairo_t* cr, bool withWindowedChildren);
    // An off-screen picture of the control at its scale.
    TSurface RenderImage();

    // Repaints what was invalidated and shows it in the window.
    void FlushPaint();
    void AddDirty(const TRect& r);

    // The visible, enabled windowless child whose hot rectangle holds the
    // point; the later child wins where they overlap. Disabled ones too when asked.
    TControl* ControlAtPoint(int x, int y, bool includeDisabled = false) const;

    // Mouse input from the platform, in this window's logical coordinates.
    void DispatchMouseDown(TMouseButton b, TShiftState s, int x, int y);
    void DispatchMouseMove(TShiftState s, int x, int y);
    void DispatchMouseUp(TMouseButton b, TShiftState s, int x, int y);
    void DispatchMouseWheel(TShiftState s, int delta, int x, int y);
    void DispatchMouseLeave();

    TNotifyEvent OnResize;

    // The platform window went away with a foreign parent.
    void NativeWindowLost();
    // The platform window was given this size (device pixels) from outside.
    void SizedByHost(int deviceWidth, int deviceHeight);
    TNativeWindow* Native() const { return native_.get(); }

protected:
    void BoundsChanged() override;

private:
    friend class TControl;
    void CreateNativeWindow();
    void DestroyNativeWindow();
    TControl* EventTarget(int x, int y) const;
    void TrackHeadlessPointer(int x, int y) const;

    std::vector<TControl*> children_;
    WindowId handle_ = 0;
    WindowId parentWindow_ = 0;
    std::unique_ptr<TNativeWindow> native_;
    TRect dirty_;
    double scale_ = 1.0;
    int lastWidth_ = -1, lastHeight_ = -1;
    TControl* hover_ = nullptr;
};

// A top-level window.
class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner) : TWinControl(owner) {}
};

// A two-state button drawn from a bitmap list (image 0 up, 1 down): a click
// flips Down, then runs OnClick.
class TToggleButton : public TControl {
public:
    explicit TToggleButton(TComponent* owner) : TControl(owner) {}
    bool Down() const { return down_; }
    void SetDown(bool down);
    void Click();
    TNotifyEvent OnClick;
    TBitmapList Images;
    // Ticks of the animation timer over which the hover light fades when the mouse leaves (0: at once).
    int ReleaseFade = 0;

    void Paint(cairo_t* cr) override;
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override;
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override;
    void MouseEnter() override;
    void MouseLeave() override;
    double HoverLight() const { return light_; }

private:
    bool down_ = false;
    bool pressing_ = false;
    double light_ = 0;
};

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner) : TControl(owner) {}
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    void Paint(cairo_t* cr) override;
    bool WantsMouse() const override { return false; }

private:
    std::string caption_;  // code page 936 or UTF-8
};

// A windowed panel drawn with a wallpaper picture; clips its children.
class TWallpaperPanel : public TWinControl {
public:
    explicit TWallpaperPanel(TComponent* owner) : TWinControl(owner) {}
    TNotifyEvent OnClick;
    std::shared_ptr<const TBitmap> Wallpaper;
    void PaintBackground(cairo_t* cr) override;
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override;
};

class TProgressBar : public TControl {
public:
    explicit TProgressBar(TComponent* owner) : TControl(owner) {}
    int32_t Max = 100;
    int32_t Position = 0;
    void SetProgress(int32_t max, int32_t position);
    void Paint(cairo_t* cr) override;
};

}  // namespace norv::tk
