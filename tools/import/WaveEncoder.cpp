#include "tools/import/WaveEncoder.h"

namespace norv::import {
namespace {

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    void Tag(const char (&id)[5]) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(id[i]));
    }
    void U16(uint32_t v) { Bytes(v, 2); }
    void U32(uint32_t v) { Bytes(v, 4); }
    void Bytes(uint32_t v, int n) {
        for (int i = 0; i < n; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }

private:
    std::vector<uint8_t>& bytes_;
};

constexpr uint32_t kFmtSize = 16;
constexpr uint32_t kSmplHeadSize = 36;
constexpr uint32_t kSmplLoopSize = 24;

}  // namespace

std::vector<uint8_t> EncodeWave(std::span<const int32_t> values, int channels, int bits, int rate, int rootKey,
                                std::optional<WaveLoop> loop) {
    const uint32_t bytesPerValue = static_cast<uint32_t>(bits / 8);
    const uint32_t dataSize = static_cast<uint32_t>(values.size()) * bytesPerValue;
    const uint32_t pad = dataSize & 1;
    const uint32_t smplSize = kSmplHeadSize + (loop ? kSmplLoopSize : 0);
    std::vector<uint8_t> bytes;
    bytes.reserve(12 + 8 + kFmtSize + 8 + dataSize + pad + 8 + smplSize);
    ByteWriter w(bytes);
    w.Tag("RIFF");
    w.U32(4 + 8 + kFmtSize + 8 + dataSize + pad + 8 + smplSize);
    w.Tag("WAVE");

    const uint32_t blockAlign = static_cast<uint32_t>(channels) * bytesPerValue;
    w.Tag("fmt ");
    w.U32(kFmtSize);
    w.U16(1);  // PCM
    w.U16(static_cast<uint32_t>(channels));
    w.U32(static_cast<uint32_t>(rate));
    w.U32(static_cast<uint32_t>(rate) * blockAlign);
    w.U16(blockAlign);
    w.U16(static_cast<uint32_t>(bits));

    w.Tag("data");
    w.U32(dataSize);
    for (int32_t v : values) w.Bytes(static_cast<uint32_t>(v), static_cast<int>(bytesPerValue));
    if (pad) w.Bytes(0, 1);

    w.Tag("smpl");
    w.U32(smplSize);
    w.U32(0);  // manufacturer
    w.U32(0);  // product
    w.U32(static_cast<uint32_t>((1000000000ull + static_cast<uint32_t>(rate) / 2) / static_cast<uint32_t>(rate)));  // ns
    w.U32(static_cast<uint32_t>(rootKey));
    w.U32(0);  // pitch fraction
    w.U32(0);  // SMPTE format
    w.U32(0);  // SMPTE offset
    w.U32(loop ? 1 : 0);
    w.U32(0);  // sampler data
    if (loop) {
        w.U32(0);  // cue point id
        w.U32(0);  // forward
        w.U32(loop->Start);
        w.U32(loop->End);
        w.U32(0);  // fraction
        w.U32(0);  // play forever
    }
    return bytes;
}

}  // namespace norv::import
