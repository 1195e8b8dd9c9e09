// Terminal columns of UTF-8 text, for the tools' tables.
#pragma once

#include <string>

namespace norv::tool {

// CJK characters (three- and four-byte sequences) take two columns.
size_t DisplayColumns(const std::string& utf8);
// `utf8` followed by blanks up to `width` columns (at least one blank when
// `utf8` fills the width, so that columns never run together).
std::string PadColumns(const std::string& utf8, size_t width);

}  // namespace norv::tool
