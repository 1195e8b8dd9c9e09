// RIFF WAVE with a sampler loop, for the default set.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

namespace norv::defaultset {

// Mono 16-bit PCM with a "smpl" chunk holding one forward loop from
// loopStart to loopEnd (inclusive) and the root key as unity note.
std::vector<uint8_t> EncodeLoopedWave(const std::vector<int16_t>& frames, int sampleRate, int rootKey,
                                      uint32_t loopStart, uint32_t loopEnd);

// Writes to a temporary name beside the target, then renames, so a broken
// run never leaves a half-written file under the real name. Throws
// std::runtime_error naming the file.
void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace norv::defaultset
