// The on-screen test keyboard.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/Controls.h"

namespace norv {

class TQuickMIDIKbEx : public tk::TControl {
public:
    explicit TQuickMIDIKbEx(tk::TComponent* owner) : tk::TControl(owner) {}

    int32_t MinKey = 0;
    int32_t MaxKey = 127;

    struct PressedKey {
        uint16_t Key;
        uint16_t ExtraPresses;
    };
    const std::vector<PressedKey>& PressedKeys() const { return pressed_; }
    bool IsPressed(int32_t key) const;

    // Presses are counted, so two sources can hold the same key.
    void PressKey(int32_t key);
    void ReleaseKey(int32_t key);

    std::function<void(tk::TControl* sender, int32_t note, int32_t velocity)> OnNoteOn;
    std::function<void(tk::TControl* sender, int32_t note, int32_t velocity)> OnNoteOff;

private:
    std::vector<PressedKey> pressed_;
};

}  // namespace norv
