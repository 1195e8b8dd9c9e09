#include "base/StateLayout.h"

namespace norv::state {

void PutInt32(uint8_t* at, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    for (size_t i = 0; i < kIntBytes; ++i) at[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetInt32(const uint8_t* at) {
    uint32_t u = 0;
    for (size_t i = 0; i < kIntBytes; ++i) u |= static_cast<uint32_t>(at[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

std::optional<Fields> ParseFields(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeadBytes) return std::nullopt;
    const size_t length = bytes[kIntBytes];
    if (bytes.size() < kHeadBytes + length || (bytes.size() - kHeadBytes - length) % kIntBytes != 0)
        return std::nullopt;
    Fields f;
    f.Version = GetInt32(bytes.data());
    f.Name.assign(reinterpret_cast<const char*>(bytes.data() + kHeadBytes), length);
    for (size_t at = kHeadBytes + length; at < bytes.size(); at += kIntBytes)
        f.Values.push_back(GetInt32(bytes.data() + at));
    return f;
}

std::vector<uint8_t> FieldBytes(const Fields& fields) {
    std::vector<uint8_t> out;
    WriteFields(
        [&out](const void* bytes, size_t count) {
            const auto* p = static_cast<const uint8_t*>(bytes);
            out.insert(out.end(), p, p + count);
        },
        fields.Version, fields.Name, fields.Values);
    return out;
}

}  // namespace norv::state
