// What the editor asks of the instrument it shows: all it knows of it.
// Called on the GUI thread, from the editor's handlers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace norv {

namespace tk {
class TPopupMenu;
class TMenuItem;
}  // namespace tk

class TPianoWaveTable;

class IEditorLink {
public:
    // A knob moved to `value`: the host hears of it, then the instrument
    // stores it and shows its text.
    virtual void KnobMoved(int32_t index, int32_t value) = 0;
    // A key of the test keyboard went down or up; the host plays it.
    virtual void KeyboardNoteOn(int32_t key, int32_t velocity) = 0;
    virtual void KeyboardNoteOff(int32_t key) = 0;
    // The selector chose library entry `index`.
    virtual void SetChosen(int32_t index) = 0;
    // The panel's height changed; the host re-reads it.
    virtual void EditorResized() = 0;
    // Whether the test keyboard shows, so key notices are worth posting.
    virtual void KeyboardShown(bool shown) = 0;
    // Rebuilds a knob menu's host entries after its first `keep` items.
    virtual void AddHostMenuItems(tk::TPopupMenu& menu, size_t keep, int32_t paramIndex,
                                  const std::function<void(tk::TMenuItem*)>& onClick) = 0;
    // The user picked host entry `entry` of parameter `paramIndex`'s menu.
    virtual void RunHostMenuItem(int32_t paramIndex, int32_t entry) = 0;
    // The set that plays, for the information panel; nullptr when none.
    virtual const TPianoWaveTable* CurrentSet() const = 0;

protected:
    ~IEditorLink() = default;
};

}  // namespace norv
