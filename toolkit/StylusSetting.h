// The user's choice of an absolute pointing device (a stylus), shared by
// every program of the maker: [General] UseStylus in
// ${XDG_CONFIG_HOME:-~/.config}/halvern/shared.ini. Read once.
#pragma once

#include <string>

namespace norv::tk {

bool UseStylus();
// The reading itself, for a given file (0 when missing or unreadable).
bool ReadUseStylus(const std::string& iniPath);

}  // namespace norv::tk
