#include "WaveFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace norv::defaultset {

namespace {

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Tag(const char (&id)[5]) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(id[i]));
    }
    void U16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void U32(uint32_t v) {
        U16(static_cast<uint16_t>(v));
        U16(static_cast<uint16_t>(v >> 16));
    }

private:
    std::vector<uint8_t>& bytes_;
};

constexpr uint32_t kFmtSize = 16;
constexpr uint32_t kSmplSize = 36 + 24;

}  // namespace

std::vector<uint8_t> EncodeLoopedWave(const std::vector<int16_t>& frames, int sampleRate, int rootKey,
                                      uint32_t loopStart, uint32_t loopEnd) {
    const uint32_t dataSize = static_cast<uint32_t>(frames.size() * 2);
    std::vector<uint8_t> bytes;
    bytes.reserve(12 + 8 + kFmtSize + 8 + dataSize + 8 + kSmplSize);
    ByteWriter w(bytes);
    w.Tag("RIFF");
    w.U32(4 + 8 + kFmtSize + 8 + dataSize + 8 + kSmplSize);
    w.Tag("WAVE");

    w.Tag("fmt ");
    w.U32(kFmtSize);
    w.U16(1);  // PCM
    w.U16(1);  // mono
    w.U32(static_cast<uint32_t>(sampleRate));
    w.U32(static_cast<uint32_t>(sampleRate) * 2);
    w.U16(2);
    w.U16(16);

    w.Tag("data");
    w.U32(dataSize);
    for (int16_t v : frames) w.U16(static_cast<uint16_t>(v));

    w.Tag("smpl");
    w.U32(kSmplSize);
    w.U32(0);  // manufacturer
    w.U32(0);  // product
    w.U32(static_cast<uint32_t>((1000000000ull + sampleRate / 2) / sampleRate));  // sample period, ns
    w.U32(static_cast<uint32_t>(rootKey));
    w.U32(0);  // pitch fraction
    w.U32(0);  // SMPTE format
    w.U32(0);  // SMPTE offset
    w.U32(1);  // loops
    w.U32(0);  // sampler data
    w.U32(0);  // cue point id
    w.U32(0);  // forward
    w.U32(loopStart);
    w.U32(loopEnd);
    w.U32(0);  // fraction
    w.U32(0);  // play forever
    return bytes;
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
