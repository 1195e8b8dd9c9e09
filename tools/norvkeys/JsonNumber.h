// Numbers for the tools' --json output.
#pragma once

#include <string>

namespace norv::tool {

// The shortest text that reads back as the same 32-bit float, with '.'
// whatever the locale. JSON has no infinities or NaN: those are written as
// the strings "inf", "-inf" and "nan".
std::string JsonFloat(float value);

inline const char* JsonBool(bool value) { return value ? "true" : "false"; }

}  // namespace norv::tool
