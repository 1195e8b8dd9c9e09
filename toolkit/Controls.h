// The toolkit's control model: components with owners, controls with parents,
// windowed controls with window handles. It works without a display: windows
// then get handles of their own making, and everything else behaves the same,
// so the editor's logic runs in render tools and tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace norv::tk {

// An X11 window id; made up by the toolkit when there is no display.
using WindowId = uint64_t;

class TControl;
class TWinControl;
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
    virtual void SetBounds(int left, int top, int width, int height);
    void SetHeight(int height) { SetBounds(left_, top_, width_, height); }

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool visible);
    bool Enabled = true;

    // Code page 936 bytes, "short|long".
    std::string Hint;
    bool ShowHint = true;

    virtual bool IsWindowed() const { return false; }

    // Asks for a repaint; counted so that tests can see it happen.
    void Invalidate() { ++repaints_; }
    int RepaintCount() const { return repaints_; }

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

    // A window that is not the toolkit's (the host's): the control becomes its child.
    WindowId ParentWindow() const { return parentWindow_; }
    void SetParentWindow(WindowId window);

    // True when this control's window is `ancestor` or lies inside it.
    bool IsWindowOrDescendantOf(WindowId ancestor) const;

    // Messages posted to this control's window, handled on the GUI thread.
    virtual void HandleMessage(const TMessage&) {}

    TNotifyEvent OnResize;

protected:
    void BoundsChanged() override;

private:
    friend class TControl;
    std::vector<TControl*> children_;
    WindowId handle_ = 0;
    WindowId parentWindow_ = 0;
    int lastWidth_ = -1, lastHeight_ = -1;
};

// A top-level window.
class TForm : public TWinControl {
public:
    explicit TForm(TComponent* owner) : TWinControl(owner) {}
};

// A two-state button: a click flips Down, then runs OnClick.
class TToggleButton : public TControl {
public:
    explicit TToggleButton(TComponent* owner) : TControl(owner) {}
    bool Down() const { return down_; }
    void SetDown(bool down);
    void Click();
    TNotifyEvent OnClick;

private:
    bool down_ = false;
};

class TLabel : public TControl {
public:
    explicit TLabel(TComponent* owner) : TControl(owner) {}
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

private:
    std::string caption_;  // code page 936
};

// A windowed panel drawn with a wallpaper image; clips its children.
class TWallpaperPanel : public TWinControl {
public:
    explicit TWallpaperPanel(TComponent* owner) : TWinControl(owner) {}
    TNotifyEvent OnClick;
    uint32_t Color = 0;
};

class TProgressBar : public TControl {
public:
    explicit TProgressBar(TComponent* owner) : TControl(owner) {}
    int32_t Max = 100;
    int32_t Position = 0;
};

}  // namespace norv::tk
