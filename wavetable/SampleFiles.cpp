// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#include "wavetable/SampleFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "wavetable/DSP_Resample.h"
#include "wavetable/WAV.h"

namespace norv {
namespace {

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

FileOpenError::FileOpenError(const std::string& fileName, int error)
    : std::runtime_error("Cannot open file \"" + fileName + "\". " + std::strerror(error)),
      fileName_(fileName),
      error_(error) {}

TWaveFileData LoadWaveFile(const std::string& fileName, bool convert, double hostRate, const TFrameMemory& into) {
    TWaveFileData result;
    TWAVSample sample;
    // The converter reads 16-bit frames straight from the mapping: no copy of
    // the source is made when the rate changes.
    TParseWAV parser;
    parser.SetBorrowInt16(true);
    if (parser.Parse(sample, fileName) != TParseWAV::Ok) return result;
    TOutputMemory memory;
    bool placed = false;  // the frames went where `into` said
    if (into) {
        const int channels = sample.Channels;
        memory = [&into, &placed, channels](size_t bytes) -> void* {
            void* p = into(static_cast<int32_t>(bytes / (2 * static_cast<size_t>(channels))), channels);
            placed = placed || p != nullptr;
            return p;
        };
    }
    try {
        if (convert && sample.SampleRate != hostRate && sample.Frames > 0) {
            result.RateScale = hostRate / sample.SampleRate;
            TResampler(TResampler::LoaderMode).Convert(sample, hostRate, TSampleFormat::Int16, memory);
        }
        if (sample.Format != TSampleFormat::Int16) ConvertFormat(sample, TSampleFormat::Int16, memory);
        if (static_cast<int64_t>(sample.Frames) * sample.FrameSize() > INT32_MAX) return TWaveFileData{};
        if (!sample.Data.Owned() && !placed) {
            // 16-bit frames still in the file's mapping: one copy, to where they belong.
            void* target = memory && sample.Frames > 0 ? memory(sample.Data.Size()) : nullptr;
            if (target) {
                std::memcpy(target, sample.Data.Data(), sample.Data.Size());
                sample.Data = TSampleBlock::Borrow(target, sample.Data.Size());
            } else {
                sample.Data.MakeOwned();
            }
        }
    } catch (const std::exception&) {
        return TWaveFileData{};  // the sample frees its data
    }
    if (sample.Frames <= 0) return TWaveFileData{};
    result.Frames = sample.Frames;
    result.LoopStart = std::max(0, std::min(sample.Frames, sample.LoopStart));
    result.LoopEnd = std::max(result.LoopStart, std::min(sample.Frames - 1, sample.LoopEnd));
    result.Stereo = sample.Channels >= 2;
    result.Data = std::move(sample.Data);
    return result;
}

TRawFileData LoadRawFile(const std::string& fileName) {
    // Non-blocking so that a FIFO cannot hang the open; it is refused below.
    TFd fd(open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) throw FileOpenError(fileName, errno);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) throw FileOpenError(fileName, errno);
    if (S_ISDIR(st.st_mode)) throw FileOpenError(fileName, EISDIR);
    if (!S_ISREG(st.st_mode)) throw FileOpenError(fileName, EINVAL);
    const auto size = static_cast<uint64_t>(st.st_size);
    if (size / 2 > static_cast<uint64_t>(INT32_MAX)) throw FileOpenError(fileName, EFBIG);

    TRawFileData result;
    const size_t wanted = static_cast<size_t>(size / 2) * 2;
    result.Data = TSampleBlock::Allocate(wanted);
    auto* bytes = static_cast<uint8_t*>(result.Data.MutableData());
    size_t got = 0;
    while (got < wanted) {
        const ssize_t n = read(fd.get(), bytes + got, wanted - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileOpenError(fileName, errno);
        }
        if (n == 0) break;  // the file shrank meanwhile
        got += static_cast<size_t>(n);
    }
    got -= got % 2;
    if constexpr (std::endian::native == std::endian::big) {
        for (size_t i = 0; i < got; i += 2) std::swap(bytes[i], bytes[i + 1]);
    }
    result.Data.Shrink(got);
    result.Count = static_cast<int32_t>(got / 2);
    return result;
}

void FloatsToInt16(const float* in, int16_t* out, size_t count) { resample::BestKernels().toInt16(in, out, count); }

void ConvertFormat(TWAVSample& sample, TSampleFormat format, const TOutputMemory& into) {
    if (sample.Format == format) return;
    const size_t values = static_cast<size_t>(std::max(sample.Frames, 0)) * sample.Channels;
    if (sample.Data.Size() < values * (sample.Format == TSampleFormat::Int16 ? 2 : 4))
        throw std::invalid_argument("sample data does not match its layout");
    if (format == TSampleFormat::Int16) {
        const size_t bytes = values * sizeof(int16_t);
        void* given = into && values > 0 ? into(bytes) : nullptr;
        TSampleBlock out = given ? TSampleBlock::Borrow(given, bytes) : TSampleBlock::Allocate(bytes);
        FloatsToInt16(static_cast<const float*>(sample.Data.Data()), static_cast<int16_t*>(given ? given : out.MutableData()),
                      values);
        sample.Data = std::move(out);
    } else {
        TSampleBlock out = TSampleBlock::Allocate(values * sizeof(float));
        const auto* in = static_cast<const int16_t*>(sample.Data.Data());
        auto* o = static_cast<float*>(out.MutableData());
        for (size_t i = 0; i < values; ++i) o[i] = static_cast<float>(in[i]) * resample::Scale16;
        sample.Data = std::move(out);
    }
    sample.Format = format;
}

}  // namespace norv
