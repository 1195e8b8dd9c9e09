// Just enough JSON writing for the tools' --json output.
#pragma once

#include <string>
#include <string_view>

namespace norv::tool {

// A JSON string literal of UTF-8 text.
std::string JsonString(std::string_view text);

}  // namespace norv::tool
