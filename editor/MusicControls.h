// The on-screen test keyboard: the octave picture list with its key geometry,
// and the keyboard control that plays notes with the mouse and shows keys
// marked pressed by others (counted, so two sources can hold one key).
// GUI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/Bitmap.h"
#include "toolkit/Controls.h"

namespace norv {

// One octave at rest (image 0) and pressed (image 1), and where its twelve keys lie.
class TKbDIBmpList {
public:
    tk::TBitmapList Images;
    int DefaultWidth = 119;
    int DefaultHeight = 66;
    // Index = key mod 12; right and bottom exclusive.
    std::array<tk::TRect, 12> KeyRects{};

    void SetKeyGeometry(int whiteWidth, int blackWidth, int blackOffset, int blackHeight);
    tk::TRect KeyRect(int key, int scrollOffset, int gutter) const;
    // Key and velocity at a point of the octave strip; key -1 left of it.
    void KeyAt(int x, int y, int& key, int& velocity) const;
    // The octaves meeting `area` (control coordinates), then the pressed keys.
    void Paint(cairo_t* cr, double scale, int scrollOffset, int gutter, const std::vector<uint16_t>& pressed,
               const tk::TRect& area) const;
};

class TQuickMIDIKbEx : public tk::TControl {
public:
    explicit TQuickMIDIKbEx(tk::TComponent* owner) : tk::TControl(owner) {}

    int32_t MinKey = 0;
    int32_t MaxKey = 127;
    int32_t GutterSize = 0;
    uint32_t Color = 0;
    // Shared with the resource module; set before the keyboard is shown.
    const TKbDIBmpList* KbBmpList = nullptr;
    int32_t ScrollOffset() const;

    struct PressedKey {
        uint16_t Key;
        uint16_t ExtraPresses;
    };
    const std::vector<PressedKey>& PressedKeys() const { return pressed_; }
    bool IsPressed(int32_t key) const;

    // Presses are counted, so two sources can hold the same key.
    void PressKey(int32_t key);
    void ReleaseKey(int32_t key);

    // The key and velocity at a point of the control, clamped to the range.
    void KeyAtPoint(int x, int y, int& key, int& velocity) const;
    // The mouse-held note moves to `key` (-1: none).
    void PlayKey(int32_t key, int32_t velocity);
    int32_t CurrentKey() const { return currentKey_; }

    std::function<void(tk::TControl* sender, int32_t note, int32_t velocity)> OnNoteOn;
    std::function<void(tk::TControl* sender, int32_t note, int32_t velocity)> OnNoteOff;

    void Paint(cairo_t* cr) override;
    void MouseDown(tk::TMouseButton b, tk::TShiftState s, int x, int y) override;
    void MouseMove(tk::TShiftState s, int x, int y) override;
    void MouseUp(tk::TMouseButton b, tk::TShiftState s, int x, int y) override;

private:
    void InvalidateKey(int32_t key);

    std::vector<PressedKey> pressed_;
    int32_t currentKey_ = -1;
    int32_t dragVelocity_ = -1;
    bool holding_ = false;
};

}  // namespace norv
