#include "tools/import/VelocityMeasure.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

namespace norv::import {

int InstrumentVelocity(int midi) {
    using L = long double;
    // 1 / ln 11 as the single-precision constant the instrument uses.
    const float invLn11 = std::bit_cast<float>(uint32_t{0x3ED58545});
    const float level = static_cast<float>(midi) / 100.0f;
    const float t = static_cast<float>(std::log(10.0L * level + 1.0L) * static_cast<L>(invLn11));
    return static_cast<int>(std::min<L>(std::nearbyint(static_cast<L>(t) * 100.0L), 127.0L));
}

}  // namespace norv::import
