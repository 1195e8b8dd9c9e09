// The parameters' texts as the host gets them: code page 936.
#pragma once

#include <cstdint>
#include <string>

namespace norv {

// The parameter's name as DescribeItem returns it (at most 14 bytes).
const std::string& ParamName(int32_t index);

// The value text of parameter `index` at knob position v.
std::string ParamValueText(int32_t index, int32_t v);

// "(未使用)".
const std::string& UnusedItemText();

}  // namespace norv
