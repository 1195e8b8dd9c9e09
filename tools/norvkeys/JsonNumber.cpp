#include "tools/norvkeys/JsonNumber.h"

#include <charconv>
#include <cmath>

namespace norv::tool {

std::string JsonFloat(float value) {
    if (std::isnan(value)) return "\"nan\"";
    if (std::isinf(value)) return value > 0 ? "\"inf\"" : "\"-inf\"";
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, ec == std::errc() ? end : buf);
}

}  // namespace norv::tool
