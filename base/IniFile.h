// Reader of profile ("INI") files: .wti set definitions and the shared settings file.
//
// Syntax, as definitions rely on it:
// - "[name]" opens a section; "key=value" sets a key of the current section.
//   Section and key names are trimmed and compared without regard to ASCII
//   letter case.
// - A value is the text after the first '=', up to a NUL byte if any, with
//   blanks (space, tab) trimmed. A value enclosed in a matching pair of single
//   or double quotes loses them; then at most kMaxValueLength bytes are kept.
// - An absent section, an absent key and an empty value give the default.
// - Lines are ended by LF, CRLF or CR; a leading UTF-8 byte order mark is
//   skipped. Comment lines (';'), lines that are neither a section header nor
//   a key with '=' and keys before the first section are ignored. A line
//   opening with '[' but lacking ']' is no header, and the keys after it
//   belong to no section until the next header.
// - Duplicates: the first occurrence of a key wins. Sections of the same name
//   are merged, so a key found only in a repeated section is still read.
// Values are bytes: code page 936 and UTF-8 texts pass through unchanged.
//
// Immutable after construction: any thread may read it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace norv {

class TIniFile {
public:
    // The platform reader's 2048-byte buffer less its terminating zero.
    static constexpr size_t kMaxValueLength = 2047;
    // Larger files are not definitions; they read as unreadable.
    static constexpr int64_t kMaxFileSize = 64 << 20;

    TIniFile() = default;
    // A file that is missing, unreadable or not a regular file reads as empty:
    // every key gives its default. Found without regard to letter case when
    // the exact name does not exist.
    explicit TIniFile(const std::filesystem::path& path);
    static TIniFile FromText(std::string_view text);

    std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    double ReadFloat(std::string_view section, std::string_view key, double defaultValue) const;
    // Read as an integer: non-zero is true; a non-integer gives the default.
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    bool SectionExists(std::string_view section) const;

    // Integer text: optional sign and decimal digits within the 32-bit range,
    // or '$' and 1 to 8 significant hex digits (a 32-bit pattern, so
    // "$FFFFFFFF" is -1); "0x"/"0X" before at least one more character counts
    // as '$'. No sign before a hex number, nothing around the number.
    static std::optional<int32_t> ParseInteger(std::string_view text);
    // Decimal number with '.' and optional exponent, whatever the locale.
    static std::optional<double> ParseFloat(std::string_view text);

private:
    void Parse(std::string_view text);
    const std::string* Find(std::string_view section, std::string_view key) const;

    // Folded section name -> folded key name -> value (empty ones kept, so a
    // later duplicate cannot win over them).
    std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> sections_;
};

}  // namespace norv
