// Rendered audio written with libsndfile: WAVE or FLAC, stereo, streamed
// block by block to a temporary file beside the target, renamed over the
// target only when complete. Destroying an uncommitted writer removes the
// temporary file, so an error or an interruption leaves nothing behind.
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

// The container from the target's extension (.wav or .flac, any letter case)
// and the encoding from --bits (16, 24 or 32f; FLAC holds 16 and 24 only).
// Throws std::runtime_error naming the file or the option and the reason.
AudioFormat ChooseAudioFormat(const std::string& path, const std::string& bits);
// "16-bit WAVE", "24-bit FLAC", "32-bit float WAVE".
std::string Describe(const AudioFormat& format);

class AudioFileWriter {
public:
    // Creates the temporary file; throws std::runtime_error naming `path`.
    AudioFileWriter(std::string path, const AudioFormat& format, int sampleRate);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // Interleaved stereo. Integer encodings clip at full scale.
    void Write(const float* interleaved, int32_t frames);
    // Finishes the file and renames it to the target.
    void Commit();

    int64_t Frames() const { return frames_; }
    // Largest absolute sample value written.
    float Peak() const { return peak_; }
    // Samples beyond full scale that an integer encoding had to clip.
    int64_t Clipped() const { return clipped_; }

private:
    void Abandon();

    std::string path_;
    std::string temp_;
    AudioFormat format_;
    sf_private_tag* file_ = nullptr;
    int64_t frames_ = 0;
    float peak_ = 0.0f;
    int64_t clipped_ = 0;
    bool committed_ = false;
};

}  // namespace norv::tool
