// A string list kept in ascending order and searched by halving. Keys are
// converted to upper case (ASCII letters only; other bytes, such as those of
// code page 936 or UTF-8 texts, stay as they are) and stored in that form.
// The library scan uses it to count every sample file once.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace norv {

class EStringListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TDuplicates {
    Ignore,  // Add of an equal key adds nothing and returns -1
    Accept,  // Add inserts the equal key beside the one found
    Error,   // Add throws EStringListError
};

class TAbcStringlist {
public:
    // Empty, ignoring case and storing the converted form.
    TAbcStringlist() = default;

    TDuplicates Duplicates = TDuplicates::Ignore;

    // Index of the new key; -1 for an empty key or an ignored duplicate.
    int Add(std::string_view key);
    // Index of an equal key, or -1 (also for an empty key).
    int Find(std::string_view key) const;

    int Count() const { return static_cast<int>(items_.size()); }
    // The stored (upper-case) form; index must be within 0 ... Count() - 1.
    const std::string& operator[](int index) const { return items_.at(static_cast<size_t>(index)); }

private:
    // Where the halving ends: the index of an equal key (found = true), or
    // the place where the key belongs.
    int Search(const std::string& key, bool& found) const;

    std::vector<std::string> items_;
};

}  // namespace norv
