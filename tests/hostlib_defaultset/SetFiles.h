// Reading the generated set back: WAVE chunks and definition files, written
// here independently of the generator's own writer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace norv::test {

struct WaveContents {
    int formatTag = 0;
    int channels = 0;
    int sampleRate = 0;
    int blockAlign = 0;
    int bitsPerSample = 0;
    std::vector<int16_t> frames;  // as 16-bit values when bitsPerSample is 16
    int loopCount = -1;           // -1: no "smpl" chunk
    uint32_t unityNote = 0;
    uint32_t loopType = 0;
    uint32_t loopStart = 0;
    uint32_t loopEnd = 0;
};

// std::nullopt when the file is not RIFF WAVE or lacks "fmt " or "data".
std::optional<WaveContents> ReadWave(const std::filesystem::path& path);

std::string ReadText(const std::filesystem::path& path);

// Section and key names in lower case; values with blanks trimmed.
using Profile = std::map<std::string, std::map<std::string, std::string>>;
Profile ParseProfile(const std::string& text);

}  // namespace norv::test
