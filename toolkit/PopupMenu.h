// Popup menus: items with caption, tag and states, an event before opening,
// the control the menu was opened on, and keyboard navigation while open.
// With a display an open menu is a window of its own that the mouse and the
// keys drive; without one it is the same model, driven by HandleKey.
// GUI thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Controls.h"

namespace norv::tk {

class TPopupMenu;
class TMenuWindow;

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner) : TComponent(owner) {}
    std::string Caption;  // code page 936 or UTF-8; "-" is a separator
    std::string Hint;
    bool Visible = true;
    bool Enabled = true;
    bool Checked = false;
    bool Default = false;
    std::function<void(TMenuItem* sender)> OnClick;
    TPopupMenu* Menu = nullptr;

    bool IsSeparator() const { return Caption == "-"; }
};

enum class TMenuKey { Up, Down, Left, Right, Enter, Escape };

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;

    // The root item's tag (the menu's own Tag) and its items.
    std::vector<TMenuItem*> Items;
    TMenuItem* AddItem(std::string caption, intptr_t tag = 0);
    // Deletes items from the end until `keep` remain.
    void TrimItems(size_t keep);

    TControl* PopupComponent = nullptr;
    std::function<void(TPopupMenu* sender)> OnPopup;
    bool AutoHotkeys = true;
    bool AutoLineReduction = true;
    // The menu is at least this wide (logical pixels); 0: as its items need.
    int MinWidth = 0;

    // Opens the menu for `component` at the mouse: runs OnPopup, then it is the open menu.
    void Popup(TControl* component);
    // The same with the top-left corner at `screen` (device pixels).
    void PopupAt(TControl* component, TPoint screen);
    void Close();
    bool IsOpen() const;
    int Highlighted() const { return highlighted_; }
    void SetHighlighted(int i);

    // A key press for the open menu: arrows move the highlight over the
    // selectable items, Enter runs the highlighted item, Escape closes.
    void HandleKey(TMenuKey key);
    // Runs item i when it can be chosen; the menu closes first.
    void Choose(int i);
    bool Selectable(int i) const;

    // The menu open at the moment, if any.
    static TPopupMenu* OpenMenu();

    // A control goes away: menus opened on it forget it and close, so a
    // later choice cannot reach it. A menu may outlive the control it was
    // opened on (one menu serves every editor of the process).
    static void ForgetControl(const TControl* control);

private:
    int highlighted_ = -1;
    TPopupMenu* nextMenu_;
    std::unique_ptr<TMenuWindow> window_;
};

}  // namespace norv::tk
