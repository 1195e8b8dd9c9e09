// Output files that never exist half-written: the bytes go to a temporary
// name in the same folder, which is renamed over the target when complete.
#pragma once

#include <cstddef>
#include <string>

namespace norv::tool {

// Throws std::runtime_error naming `file` and the reason; on failure the
// temporary file is removed and an existing `file` is left as it was.
void WriteFileAtomically(const std::string& file, const void* data, size_t size);

}  // namespace norv::tool
