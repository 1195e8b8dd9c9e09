// The parameters as the host sees them: names and value texts.
#pragma once

#include <cstdint>
#include <string>

namespace norv {

// The parameter's name as DescribeItem returns it (code page 936, at most 14 bytes).
const std::string& ParamName(int32_t index);

// The value text of parameter `index` at knob position v (UTF-8).
std::string ParamValueText(int32_t index, int32_t v, int32_t min, int32_t max);

// "(未使用)" in code page 936.
const std::string& UnusedItemText();

}  // namespace norv
