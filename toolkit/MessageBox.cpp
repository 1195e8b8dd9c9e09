#include "toolkit/MessageBox.h"

#include <cstdio>
#include <string>

#include "base/Cp936.h"
#include "toolkit/X11MessageDialog.h"

namespace norv::tk {
namespace {

// One line, whatever the text holds: line breaks become spaces and other
// control characters cannot reach the terminal.
void WriteToStandardError(const std::string& utf8) {
    std::string line = "Norv Keys: ";
    line.reserve(line.size() + utf8.size() + 1);
    for (char c : utf8) {
        const unsigned char u = static_cast<unsigned char>(c);
        line += (u < 0x20 || u == 0x7f) ? ' ' : c;
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

bool ShowErrorMessage(std::string_view text, WindowId owner) {
    const std::string utf8 = Cp936ToUtf8(text);
    if (owner != 0 && RunX11MessageDialog(utf8, owner)) return true;
    WriteToStandardError(utf8);
    return false;
}

}  // namespace norv::tk
