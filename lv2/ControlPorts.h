// The control ports (the fifteen parameters and the polyphony) and the value
// each had when last looked at, so that only a port that moves changes the
// instrument: a state restored or a set chosen elsewhere is not overwritten by
// ports that merely still hold their old values.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "engine/Parameters.h"

namespace norv::lv2 {

class ControlPorts {
public:
    static constexpr uint32_t kCount = kParamCount + 1;  // the parameters, then the polyphony
    static constexpr uint32_t kPolyphonySlot = kParamCount;

    // Any non-audio thread, or the audio thread between runs (connect_port).
    void Connect(uint32_t slot, const float* port);

    // Audio thread. Calls apply(slot, value) for every connected port whose
    // value differs from the one last seen (every port on the first call),
    // with the value rounded and held to the port's range.
    template <class Apply>
    void ApplyChanges(Apply&& apply) {
        for (uint32_t slot = 0; slot < kCount; ++slot) {
            const float* port = ports_[slot];
            if (!port) continue;
            const float value = *port;
            if (value != value || (known_[slot] && value == seen_[slot])) continue;
            seen_[slot] = value;
            known_[slot] = true;
            apply(slot, Rounded(slot, value));
        }
    }

    // Instantiation thread, no run in progress: the instrument now holds
    // `values` (one per parameter). Ports that are connected count as seen at
    // their present values, the others at the restored ones; the polyphony is
    // not part of a state and stays as it was.
    void Rebase(std::span<const int32_t> values);

    // The port's value as the instrument takes it: nearest integer in range.
    static int32_t Rounded(uint32_t slot, float value);

private:
    std::array<const float*, kCount> ports_{};
    std::array<float, kCount> seen_{};
    std::array<bool, kCount> known_{};
};

}  // namespace norv::lv2
