#include "wavetable/WAV.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace norv {
namespace {

constexpr uint16_t TagPCM = 1;
constexpr uint16_t TagIEEEFloat = 3;
constexpr uint16_t TagExtensible = 0xFFFE;
constexpr size_t FormatRecordSize = 40;
// Lists nest rarely; the bound keeps a hostile file from exhausting the stack.
constexpr int MaxListDepth = 16;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
bool IsId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// A 24-bit (or 20-bit, left-aligned) little-endian value as float, full scale 1.0.
float Int24ToFloat(const uint8_t* p) {
    const int32_t v = static_cast<int32_t>((static_cast<uint32_t>(p[0]) << 8) | (static_cast<uint32_t>(p[1]) << 16) |
                                           (static_cast<uint32_t>(p[2]) << 24)) >> 8;
    return static_cast<float>(v) * (1.0f / 8388608.0f);
}
float Int32ToFloat(const uint8_t* p) {
    return static_cast<float>(static_cast<int32_t>(Le32(p))) * (1.0f / 2147483648.0f);
}

// What libsndfile reads: a header made here around the data chunk's bytes,
// so that it decodes exactly the chunks the walk chose.
struct TVirtualWave {
    std::vector<uint8_t> head;
    const uint8_t* body;
    size_t bodySize;
    sf_count_t pos = 0;

    sf_count_t Length() const { return static_cast<sf_count_t>(head.size() + bodySize); }
};

sf_count_t VioLength(void* user) { return static_cast<TVirtualWave*>(user)->Length(); }

sf_count_t VioSeek(sf_count_t offset, int whence, void* user) {
    auto* v = static_cast<TVirtualWave*>(user);
    sf_count_t base = whence == SEEK_CUR ? v->pos : whence == SEEK_END ? v->Length() : 0;
    v->pos = std::max<sf_count_t>(0, base + offset);
    return v->pos;
}

sf_count_t VioRead(void* ptr, sf_count_t count, void* user) {
    auto* v = static_cast<TVirtualWave*>(user);
    auto* out = static_cast<uint8_t*>(ptr);
    sf_count_t done = 0;
    const auto headSize = static_cast<sf_count_t>(v->head.size());
    while (done < count && v->pos < v->Length()) {
        const uint8_t* src;
        sf_count_t avail;
        if (v->pos < headSize) {
            src = v->head.data() + v->pos;
            avail = headSize - v->pos;
        } else {
            src = v->body + (v->pos - headSize);
            avail = v->Length() - v->pos;
        }
        const sf_count_t n = std::min(avail, count - done);
        std::memcpy(out + done, src, static_cast<size_t>(n));
        done += n;
        v->pos += n;
    }
    return done;
}

sf_count_t VioWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t VioTell(void* user) { return static_cast<TVirtualWave*>(user)->pos; }

void PutChunkHeader(uint8_t* at, const char* id, uint32_t size) {
    std::memcpy(at, id, 4);
    for (int i = 0; i < 4; ++i) at[4 + i] = static_cast<uint8_t>(size >> (8 * i));
}

class TSndFile {
public:
    explicit TSndFile(SNDFILE* f) : f_(f) {}
    ~TSndFile() {
        if (f_) sf_close(f_);
    }
    TSndFile(const TSndFile&) = delete;
    TSndFile& operator=(const TSndFile&) = delete;
    SNDFILE* get() const { return f_; }

private:
    SNDFILE* f_;
};

// Decodes an encoding that our own decoders do not handle to 16-bit frames.
// False when libsndfile cannot read it.
bool DecodeWithSndfile(const uint8_t* format, size_t formatSize, const uint8_t* data, size_t dataSize, int channels,
                       TSampleBlock& result, int32_t& frames) {
    frames = 0;
    result.Reset();
    TVirtualWave wave{{}, data, dataSize};
    const size_t formatPadded = formatSize + (formatSize & 1);
    const size_t riffSize = std::min<uint64_t>(4 + 8 + formatPadded + 8 + dataSize, UINT32_MAX);
    wave.head.assign(28 + formatPadded, 0);
    uint8_t* h = wave.head.data();
    PutChunkHeader(h, "RIFF", static_cast<uint32_t>(riffSize));
    std::memcpy(h + 8, "WAVE", 4);
    PutChunkHeader(h + 12, "fmt ", static_cast<uint32_t>(formatSize));
    std::memcpy(h + 20, format, formatSize);
    PutChunkHeader(h + 20 + formatPadded, "data", static_cast<uint32_t>(dataSize));

    SF_VIRTUAL_IO io{VioLength, VioSeek, VioRead, VioWrite, VioTell};
    SF_INFO info{};
    TSndFile file(sf_open_virtual(&io, SFM_READ, &info, &wave));
    if (!file.get() || info.channels != channels) return false;

    // The header's frame count is only a hint: a hostile header can claim any
    // number, so the block grows with what really decodes.
    const size_t frameBytes = static_cast<size_t>(channels) * 2;
    const size_t maxFrames = static_cast<size_t>(INT32_MAX) / frameBytes;
    size_t capacity = std::min<size_t>(info.frames > 0 ? static_cast<size_t>(info.frames) : 0, dataSize * 16 / frameBytes);
    capacity = std::clamp<size_t>(capacity, 1024, maxFrames);
    auto* block = static_cast<int16_t*>(std::malloc(capacity * frameBytes));
    if (!block) return false;
    TSampleBlock owner = TSampleBlock::Adopt(block, capacity * frameBytes);

    const int sub = info.format & SF_FORMAT_SUBMASK;
    const bool floating = sub == SF_FORMAT_FLOAT || sub == SF_FORMAT_DOUBLE;
    std::vector<double> scratch;
    if (floating) scratch.resize(4096 * static_cast<size_t>(channels));
    size_t got = 0;
    for (;;) {
        if (got == capacity) {
            if (capacity == maxFrames) break;
            const size_t grown = std::min(maxFrames, capacity * 2);
            void* old = owner.Release();
            void* p = std::realloc(old, grown * frameBytes);
            if (!p) {
                std::free(old);
                return false;
            }
            owner = TSampleBlock::Adopt(p, grown * frameBytes);
            capacity = grown;
        }
        auto* out = static_cast<int16_t*>(owner.MutableData()) + got * static_cast<size_t>(channels);
        sf_count_t n;
        if (floating) {
            // Scaled by our own rule, not by libsndfile's float-to-short path.
            const auto want = static_cast<sf_count_t>(std::min<size_t>(4096, capacity - got));
            n = sf_readf_double(file.get(), scratch.data(), want);
            for (sf_count_t i = 0; i < n * channels; ++i) out[i] = SampleToInt16(scratch[static_cast<size_t>(i)]);
        } else {
            n = sf_readf_short(file.get(), out, static_cast<sf_count_t>(capacity - got));
        }
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    owner.Shrink(got * frameBytes);
    frames = static_cast<int32_t>(got);
    result = std::move(owner);
    return true;
}

}  // namespace

struct TParseWAV::TMapping {
    void* base;
    size_t size;
    TMapping(void* b, size_t s) : base(b), size(s) {}
    ~TMapping() { munmap(base, size); }
};

TParseWAV::TParseWAV() = default;
TParseWAV::~TParseWAV() = default;

int TParseWAV::Parse(TWAVSample& sample, const std::string& fileName) {
    sample.Reset();
    mapping_.reset();
    // Non-blocking so that a FIFO cannot hang the open; it is refused below.
    const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return CannotOpen;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return CannotOpen;
    }
    const auto size = static_cast<size_t>(st.st_size);
    int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
    // The whole file is read anyway; one populate beats a fault per page.
    flags |= MAP_POPULATE;
#endif
    void* base = size ? mmap(nullptr, size, PROT_READ, flags, fd, 0) : MAP_FAILED;
    close(fd);
    if (base == MAP_FAILED) return CannotMap;
    auto mapping = std::make_unique<TMapping>(base, size);
    const int result = ParseBytes(sample, static_cast<const uint8_t*>(base), size);
    if (result == Ok && !sample.Data.Empty() && !sample.Data.Owned()) mapping_ = std::move(mapping);
    return result;
}

int TParseWAV::Parse(TWAVSample& sample, const void* bytes, size_t size) {
    sample.Reset();
    mapping_.reset();
    return ParseBytes(sample, static_cast<const uint8_t*>(bytes), size);
}

int TParseWAV::ParseBytes(TWAVSample& sample, const uint8_t* bytes, size_t size) {
    bytes_ = bytes;
    format_.clear();
    formatChunkSize_ = 0;
    haveFormat_ = haveData_ = decodeFailed_ = false;
    listType_.clear();

    if (size < 12 || !IsId(bytes, "RIFF") || !IsId(bytes + 8, "WAVE")) return NotWave;
    const uint32_t riffSize = Le32(bytes + 4);
    size_t end = size;
    if (static_cast<int32_t>(riffSize) != -8 && static_cast<uint64_t>(riffSize) + 8 < size) end = riffSize + size_t{8};
    Walk(sample, 12, end, 0);
    bytes_ = nullptr;

    if (!haveFormat_ || !haveData_ || decodeFailed_) {
        sample.Reset();
        return NotWave;
    }
    sample.MakeLoopConsistent();
    return Ok;
}

void TParseWAV::Walk(TWAVSample& sample, size_t offset, size_t end, int depth) {
    while (offset + 8 < end) {
        const uint8_t* id = bytes_ + offset;
        const auto declared = static_cast<int32_t>(Le32(bytes_ + offset + 4));
        if (declared < 0) break;
        const size_t bodyOffset = offset + 8;
        const size_t size = std::min(static_cast<size_t>(declared), end - bodyOffset);
        const uint8_t* body = bytes_ + bodyOffset;

        if (IsId(id, "fmt ")) {
            if (!haveFormat_) ReadFormat(body, size);
        } else if (IsId(id, "data")) {
            if (haveFormat_ && !haveData_) {
                haveData_ = true;
                decodeFailed_ = !Decode(sample, body, size);
            }
        } else if (IsId(id, "LIST")) {
            if (size >= 4) {
                listType_.assign(reinterpret_cast<const char*>(body), 4);
                if (depth < MaxListDepth) Walk(sample, bodyOffset + 4, bodyOffset + size, depth + 1);
            }
        } else if (IsId(id, "smpl")) {
            ReadSampler(sample, body, size);
        } else if (IsId(id, "inst")) {
            if (size >= 7 && body[0] <= 127) sample.RootNote = body[0];
        }
        // "cue ", "acid", "strc", "tlst", "labl", "note", "ltxt" describe
        // markers, regions and tempo, which nothing here uses: skipped.
        offset = bodyOffset + size + ((offset + size) & 1);
    }
}

void TParseWAV::ReadFormat(const uint8_t* body, size_t size) {
    haveFormat_ = true;
    formatChunkSize_ = size;
    // Zero-filled first, so a 16-byte chunk reads as a format without extra bytes.
    format_.assign(std::max(size, FormatRecordSize), 0);
    std::memcpy(format_.data(), body, size);
}

void TParseWAV::ReadSampler(TWAVSample& sample, const uint8_t* body, size_t size) {
    if (size < 36) return;
    const uint32_t unity = Le32(body + 12);
    sample.RootNote = unity <= 127 ? static_cast<int32_t>(unity) : 60;
    sample.FineTune = Le32(body + 16);
    const uint32_t loops = Le32(body + 28);
    if (loops < 1 || size < 36 + 24) return;
    const uint8_t* loop = body + 36;
    const uint32_t type = Le32(loop + 4);
    const uint32_t start = Le32(loop + 8);
    const uint32_t end = Le32(loop + 12);
    if (end < start) return;
    sample.LoopStart = static_cast<int32_t>(std::min<uint32_t>(start, INT32_MAX));
    sample.LoopEnd = static_cast<int32_t>(std::min<uint32_t>(end, INT32_MAX));
    sample.Alternating = type == 1;
}

bool TParseWAV::Decode(TWAVSample& sample, const uint8_t* body, size_t size) {
    const uint8_t* f = format_.data();
    uint16_t tag = Le16(f);
    const uint16_t channels = Le16(f + 2);
    const uint32_t rate = Le32(f + 4);
    const uint16_t blockAlign = Le16(f + 12);
    const uint16_t bits = Le16(f + 14);
    if (tag == TagExtensible && formatChunkSize_ >= FormatRecordSize && Le16(f + 16) >= 22) {
        static constexpr uint8_t Base[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        if (std::memcmp(f + 26, Base, sizeof Base) == 0) tag = Le16(f + 24);
    }
    if (channels < 1 || channels > 2) return false;

    sample.Channels = static_cast<uint8_t>(channels);
    sample.SampleRate = rate;
    auto frameCount = [&](size_t frameBytes) { return std::min<size_t>(size / frameBytes, INT32_MAX); };

    try {
        if (tag == TagIEEEFloat && bits == 32 && blockAlign == 4 * channels) {
            sample.Format = TSampleFormat::Float32;
            const size_t frames = frameCount(blockAlign);
            sample.Data = TSampleBlock::CopyOf(body, frames * blockAlign);
            sample.Frames = static_cast<int32_t>(frames);
        } else if (tag == TagPCM && (bits == 20 || bits == 24) && blockAlign == 3 * channels) {
            sample.Format = TSampleFormat::Float32;
            const size_t frames = frameCount(blockAlign);
            const size_t values = frames * channels;
            sample.Data = TSampleBlock::Allocate(values * sizeof(float));
            auto* out = static_cast<float*>(sample.Data.MutableData());
            for (size_t i = 0; i < values; ++i) out[i] = Int24ToFloat(body + 3 * i);
            sample.Frames = static_cast<int32_t>(frames);
        } else if (tag == TagPCM && bits == 32 && blockAlign == 4 * channels) {
            sample.Format = TSampleFormat::Float32;
            const size_t frames = frameCount(blockAlign);
            const size_t values = frames * channels;
            sample.Data = TSampleBlock::Allocate(values * sizeof(float));
            auto* out = static_cast<float*>(sample.Data.MutableData());
            for (size_t i = 0; i < values; ++i) out[i] = Int32ToFloat(body + 4 * i);
            sample.Frames = static_cast<int32_t>(frames);
        } else if (tag == TagPCM && bits == 16 && blockAlign == 2 * channels) {
            sample.Format = TSampleFormat::Int16;
            const size_t frames = frameCount(blockAlign);
            // The walk keeps chunk offsets even, so the frames are 16-bit aligned
            // inside a page-aligned mapping.
            const bool aligned = reinterpret_cast<uintptr_t>(body) % alignof(int16_t) == 0;
            sample.Data = borrowInt16_ && aligned ? TSampleBlock::Borrow(body, frames * blockAlign)
                                                  : TSampleBlock::CopyOf(body, frames * blockAlign);
            sample.Frames = static_cast<int32_t>(frames);
        } else {
            sample.Format = TSampleFormat::Int16;
            int32_t frames = 0;
            if (!DecodeWithSndfile(f, formatChunkSize_, body, size, channels, sample.Data, frames)) return false;
            sample.Frames = frames;
        }
    } catch (const std::bad_alloc&) {
        sample.Data.Reset();
        sample.Frames = 0;
        return false;
    }
    return true;
}

}  // namespace norv
