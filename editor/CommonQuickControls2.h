// The drop-down selector that lists the sound sets: a left press opens the
// list below it, the mouse wheel and the extra buttons step through it.
// GUI thread only.
#pragma once

#include <string>
#include <vector>

#include "editor/CommonQuickControls.h"
#include "toolkit/Bitmap.h"

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

    // Image 0 at rest, 1 while hovered or open; the caption over it.
    tk::TBitmapList Images;
    int Spacing = 3;
    uint32_t Color = 0;  // stored; the images carry the look
    void Paint(cairo_t* cr) override;
    void MouseDown(tk::TMouseButton b, tk::TShiftState s, int x, int y) override;
    bool MouseWheel(tk::TShiftState s, int delta) override;
    void MouseEnter() override;
    void MouseLeave() override;
    // Opens the list of entries below the selector.
    void DropDown();

private:
    void ItemsChanged();
    bool IsSeparator(const std::string& s) const { return !s.empty() && s[0] == '-'; }

    std::vector<std::string> items_;
    std::string caption_;
    bool hot_ = false;
};

}  // namespace norv
