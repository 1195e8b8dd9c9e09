// Builds RIFF WAVE files chunk by chunk for tests, including malformed ones:
// any format fields, odd sizes with or without pad bytes, any chunk order,
// size fields that lie.
//
//   std::string bytes = WaveWriter()
//       .Format(WaveFormat::Pcm(1, 44100, 16))
//       .Data(Pcm16({0, 100, -100}))
//       .Sampler(SamplerInfo().Unity(64).Loop(0, 2))
//       .Bytes();
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norv::test {

// The body of a "fmt " chunk. Fields are public; the setters chain.
struct WaveFormat {
    WaveFormat() = default;

    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    uint16_t blockAlign = 0;  // 0: channels x whole bytes per sample
    uint32_t byteRate = 0;    // 0: rate x block alignment
    // Absent: the 16-byte form. Present: an extra-size field (its length
    // unless extraSize says otherwise) and these bytes follow.
    std::optional<std::string> extra;
    std::optional<uint16_t> extraSize;

    static WaveFormat Pcm(uint16_t channels, uint32_t rate, uint16_t bits);
    static WaveFormat Float(uint16_t channels, uint32_t rate);  // IEEE float, 32 bits
    // WAVE_FORMAT_EXTENSIBLE around the format tag `subTag`.
    static WaveFormat Extensible(uint16_t subTag, uint16_t channels, uint32_t rate, uint16_t bits,
                                 uint16_t validBits);

    WaveFormat& Tag(uint16_t v) { tag = v; return *this; }
    WaveFormat& Channels(uint16_t v) { channels = v; return *this; }
    WaveFormat& Rate(uint32_t v) { rate = v; return *this; }
    WaveFormat& Bits(uint16_t v) { bits = v; return *this; }
    WaveFormat& BlockAlign(uint16_t v) { blockAlign = v; return *this; }
    WaveFormat& ByteRate(uint32_t v) { byteRate = v; return *this; }
    WaveFormat& Extra(std::string bytes) { extra = std::move(bytes); return *this; }
    WaveFormat& ExtraSize(uint16_t v) { extraSize = v; return *this; }

    std::string Bytes() const;
};

struct SampleLoop {
    uint32_t start = 0;
    uint32_t end = 0;   // inclusive
    uint32_t type = 0;  // 0 forward, 1 alternating
};

// The body of a "smpl" chunk. Fields are public; the setters chain.
struct SamplerInfo {
    SamplerInfo() = default;

    uint32_t unityNote = 60;
    uint32_t pitchFraction = 0;
    std::vector<SampleLoop> loops;
    std::optional<uint32_t> loopCount;  // the count field; default loops.size()

    SamplerInfo& Unity(uint32_t note) { unityNote = note; return *this; }
    SamplerInfo& Fraction(uint32_t fraction) { pitchFraction = fraction; return *this; }
    SamplerInfo& Loop(uint32_t start, uint32_t end, uint32_t type = 0) {
        loops.push_back(SampleLoop{start, end, type});
        return *this;
    }
    SamplerInfo& LoopCount(uint32_t count) { loopCount = count; return *this; }

    std::string Bytes() const;
};

class WaveWriter {
public:
    WaveWriter& Format(const WaveFormat& format);
    WaveWriter& Data(std::string_view bytes);
    WaveWriter& Sampler(const SamplerInfo& info);
    // A "LIST" chunk of the given type holding `chunks`' chunks.
    WaveWriter& List(std::string_view type, const WaveWriter& chunks);
    WaveWriter& Chunk(std::string_view id, std::string_view body);

    // Change the chunk added last: the size its header claims, or no pad
    // byte after an odd-sized body.
    WaveWriter& SizeField(uint32_t size);
    WaveWriter& WithoutPad();

    // The "RIFF" header's size field; default: the true size.
    WaveWriter& RiffSize(uint32_t size);
    // The form type after the size; default "WAVE".
    WaveWriter& FormType(std::string_view type);

    // The chunks as they follow the header.
    std::string ChunkBytes() const;
    // The whole file.
    std::string Bytes() const;
    // Writes the whole file and returns its path.
    std::filesystem::path Write(const std::filesystem::path& file) const;

private:
    struct Entry {
        std::string id;
        std::string body;
        std::optional<uint32_t> sizeField;
        bool pad = true;
    };
    std::vector<Entry> chunks_;
    std::optional<uint32_t> riffSize_;
    std::string formType_ = "WAVE";
};

// Little-endian encodings of sample values.
std::string Pcm16(const std::vector<int16_t>& values);
std::string Pcm24(const std::vector<int32_t>& values);  // low 24 bits of each
std::string Pcm32(const std::vector<int32_t>& values);
std::string Float32(const std::vector<float>& values);
std::string Le16(uint16_t value);
std::string Le32(uint32_t value);

}  // namespace norv::test
