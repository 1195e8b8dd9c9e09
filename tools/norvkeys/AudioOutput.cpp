#include "tools/norvkeys/AudioOutput.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "base/TextCase.h"

namespace norv::tool {
namespace {

std::string Extension(const std::string& path) { return LowerCase(std::filesystem::path(path).extension().string()); }

int SndfileFormat(const AudioFormat& f) {
    int sub = SF_FORMAT_PCM_16;
    if (f.Encoding == SampleEncoding::Pcm24) sub = SF_FORMAT_PCM_24;
    if (f.Encoding == SampleEncoding::Float32) sub = SF_FORMAT_FLOAT;
    return (f.Flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | sub;
}

}  // namespace

AudioFormat ChooseAudioFormat(const std::string& path, const std::string& bits) {
    AudioFormat f;
    const std::string ext = path == kStandardOutput ? ".wav" : Extension(path);
    if (ext == ".flac")
        f.Flac = true;
    else if (ext != ".wav")
        throw std::runtime_error(path + ": unknown output type \"" + ext + "\" (use .wav or .flac)");
    if (bits == "16")
        f.Encoding = SampleEncoding::Pcm16;
    else if (bits == "24")
        f.Encoding = SampleEncoding::Pcm24;
    else if (bits == "32f")
        f.Encoding = SampleEncoding::Float32;
    else
        throw std::runtime_error("--bits " + bits + ": use 16, 24 or 32f");
    if (f.Flac && f.Encoding == SampleEncoding::Float32)
        throw std::runtime_error(path + ": FLAC holds 16- or 24-bit samples only; use --bits 16 or 24, or a .wav file");
    return f;
}

std::string Describe(const AudioFormat& f) {
    const char* enc = f.Encoding == SampleEncoding::Pcm16 ? "16-bit" : f.Encoding == SampleEncoding::Pcm24 ? "24-bit" : "32-bit float";
    return std::string(enc) + (f.Flac ? " FLAC" : " WAVE");
}

namespace {

// Permissions as a plain create would give them: mkstemp makes files private.
void UsualPermissions(int fd) {
    const mode_t mask = umask(0);
    umask(mask);
    (void)fchmod(fd, 0666 & ~mask);
}

// A file in the temporary folder that has no name from the start: nothing to
// clean up, however the process ends. Throws naming `user`.
int UnnamedTempFile(const std::string& user) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
    std::string temp = ((ec ? std::filesystem::path("/tmp") : folder) / "norvkeys-out-XXXXXX").string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
        const int error = errno;
        throw std::runtime_error(user + ": cannot make a temporary file in " + temp + ": " + std::strerror(error));
    }
    unlink(temp.c_str());
    return fd;
}

}  // namespace

StandardOutputClaim::StandardOutputClaim() {
    std::fflush(stdout);
    fd_ = fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (fd_ < 0) throw std::runtime_error(std::string("standard output: cannot write: ") + std::strerror(errno));
    dup2(2, 1);
    oldPipe_ = std::signal(SIGPIPE, SIG_IGN);
}

StandardOutputClaim::~StandardOutputClaim() {
    std::fflush(stdout);
    dup2(fd_, 1);
    close(fd_);
    std::signal(SIGPIPE, oldPipe_ == SIG_ERR ? SIG_DFL : oldPipe_);
}

AudioFileWriter::AudioFileWriter(std::string path, const AudioFormat& format, int sampleRate, int streamFd)
    : path_(std::move(path)), format_(format) {
    const bool toStream = path_ == kStandardOutput;
    name_ = toStream ? "standard output" : path_;
    int fd = -1;
    if (toStream) {
        if (streamFd < 0) throw std::runtime_error(name_ + ": cannot write: " + std::strerror(EBADF));
        streamFd_ = streamFd;
        tempFd_ = fd = UnnamedTempFile(name_);
    } else {
        const std::filesystem::path target(path_);
        if (target.filename().empty()) throw std::runtime_error(path_ + ": cannot write: " + std::strerror(EISDIR));
        // Same folder as the target, so the final rename never crosses file systems.
        temp_ = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
        fd = mkstemp(temp_.data());
        if (fd < 0) {
            const int error = errno;
            temp_.clear();
            throw std::runtime_error(path_ + ": cannot write: " + std::strerror(error));
        }
        UsualPermissions(fd);
    }

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SndfileFormat(format_);
    if (!sf_format_check(&info)) {
        if (!toStream) close(fd);
        Abandon();
        throw std::runtime_error(name_ + ": " + Describe(format_) + " at " + std::to_string(sampleRate) +
                                 " Hz is not supported");
    }
    // The unnamed file stays open after libsndfile is done: it is copied out then.
    file_ = sf_open_fd(fd, SFM_WRITE, &info, toStream ? SF_FALSE : SF_TRUE);
    if (!file_) {
        const std::string reason = sf_strerror(nullptr);
        if (!toStream) close(fd);
        Abandon();
        throw std::runtime_error(name_ + ": cannot write: " + reason);
    }
    if (format_.Encoding != SampleEncoding::Float32) sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter() {
    if (!committed_) Abandon();
}

void AudioFileWriter::Abandon() {
    if (file_) sf_close(file_);
    file_ = nullptr;
    if (!temp_.empty()) unlink(temp_.c_str());
    temp_.clear();
    if (tempFd_ >= 0) close(tempFd_);
    tempFd_ = -1;
}

void AudioFileWriter::Write(const float* interleaved, int32_t frames) {
    if (!file_) throw std::runtime_error(name_ + ": cannot write: the file is closed");
    const bool clips = format_.Encoding != SampleEncoding::Float32;
    for (int32_t i = 0; i < 2 * frames; ++i) {
        const float a = std::fabs(interleaved[i]);
        if (a > peak_ || std::isnan(a)) peak_ = a;
        if (clips && a > 1.0f) ++clipped_;
    }
    if (sf_writef_float(file_, interleaved, frames) != frames)
        throw std::runtime_error(name_ + ": cannot write: " + sf_strerror(file_));
    frames_ += frames;
}

void AudioFileWriter::Commit() {
    if (!file_) throw std::runtime_error(name_ + ": cannot write: the file is closed");
    sf_write_sync(file_);
    const int closeError = sf_close(file_);
    file_ = nullptr;
    if (closeError != 0) {
        const std::string reason = sf_error_number(closeError);
        Abandon();
        throw std::runtime_error(name_ + ": cannot write: " + reason);
    }
    if (tempFd_ >= 0) {
        CopyOut();
        committed_ = true;
        return;
    }
    if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
        const int error = errno;
        Abandon();
        throw std::runtime_error(path_ + ": cannot write: " + std::strerror(error));
    }
    temp_.clear();
    committed_ = true;
}

void AudioFileWriter::CopyOut() {
    int error = lseek(tempFd_, 0, SEEK_SET) < 0 ? errno : 0;
    char buffer[1 << 16];
    while (!error) {
        const ssize_t got = read(tempFd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = errno;
        if (got <= 0) break;
        for (ssize_t done = 0; done < got && !error;) {
            const ssize_t n = write(streamFd_, buffer + done, static_cast<size_t>(got - done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            else done += n;
        }
    }
    close(tempFd_);
    tempFd_ = -1;
    if (error) throw std::runtime_error(name_ + ": cannot write: " + std::strerror(error));
}

}  // namespace norv::tool
