// Letter case of the system's single-byte texts: ASCII letters fold, every
// other byte (code page 936 lead and trail bytes among them) stays as it is.
// And the blanks around a text typed on a command line.
#pragma once

#include <string>
#include <string_view>

namespace norv {

inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Without leading and trailing spaces and tabs.
inline std::string_view TrimBlanks(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

inline std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AsciiUpper(c);
    return r;
}

inline std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AsciiLower(c);
    return r;
}

inline bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
    return true;
}

// Index of the first entry equal to `name` without regard to case; -1 when absent.
template <class Container>
int32_t IndexOfIgnoreCase(const Container& names, std::string_view name) {
    int32_t i = 0;
    for (const auto& n : names) {
        if (EqualsIgnoreCase(n, name)) return i;
        ++i;
    }
    return -1;
}

}  // namespace norv
