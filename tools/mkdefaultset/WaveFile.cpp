#include "WaveFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "tools/import/WaveEncoder.h"

namespace norv::defaultset {

std::vector<uint8_t> EncodeLoopedWave(const std::vector<int16_t>& frames, int sampleRate, int rootKey,
                                      uint32_t loopStart, uint32_t loopEnd) {
    const std::vector<int32_t> values(frames.begin(), frames.end());
    return import::EncodeWave(values, 1, 16, sampleRate, rootKey, import::WaveLoop{loopStart, loopEnd});
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::path temporary = path;
    temporary += ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            int error = errno;
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(error));
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::string reason = ec.message();
        std::filesystem::remove(temporary, ec);
        throw std::runtime_error("cannot write " + path.string() + ": " + reason);
    }
}

}  // namespace norv::defaultset
