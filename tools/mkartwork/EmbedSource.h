// The C++ source that compiles the bitmap lists into the instrument: one
// string literal per BMP file, which compilers take in quickly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace norv::mkartwork {

struct TEmbeddedList {
    std::string Symbol;
    int Count;
    std::vector<std::vector<uint8_t>> FilesByScale;  // whole BMP files, scale 1 first
};

std::string EmbeddedListsSource(const std::vector<TEmbeddedList>& lists);

// A byte string as adjacent C++ string literals of at most about 100 columns.
std::string StringLiteral(const std::vector<uint8_t>& bytes);

}  // namespace norv::mkartwork
