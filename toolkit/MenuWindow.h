// The window of an open popup menu: drawn with the menu look, it takes the
// pointer and the keyboard while open, highlights the item under the mouse,
// runs the item a click lets go on and closes on a click elsewhere.
// Internal to the toolkit. GUI thread only.
#pragma once

#include <X11/Xlib.h>

#include <vector>

#include "toolkit/Geometry.h"
#include "toolkit/NativeWindow.h"

namespace norv::tk {

class TPopupMenu;

// Item heights in logical pixels; hidden items take no room.
inline constexpr int kMenuItemHeight = 20;
inline constexpr int kMenuSeparatorHeight = 7;
inline constexpr int kMenuPadding = 2;

// Each item's rectangle inside a menu `width` wide (empty for hidden items).
std::vector<TRect> MenuItemRects(const TPopupMenu& menu, int width);

class TMenuWindow final : private INativeEventTarget {
public:
    TMenuWindow(TPopupMenu& menu, TPoint screen, double scale);
    ~TMenuWindow();
    TMenuWindow(const TMenuWindow&) = delete;
    TMenuWindow& operator=(const TMenuWindow&) = delete;

    void Repaint();

private:
    void HandleNativeEvent(const XEvent& e) override;
    int ItemAt(int x, int y) const;
    void Paint();

    TPopupMenu& menu_;
    ::Display* display_;
    ::Window window_ = 0;
    double scale_;
    int width_ = 0, height_ = 0;  // logical
    std::vector<TRect> rects_;
    bool movedSinceOpen_ = false;
};

}  // namespace norv::tk
