// Code page 936 (GBK) <-> UTF-8. The system's own texts keep their GBK bytes
// wherever they cross the host boundary or the saved state; sources hold them
// as UTF-8 and convert once.
#pragma once

#include <string>
#include <string_view>

namespace norv {

// Bytes that do not convert become '?'.
std::string Utf8ToCp936(std::string_view utf8);
std::string Cp936ToUtf8(std::string_view cp936);

bool IsValidUtf8(std::string_view text);

// For drawing a definition's text: kept as it is when already valid UTF-8,
// otherwise read as code page 936.
std::string DisplayText(std::string_view text);

}  // namespace norv
