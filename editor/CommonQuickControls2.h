// The drop-down selector that lists the sound sets.
#pragma once

#include <string>
#include <vector>

#include "editor/CommonQuickControls.h"

namespace norv {

// Value counts selectable entries only; entries starting with "-" are separators.
class TQuickCombo : public TCustomSelector {
public:
    explicit TQuickCombo(tk::TComponent* owner);

    const std::vector<std::string>& Items() const { return items_; }
    void SetItems(std::vector<std::string> items);
    void AddItem(std::string item);
    void InsertItem(size_t index, std::string item);
    void ClearItems();

    std::vector<std::string> Hints;

    // The shown text: the selected entry with "&" doubled.
    const std::string& Caption() const { return caption_; }

    void SetValueEx(int32_t v, bool notify) override;

    int32_t EntryIndexOfValue(int32_t v) const;
    int32_t ValueOfEntryIndex(int32_t i) const;
    int32_t SelectedEntryIndex() const { return EntryIndexOfValue(value_); }
    // Selects without notification (the loader showing the current set).
    void SelectEntryIndex(int32_t i) { SetValueEx(ValueOfEntryIndex(i), false); }

    // User gestures: a menu choice, the wheel (+1 away from the user), X buttons.
    void ChooseEntry(int32_t i) { SetValueEx(ValueOfEntryIndex(i), true); }
    void Wheel(int s);
    void ExtraButton(bool x1);

private:
    void ItemsChanged();
    bool IsSeparator(const std::string& s) const { return !s.empty() && s[0] == '-'; }

    std::vector<std::string> items_;
    std::string caption_;
};

}  // namespace norv
