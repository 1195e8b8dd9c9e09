#include "base/IniFile.h"

#include <cstdint>
#include <limits>

#include "base/NumberFormat.h"
#include "base/FileSystem.h"

namespace norv {

namespace {

std::string_view Trim(std::string_view s) {
    constexpr std::string_view kBlanks = " \t";
    const size_t first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

std::string Fold(std::string_view s) {
    std::string folded(s);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

std::string_view ValueOf(std::string_view raw) {
    // A zero-terminated buffer would end the value at a NUL, and a path
    // built from it must not silently name another file.
    raw = raw.substr(0, raw.find('\0'));
    std::string_view value = Trim(raw);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value.substr(0, TIniFile::kMaxValueLength);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    uint32_t value = 0;
    int significant = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        if (value != 0 || d != 0) ++significant;
        if (significant > 8) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    // A 32-bit pattern: "$FFFFFFFF" is -1.
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseDecimalInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kLimit) return std::nullopt;
    }
    if (negative) return static_cast<int32_t>(-value);
    if (value == kLimit) return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace

TIniFile::TIniFile(const std::filesystem::path& path) {
    if (auto text = ReadWholeFile(path, kMaxFileSize)) Parse(*text);
}

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    ini.Parse(text);
    return ini;
}

void TIniFile::Parse(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());

    // Keys go to this section; none before the first header or after a
    // broken one, so they cannot fill in keys of the section above it.
    std::map<std::string, std::string, std::less<>>* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find_first_of("\r\n", pos);
        if (eol == std::string_view::npos) eol = text.size();
        const std::string_view line = Trim(text.substr(pos, eol - pos));
        pos = eol + 1;
        if (line.empty() || line.front() == ';') continue;

        if (line.front() == '[') {
            const size_t close = line.find(']');
            current = close == std::string_view::npos
                          ? nullptr
                          : &sections_.try_emplace(Fold(Trim(line.substr(1, close - 1)))).first->second;
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || current == nullptr) continue;
        const std::string_view key = Trim(line.substr(0, equals));
        if (key.empty()) continue;
        // First occurrence wins.
        current->try_emplace(Fold(key), ValueOf(line.substr(equals + 1)));
    }
}

const std::string* TIniFile::Find(std::string_view section, std::string_view key) const {
    const auto s = sections_.find(Fold(section));
    if (s == sections_.end()) return nullptr;
    const auto k = s->second.find(Fold(key));
    return k == s->second.end() ? nullptr : &k->second;
}

bool TIniFile::SectionExists(std::string_view section) const { return sections_.count(Fold(section)) != 0; }

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    const std::string* value = Find(section, key);
    return value && !value->empty() ? *value : std::string(defaultValue);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const {
    const std::string* value = Find(section, key);
    if (!value) return defaultValue;
    return ParseInteger(*value).value_or(defaultValue);
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double defaultValue) const {
    const std::string* value = Find(section, key);
    if (!value) return defaultValue;
    return ParseFloat(*value).value_or(defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

std::optional<int32_t> TIniFile::ParseInteger(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return ParseHex(text.substr(2));
    if (!text.empty() && text[0] == '$') return ParseHex(text.substr(1));
    return ParseDecimalInteger(text);
}

std::optional<double> TIniFile::ParseFloat(std::string_view text) { return ParseDecimal(text); }

}  // namespace norv
