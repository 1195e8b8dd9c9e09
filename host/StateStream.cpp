#include "host/StateStream.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/Cp936.h"
#include "host/HostServices.h"

namespace norv::host {
namespace {

void PutInt32(std::vector<uint8_t>& out, int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

int32_t GetInt32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

}  // namespace

intptr_t ByteStateStream::Read(void* buffer, uint32_t count, uint32_t* countRead) {
    if (countRead) *countRead = 0;
    if (count == 0) return 0;
    if (!buffer) return -1;
    const size_t n = std::min<size_t>(count, bytes_.size() - readPos_);
    if (n > 0) std::memcpy(buffer, bytes_.data() + readPos_, n);
    readPos_ += n;
    if (countRead) *countRead = static_cast<uint32_t>(n);
    return n == count ? 0 : 1;
}

intptr_t ByteStateStream::Write(const void* buffer, uint32_t count, uint32_t* countWritten) {
    if (countWritten) *countWritten = 0;
    if (count == 0) return 0;
    if (!buffer) return -1;
    const auto* p = static_cast<const uint8_t*>(buffer);
    bytes_.insert(bytes_.end(), p, p + count);
    if (countWritten) *countWritten = count;
    return 0;
}

std::vector<uint8_t> StateBytes(const SavedState& state) {
    std::vector<uint8_t> out;
    PutInt32(out, state.Version);
    const size_t n = std::min(state.Name.size(), kMaxStateNameBytes);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), state.Name.begin(), state.Name.begin() + static_cast<ptrdiff_t>(n));
    for (int32_t v : state.Values) PutInt32(out, v);
    return out;
}

std::optional<SavedState> ParseState(std::span<const uint8_t> bytes) {
    if (bytes.size() < 5) return std::nullopt;
    SavedState s;
    s.Version = GetInt32(bytes.data());
    const size_t n = bytes[4];
    if (bytes.size() < 5 + n || (bytes.size() - 5 - n) % 4 != 0) return std::nullopt;
    s.Name.assign(reinterpret_cast<const char*>(bytes.data() + 5), n);
    for (size_t at = 5 + n; at < bytes.size(); at += 4) s.Values.push_back(GetInt32(bytes.data() + at));
    return s;
}

std::vector<uint8_t> SaveInstanceState(TQuirraPlug* plug) {
    ByteStateStream stream;
    plug->ExchangeState(&stream, 1);
    return stream.Bytes();
}

size_t RestoreInstanceState(Host& host, TQuirraPlug* plug, std::vector<uint8_t> bytes) {
    ByteStateStream stream(std::move(bytes));
    std::lock_guard lock(host.ProcessingMutex());
    plug->ExchangeState(&stream, 0);
    return stream.ReadPosition();
}

std::string PlayingSetName(TQuirraPlug* plug) {
    const std::optional<SavedState> state = ParseState(SaveInstanceState(plug));
    return state ? DisplayText(state->Name) : std::string();
}

}  // namespace norv::host
