#include "support/WaveWriter.h"

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace norv::test {

std::string Le16(uint16_t value) {
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
}

std::string Le32(uint32_t value) { return Le16(static_cast<uint16_t>(value)) + Le16(static_cast<uint16_t>(value >> 16)); }

std::string Pcm16(const std::vector<int16_t>& values) {
    std::string out;
    for (int16_t v : values) out += Le16(static_cast<uint16_t>(v));
    return out;
}

std::string Pcm24(const std::vector<int32_t>& values) {
    std::string out;
    for (int32_t v : values) out += Le32(static_cast<uint32_t>(v)).substr(0, 3);
    return out;
}

std::string Pcm32(const std::vector<int32_t>& values) {
    std::string out;
    for (int32_t v : values) out += Le32(static_cast<uint32_t>(v));
    return out;
}

std::string Float32(const std::vector<float>& values) {
    std::string out;
    for (float v : values) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        out += Le32(bits);
    }
    return out;
}

WaveFormat WaveFormat::Pcm(uint16_t channels, uint32_t rate, uint16_t bits) {
    return WaveFormat().Tag(1).Channels(channels).Rate(rate).Bits(bits);
}

WaveFormat WaveFormat::Float(uint16_t channels, uint32_t rate) {
    return WaveFormat().Tag(3).Channels(channels).Rate(rate).Bits(32);
}

WaveFormat WaveFormat::Extensible(uint16_t subTag, uint16_t channels, uint32_t rate, uint16_t bits,
                                  uint16_t validBits) {
    static const char guidTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
    const uint32_t mask = channels == 1 ? 0x4 : 0x3;
    std::string extra = Le16(validBits) + Le32(mask) + Le16(subTag) + std::string(guidTail, 14);
    return WaveFormat().Tag(0xFFFE).Channels(channels).Rate(rate).Bits(bits).Extra(extra);
}

std::string WaveFormat::Bytes() const {
    const uint16_t align = blockAlign ? blockAlign : static_cast<uint16_t>(channels * ((bits + 7) / 8));
    const uint32_t perSecond = byteRate ? byteRate : rate * align;
    std::string out = Le16(tag) + Le16(channels) + Le32(rate) + Le32(perSecond) + Le16(align) + Le16(bits);
    if (extra) out += Le16(extraSize ? *extraSize : static_cast<uint16_t>(extra->size())) + *extra;
    return out;
}

std::string SamplerInfo::Bytes() const {
    std::string out = Le32(0) + Le32(0) + Le32(22675) + Le32(unityNote) + Le32(pitchFraction) + Le32(0) + Le32(0) +
                      Le32(loopCount ? *loopCount : static_cast<uint32_t>(loops.size())) + Le32(0);
    for (size_t i = 0; i < loops.size(); ++i)
        out += Le32(static_cast<uint32_t>(i)) + Le32(loops[i].type) + Le32(loops[i].start) + Le32(loops[i].end) +
               Le32(0) + Le32(0);
    return out;
}

WaveWriter& WaveWriter::Format(const WaveFormat& format) { return Chunk("fmt ", format.Bytes()); }
WaveWriter& WaveWriter::Data(std::string_view bytes) { return Chunk("data", bytes); }
WaveWriter& WaveWriter::Sampler(const SamplerInfo& info) { return Chunk("smpl", info.Bytes()); }

WaveWriter& WaveWriter::List(std::string_view type, const WaveWriter& chunks) {
    return Chunk("LIST", std::string(type) + chunks.ChunkBytes());
}

WaveWriter& WaveWriter::Chunk(std::string_view id, std::string_view body) {
    if (id.size() != 4) throw std::invalid_argument("chunk ids have four characters");
    chunks_.push_back(Entry{std::string(id), std::string(body), std::nullopt, true});
    return *this;
}

WaveWriter& WaveWriter::SizeField(uint32_t size) {
    if (chunks_.empty()) throw std::logic_error("no chunk yet");
    chunks_.back().sizeField = size;
    return *this;
}

WaveWriter& WaveWriter::WithoutPad() {
    if (chunks_.empty()) throw std::logic_error("no chunk yet");
    chunks_.back().pad = false;
    return *this;
}

WaveWriter& WaveWriter::RiffSize(uint32_t size) {
    riffSize_ = size;
    return *this;
}

WaveWriter& WaveWriter::FormType(std::string_view type) {
    formType_ = std::string(type);
    return *this;
}

std::string WaveWriter::ChunkBytes() const {
    std::string out;
    for (const Entry& c : chunks_) {
        out += c.id + Le32(c.sizeField ? *c.sizeField : static_cast<uint32_t>(c.body.size())) + c.body;
        if (c.pad && c.body.size() % 2) out += '\0';
    }
    return out;
}

std::string WaveWriter::Bytes() const {
    const std::string body = formType_ + ChunkBytes();
    return "RIFF" + Le32(riffSize_ ? *riffSize_ : static_cast<uint32_t>(body.size())) + body;
}

std::filesystem::path WaveWriter::Write(const std::filesystem::path& file) const {
    const std::string bytes = Bytes();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file;
}

}  // namespace norv::test
