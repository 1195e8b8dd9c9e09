#include "tools/norvkeys/TextColumns.h"

namespace norv::tool {

size_t DisplayColumns(const std::string& utf8) {
    size_t cols = 0;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : 4;
        cols += len >= 3 ? 2 : 1;
        i += len;
    }
    return cols;
}

std::string PadColumns(const std::string& utf8, size_t width) {
    const size_t cols = DisplayColumns(utf8);
    return utf8 + std::string(cols < width ? width - cols : 1, ' ');
}

}  // namespace norv::tool
