// Sample-rate conversion of a TWAVSample.
//
// Quality modes: only mode 2, the one the loader uses, is built: a 6-point,
// 5th-order polynomial (half-width 3). The others are not: mode 1 would
// interpolate linearly between x(0) and x(1); modes 3 to 6 use windowed
// kernels of half-width 32, 64, 128 and 256 frames (for steps above 1 the
// rounded step rounded up to a multiple of 4, within the mode's width and
// 512); mode 7 low-passes the sample with an FFT filter when the ratio is
// below 1 and then uses mode 6.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "wavetable/WAVUnit.h"

namespace norv {

namespace resample {
struct TKernelTable;
}

// Memory for converted frames: bytes -> where to write them (or nullptr).
using TOutputMemory = std::function<void*(size_t bytes)>;

// Which code computes the kernel. Reference is the plain, literal scalar
// form, kept as the oracle: all others give its results bit for bit.
enum class TResampleKernels { Reference, Portable, AVX2, AVX512, Best };

// Whether the kernels are built here and this CPU runs them.
bool ResampleKernelsAvailable(TResampleKernels kernels);
const char* ResampleKernelsName(TResampleKernels kernels);

class TResampler {
public:
    static constexpr int LoaderMode = 2;

    // Throws std::invalid_argument for a mode that is not built.
    explicit TResampler(int mode = LoaderMode, TResampleKernels kernels = TResampleKernels::Best);

    // Converts the frames to newRate; the sample's rate becomes newRate.
    // Nothing else changes when the ratio is exactly 1 or there is no data.
    // Output format Float32 is the converter's own; Int16 gives what
    // converting that float output to 16-bit would give, without the float
    // copy. Loop points scale with the ratio. Reports progress after every
    // block of 1024 frames. Throws (sample unchanged) for an output that
    // does not fit (std::length_error) or memory (std::bad_alloc).
    // `into`, when given, supplies the output memory (the sample then borrows
    // it); returning nullptr falls back to a block of the sample's own.
    void Convert(TWAVSample& sample, double newRate, TSampleFormat output = TSampleFormat::Float32,
                 const TOutputMemory& into = {});

    // Round(ratio x frames) when it fits maxFrames; std::length_error otherwise.
    static int32_t OutputLength(double ratio, int32_t frames, int32_t maxFrames);

private:
    float Fetch(int64_t frame, int channel) const;
    void Advance();
    void RunReference(void* out, bool out16);
    void RunFast(void* out, bool out16);
    // The first frames of a block in one call where the kernels allow it;
    // returns how many.
    int32_t Stepped(int32_t count, void* out, bool out16);
    void Edge(int32_t i, float z, void* out, size_t frame, bool out16);

    int mode_;
    int halfWidth_ = 3;
    bool reference_;
    const resample::TKernelTable* kernels_;

    // The conversion in progress.
    const void* data_ = nullptr;
    int channels_ = 1;
    bool isFloat_ = false;
    int32_t firstFrame_ = 0;
    int32_t lastFrame_ = 0;
    int32_t loopStart_ = 0;
    int32_t loopEnd_ = 0;  // exclusive
    bool looping_ = false;
    double position_ = 0;
    double step_ = 1;
    int32_t outputLength_ = 0;
    // Six frames of one channel around a position near the ends.
    float history_[6] = {};
    std::vector<int32_t> blockIndex_;
    std::vector<float> blockFraction_;
};

// Sets the sample's rate; a non-zero mode converts the frames when the rate
// differs (32-bit float output).
void SetSampleRate(TWAVSample& sample, int mode, double rate);

}  // namespace norv
