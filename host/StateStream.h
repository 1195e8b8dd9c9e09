// Saved states on the host's side: the stream an instance writes its state
// into or reads it from, and the state's layout for tools that pick a sound
// set by name (version word, a short name, then the parameter values).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/StateLayout.h"
#include "plugin/QP_Def.h"

namespace norv::host {

class Host;

// An IStateStream over bytes in memory. Reads start at the beginning and
// stop at the end; writes append. Counts go to non-null count pointers.
class ByteStateStream final : public IStateStream {
public:
    ByteStateStream() = default;
    explicit ByteStateStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

    // 0 when every byte asked for moved, 1 when a read ran into the end,
    // -1 for a null buffer with a non-zero count (nothing moves).
    intptr_t Read(void* buffer, uint32_t count, uint32_t* countRead) override;
    intptr_t Write(const void* buffer, uint32_t count, uint32_t* countWritten) override;

    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    size_t ReadPosition() const { return readPos_; }

private:
    std::vector<uint8_t> bytes_;
    size_t readPos_ = 0;
};

inline constexpr size_t kMaxStateNameBytes = state::kMaxNameBytes;

using SavedState = state::Fields;

// The state's bytes; a name longer than 254 bytes is cut, as the instance cuts it.
inline std::vector<uint8_t> StateBytes(const SavedState& s) { return state::FieldBytes(s); }
// nullopt when the bytes are not a whole state: shorter than the version and
// the name, or a parameter block that is not whole 32-bit values.
inline std::optional<SavedState> ParseState(std::span<const uint8_t> bytes) { return state::ParseFields(bytes); }

// The instance's state as it saves it.
std::vector<uint8_t> SaveInstanceState(TQuirraPlug* plug);
// Restores a state under the host's processing lock (no block or voice call
// can come in between). Returns how many bytes the instance read.
size_t RestoreInstanceState(Host& host, TQuirraPlug* plug, std::vector<uint8_t> bytes);

// The name of the set the instance plays, as its state names it, in UTF-8;
// empty when the state cannot be read. Not while a block runs.
std::string PlayingSetName(TQuirraPlug* plug);

}  // namespace norv::host
