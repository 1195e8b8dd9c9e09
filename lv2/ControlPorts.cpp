#include "lv2/ControlPorts.h"

#include <algorithm>
#include <cmath>

#include "lv2/Protocol.h"

namespace norv::lv2 {

void ControlPorts::Connect(uint32_t slot, const float* port) {
    if (slot < kCount) ports_[slot] = port;
}

void ControlPorts::Rebase(std::span<const int32_t> values) {
    for (uint32_t slot = 0; slot < kParamCount && slot < values.size(); ++slot) {
        seen_[slot] = ports_[slot] ? *ports_[slot] : static_cast<float>(values[slot]);
        known_[slot] = true;
    }
}

int32_t ControlPorts::Rounded(uint32_t slot, float value) {
    int32_t min = kMinPolyphony, max = kMaxPolyphony;
    if (slot < kParamCount) {
        min = kParams[slot].Min;
        max = kParams[slot].Max;
    }
    const double v = std::nearbyint(std::clamp(static_cast<double>(value), static_cast<double>(min),
                                               static_cast<double>(max)));
    return static_cast<int32_t>(v);
}

}  // namespace norv::lv2
