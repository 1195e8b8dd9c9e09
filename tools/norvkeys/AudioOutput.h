// Rendered audio written with libsndfile: WAVE or FLAC, stereo, streamed
// block by block to a temporary file beside the target, renamed over the
// target only when complete. Destroying an uncommitted writer removes the
// temporary file, so an error or an interruption leaves nothing behind.
//
// The target "-" is standard output, as WAVE. A WAVE header holds the data's
// size, which is known only at the end, and a pipe cannot be rewound to fill
// it in; so the file is rendered into an unnamed temporary file (unlinked at
// once: nothing is left even if the process is killed) and copied out whole
// when complete. Memory stays flat however long the song, the header is
// exact, and an interrupted render writes nothing at all.
#pragma once

#include <cstdint>
#include <string>

struct sf_private_tag;

namespace norv::tool {

enum class SampleEncoding { Pcm16, Pcm24, Float32 };

struct AudioFormat {
    bool Flac = false;
    SampleEncoding Encoding = SampleEncoding::Pcm16;
};

inline constexpr const char* kStandardOutput = "-";

// The container from the target's extension (.wav or .flac, any letter case;
// WAVE for standard output) and the encoding from --bits (16, 24 or 32f;
// FLAC holds 16 and 24 only).
// Throws std::runtime_error naming the file or the option and the reason.
AudioFormat ChooseAudioFormat(const std::string& path, const std::string& bits);
// "16-bit WAVE", "24-bit FLAC", "32-bit float WAVE".
std::string Describe(const AudioFormat& format);

// While alive, descriptor 1 is standard error, so whatever the process or the
// plug-in prints cannot mix into audio on standard output; Fd() is the real
// standard output. SIGPIPE is ignored meanwhile: a closed pipe becomes an
// error to report and clean up after, not a silent death.
class StandardOutputClaim {
public:
    // Throws std::runtime_error when standard output is closed.
    StandardOutputClaim();
    ~StandardOutputClaim();
    StandardOutputClaim(const StandardOutputClaim&) = delete;
    StandardOutputClaim& operator=(const StandardOutputClaim&) = delete;

    int Fd() const { return fd_; }

private:
    int fd_ = -1;
    void (*oldPipe_)(int) = nullptr;
};

class AudioFileWriter {
public:
    // Creates the temporary file; throws std::runtime_error naming `path`.
    // For standard output, `streamFd` is where Commit copies the file.
    AudioFileWriter(std::string path, const AudioFormat& format, int sampleRate, int streamFd = -1);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Interleaved stereo. Integer encodings clip at full scale.
    void Write(const float* interleaved, int32_t frames);
    // Finishes the file and renames it to the target (or copies it out).
    void Commit();
    // "standard output" or the path.
    const std::string& Name() const { return name_; }

    int64_t Frames() const { return frames_; }
    // Largest absolute sample value written.
    float Peak() const { return peak_; }
    // Samples beyond full scale that an integer encoding had to clip.
    int64_t Clipped() const { return clipped_; }

private:
    void Abandon();
    void CopyOut();

    std::string path_;
    std::string name_;
    std::string temp_;  // a named temporary file, renamed on Commit
    int tempFd_ = -1;   // the unnamed one for standard output
    int streamFd_ = -1;
    AudioFormat format_;
    sf_private_tag* file_ = nullptr;
    int64_t frames_ = 0;
    float peak_ = 0.0f;
    int64_t clipped_ = 0;
    bool committed_ = false;
};

}  // namespace norv::tool
