#include "editor/CommonQuickControls2.h"

#include <algorithm>
#include <memory>

#include "toolkit/Application.h"
#include "toolkit/PopupMenu.h"

namespace norv {

TQuickCombo::TQuickCombo(tk::TComponent* owner) : TCustomSelector(owner) { ItemsChanged(); }

void TQuickCombo::SetItems(std::vector<std::string> items) {
    items_ = std::move(items);
    ItemsChanged();
}

void TQuickCombo::AddItem(std::string item) {
    items_.push_back(std::move(item));
    ItemsChanged();
}

void TQuickCombo::InsertItem(size_t index, std::string item) {
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(std::min(index, items_.size())), std::move(item));
    ItemsChanged();
}

void TQuickCombo::ClearItems() {
    items_.clear();
    ItemsChanged();
}

void TQuickCombo::ItemsChanged() {
    int32_t selectable = 0;
    for (const auto& s : items_)
        if (!IsSeparator(s)) ++selectable;
    max_ = selectable - 1;
    SetValueEx(value_, false);
}

int32_t TQuickCombo::EntryIndexOfValue(int32_t v) const {
    int32_t seen = 0;
    for (size_t i = 0; i < items_.size(); ++i) {
        if (IsSeparator(items_[i])) continue;
        if (seen == v) return static_cast<int32_t>(i);
        ++seen;
    }
    return 0;
}

int32_t TQuickCombo::ValueOfEntryIndex(int32_t i) const {
    int32_t separators = 0;
    for (int32_t k = 0; k <= i && k < static_cast<int32_t>(items_.size()); ++k)
        if (IsSeparator(items_[static_cast<size_t>(k)])) ++separators;
    return i - separators;
}

void TQuickCombo::SetValueEx(int32_t v, bool notify) {
    v = std::max(v, 0);
    std::string caption;
    if (!items_.empty()) {
        const std::string& text = items_[static_cast<size_t>(v > max_ ? 0 : EntryIndexOfValue(v))];
        for (char c : text) {
            caption += c;
            if (c == '&') caption += '&';
        }
    }
    if (caption != caption_) {
        caption_ = std::move(caption);
        Invalidate();
    }
    if (v != value_) {
        value_ = v;
        if (notify && OnChange) OnChange(this);
    }
}

void TQuickCombo::Wheel(int s) {
    if (max_ < 0) return;
    SetValueEx((value_ + max_ - s + 1) % (max_ + 1), true);
}

void TQuickCombo::ExtraButton(bool x1) {
    int32_t e = max_ + 1;
    if (e <= 0) return;
    int32_t v = x1 ? value_ + 1 : value_ - 1;
    SetValueEx(((v % e) + e) % e, true);
}

namespace {

// One list menu serves every selector of the process.
tk::TPopupMenu& SharedListMenu() {
    static std::unique_ptr<tk::TPopupMenu> menu = [] {
        auto m = std::make_unique<tk::TPopupMenu>(nullptr);
        m->AutoHotkeys = false;
        m->AutoLineReduction = false;
        return m;
    }();
    return *menu;
}

}  // namespace

void TQuickCombo::DropDown() {
    tk::TPopupMenu& menu = SharedListMenu();
    menu.TrimItems(0);
    const int32_t selected = SelectedEntryIndex();
    for (size_t i = 0; i < items_.size(); ++i) {
        tk::TMenuItem* item = menu.AddItem(IsSeparator(items_[i]) ? "-" : items_[i], static_cast<intptr_t>(i));
        if (i < Hints.size()) item->Hint = Hints[i];
        item->Default = max_ >= 0 && static_cast<int32_t>(i) == selected;
        item->OnClick = [this](tk::TMenuItem* chosen) { ChooseEntry(static_cast<int32_t>(chosen->Tag)); };
    }
    menu.MinWidth = Width();
    menu.OnPopup = nullptr;
    menu.PopupAt(this, ClientToScreen({0, Height()}));
}

void TQuickCombo::Paint(cairo_t* cr) {
    if (Images.Count() > 0) {
        const bool lit = hot_ || (tk::TPopupMenu::OpenMenu() == &SharedListMenu() && SharedListMenu().PopupComponent == this);
        Images.Draw(cr, Scale(), lit && Images.Count() > 1 ? 1 : 0, 0, 0, Width(), Height());
    }
    tk::DrawTextCentredV(cr, tk::StripMnemonics(caption_), Font, Spacing, 0, Height());
}

void TQuickCombo::MouseDown(tk::TMouseButton b, tk::TShiftState, int, int) {
    using tk::TMouseButton;
    if (b == TMouseButton::Left) {
        // The list takes the mouse from here on.
        if (tk::Application().CaptureControl == this) tk::Application().CaptureControl = nullptr;
        DropDown();
    } else if (b == TMouseButton::X1 || b == TMouseButton::X2) {
        ExtraButton(b == TMouseButton::X1);
    }
}

bool TQuickCombo::MouseWheel(tk::TShiftState, int delta) {
    if (tk::Application().CaptureControl) return false;
    Wheel(delta > 0 ? +1 : -1);
    return true;
}

void TQuickCombo::MouseEnter() {
    hot_ = true;
    Invalidate();
}

void TQuickCombo::MouseLeave() {
    hot_ = false;
    Invalidate();
}

}  // namespace norv
