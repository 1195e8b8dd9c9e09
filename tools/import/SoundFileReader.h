// Audio through libsndfile: WAVE, FLAC and Ogg Vorbis files, and Ogg Vorbis
// streams held in memory (the samples of an SF3 file).
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/import/SourceRegion.h"

namespace norv::import {

class SoundFileReader {
public:
    // Throw ImportError naming `what` and libsndfile's reason.
    static SoundFileReader OpenFile(const std::string& path);
    static SoundFileReader OpenBytes(std::span<const uint8_t> bytes, const std::string& what);
    ~SoundFileReader();
    SoundFileReader(SoundFileReader&& other) noexcept;
    SoundFileReader& operator=(SoundFileReader&&) = delete;
    SoundFileReader(const SoundFileReader&) = delete;

    double Rate() const { return info_.samplerate; }
    int Channels() const { return info_.channels; }
    int64_t Frames() const { return info_.frames; }
    // The first sustain loop and the unity note of a file's sampler chunk.
    std::optional<FrameRange> Loop() const;
    std::optional<int> RootKey() const;

    // Every frame, interleaved; throws ImportError when fewer can be read.
    std::vector<float> ReadAll();

private:
    struct Memory {
        std::span<const uint8_t> Bytes;
        sf_count_t At = 0;
    };
    SoundFileReader() = default;
    void Check(const std::string& what);

    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    std::string what_;
    std::unique_ptr<Memory> memory_;
};

}  // namespace norv::import
