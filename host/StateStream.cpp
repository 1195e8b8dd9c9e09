#include "host/StateStream.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "base/Cp936.h"
#include "host/HostServices.h"

namespace norv::host {

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
