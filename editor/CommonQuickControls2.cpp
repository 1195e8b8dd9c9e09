#include "editor/CommonQuickControls2.h"

#include <algorithm>

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

}  // namespace norv
