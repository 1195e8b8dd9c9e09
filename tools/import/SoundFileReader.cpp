#include "tools/import/SoundFileReader.h"

#include <algorithm>
#include <cstring>

#include "tools/import/ImportError.h"

namespace norv::import {
namespace {

// libsndfile's virtual I/O over bytes in memory; user data is the Memory.
template <typename M>
struct MemoryIo {
    static sf_count_t Length(void* user) { return static_cast<sf_count_t>(static_cast<M*>(user)->Bytes.size()); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
        M& m = *static_cast<M*>(user);
        const sf_count_t size = Length(user);
        sf_count_t to = whence == SEEK_SET ? offset : whence == SEEK_CUR ? m.At + offset : size + offset;
        m.At = std::clamp<sf_count_t>(to, 0, size);
        return m.At;
    }
    static sf_count_t Read(void* out, sf_count_t count, void* user) {
        M& m = *static_cast<M*>(user);
        const sf_count_t n = std::clamp<sf_count_t>(Length(user) - m.At, 0, count);
        if (n > 0) std::memcpy(out, m.Bytes.data() + m.At, static_cast<size_t>(n));
        m.At += n;
        return n;
    }
    static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t Tell(void* user) { return static_cast<M*>(user)->At; }
};

// Past this a sample is no piano note: it would not fit the set anyway.
constexpr int64_t kMaxFrames = int64_t{1} << 28;

}  // namespace

SoundFileReader SoundFileReader::OpenFile(const std::string& path) {
    SoundFileReader r;
    r.what_ = path;
    r.file_ = sf_open(path.c_str(), SFM_READ, &r.info_);
    r.Check(path);
    return r;
}

SoundFileReader SoundFileReader::OpenBytes(std::span<const uint8_t> bytes, const std::string& what) {
    using Io = MemoryIo<Memory>;
    static SF_VIRTUAL_IO io = {Io::Length, Io::Seek, Io::Read, Io::Write, Io::Tell};
    SoundFileReader r;
    r.what_ = what;
    r.memory_ = std::make_unique<Memory>(Memory{bytes, 0});
    r.file_ = sf_open_virtual(&io, SFM_READ, &r.info_, r.memory_.get());
    r.Check(what);
    return r;
}

void SoundFileReader::Check(const std::string& what) {
    if (!file_) throw ImportError(what + ": cannot be read as audio: " + sf_strerror(nullptr));
    if (info_.channels < 1 || info_.channels > 2)
        throw ImportError(what + ": has " + std::to_string(info_.channels) + " channels; a piano sample has 1 or 2");
    if (info_.samplerate < 1000 || info_.samplerate > 384000)
        throw ImportError(what + ": its sample rate " + std::to_string(info_.samplerate) + " Hz is out of range");
    if (info_.frames < 1 || info_.frames > kMaxFrames)
        throw ImportError(what + ": has " + std::to_string(info_.frames) + " frames");
}

SoundFileReader::~SoundFileReader() {
    if (file_) sf_close(file_);
}

SoundFileReader::SoundFileReader(SoundFileReader&& other) noexcept
    : file_(other.file_), info_(other.info_), what_(std::move(other.what_)), memory_(std::move(other.memory_)) {
    other.file_ = nullptr;
}

std::optional<FrameRange> SoundFileReader::Loop() const {
    SF_INSTRUMENT inst{};
    if (sf_command(file_, SFC_GET_INSTRUMENT, &inst, sizeof inst) != SF_TRUE) return std::nullopt;
    for (int i = 0; i < std::min(inst.loop_count, 16); ++i) {
        // libsndfile gives the end one past the last frame.
        const FrameRange loop{inst.loops[i].start, inst.loops[i].end};
        if (inst.loops[i].mode != SF_LOOP_NONE && loop.Length() > 0 && loop.End <= info_.frames) return loop;
    }
    return std::nullopt;
}

std::optional<int> SoundFileReader::RootKey() const {
    SF_INSTRUMENT inst{};
    if (sf_command(file_, SFC_GET_INSTRUMENT, &inst, sizeof inst) != SF_TRUE) return std::nullopt;
    const int note = inst.basenote;
    if (note < 0 || note > 127) return std::nullopt;
    return note;
}

std::vector<float> SoundFileReader::ReadAll() {
    std::vector<float> frames(static_cast<size_t>(info_.frames) * static_cast<size_t>(info_.channels));
    const sf_count_t got = sf_readf_float(file_, frames.data(), info_.frames);
    if (got != info_.frames)
        throw ImportError(what_ + ": only " + std::to_string(got) + " of its " + std::to_string(info_.frames) +
                          " frames can be decoded (the data is truncated or damaged)");
    return frames;
}

}  // namespace norv::import
