#include "editor/MusicControls.h"

#include <algorithm>

namespace norv {

bool TQuickMIDIKbEx::IsPressed(int32_t key) const {
    return std::any_of(pressed_.begin(), pressed_.end(), [&](const PressedKey& p) { return p.Key == key; });
}

void TQuickMIDIKbEx::PressKey(int32_t key) {
    if (key < MinKey || key > MaxKey) return;
    for (auto& p : pressed_) {
        if (p.Key == key) {
            ++p.ExtraPresses;
            return;
        }
    }
    pressed_.push_back({static_cast<uint16_t>(key), 0});
    Invalidate();
}

void TQuickMIDIKbEx::ReleaseKey(int32_t key) {
    if (key < MinKey || key > MaxKey) return;
    for (auto it = pressed_.begin(); it != pressed_.end(); ++it) {
        if (it->Key != key) continue;
        if (it->ExtraPresses > 0) {
            --it->ExtraPresses;
        } else {
            pressed_.erase(it);
            Invalidate();
        }
        return;
    }
}

}  // namespace norv
