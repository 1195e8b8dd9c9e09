// The saved state's bytes, for the instance that saves and restores it and
// for the host side that reads and writes states of its own: a version
// word, the set's name as a short string (a length byte, then at most 254
// bytes), then one 32-bit value per parameter; integers little-endian.
// Any thread; no state of its own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norv::state {

inline constexpr int32_t kVersion = 1;
inline constexpr size_t kMaxNameBytes = 254;
inline constexpr size_t kIntBytes = 4;
// The version word and the name's length byte.
inline constexpr size_t kHeadBytes = kIntBytes + 1;

void PutInt32(uint8_t* at, int32_t value);
int32_t GetInt32(const uint8_t* at);

struct Fields {
    int32_t Version = kVersion;
    std::string Name;             // code page 936 bytes
    std::vector<int32_t> Values;  // one per parameter
};

// The fields in their order through `write(const void* bytes, size_t count)`,
// one call each: version, name length, name, values. A name longer than the
// limit is cut.
template <typename Write>
void WriteFields(Write&& write, int32_t version, std::string_view name, std::span<const int32_t> values) {
    uint8_t word[kIntBytes];
    PutInt32(word, version);
    write(word, kIntBytes);
    const auto length = static_cast<uint8_t>(std::min(name.size(), kMaxNameBytes));
    write(&length, 1);
    write(name.data(), length);
    std::vector<uint8_t> block(kIntBytes * values.size());
    for (size_t i = 0; i < values.size(); ++i) PutInt32(block.data() + kIntBytes * i, values[i]);
    write(block.data(), block.size());
}

// The fields through `read(void* bytes, size_t count) -> bool` (false when
// the source ends early), `valueCount` values. nullopt when the source ends
// early or the version is newer than this layout; nothing is read after a
// newer version.
template <typename Read>
std::optional<Fields> ReadFields(Read&& read, size_t valueCount) {
    Fields f;
    uint8_t word[kIntBytes];
    if (!read(word, kIntBytes)) return std::nullopt;
    f.Version = GetInt32(word);
    if (f.Version > kVersion) return std::nullopt;
    uint8_t length = 0;
    if (!read(&length, 1)) return std::nullopt;
    f.Name.assign(length, '\0');
    if (!read(f.Name.data(), length)) return std::nullopt;
    std::vector<uint8_t> block(kIntBytes * valueCount);
    if (!read(block.data(), block.size())) return std::nullopt;
    f.Values.resize(valueCount);
    for (size_t i = 0; i < valueCount; ++i) f.Values[i] = GetInt32(block.data() + kIntBytes * i);
    return f;
}

// A whole state in memory, as many values as follow the name (any version);
// nullopt when the bytes are shorter than the head and the name, or end in
// part of a value.
std::optional<Fields> ParseFields(std::span<const uint8_t> bytes);
std::vector<uint8_t> FieldBytes(const Fields& fields);

}  // namespace norv::state
