// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

#include "wavetable/DSP_Resample.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "base/CpuFeatures.h"
#include "base/NumberFormat.h"
#include "base/ProgressHook.h"

namespace norv {
namespace {

using resample::BlockFrames;

const resample::TKernelTable* TableFor(TResampleKernels kernels) {
    switch (kernels) {
        case TResampleKernels::Reference:
        case TResampleKernels::Portable:
            return &resample::PortableKernels();
        case TResampleKernels::AVX2:
            return CpuRuns(TSimdLevel::AVX2) ? resample::AVX2Kernels() : nullptr;
        case TResampleKernels::AVX512:
            return CpuRuns(TSimdLevel::AVX512) ? resample::AVX512Kernels() : nullptr;
        case TResampleKernels::Best:
            if (const auto* t = TableFor(TResampleKernels::AVX512)) return t;
            if (const auto* t = TableFor(TResampleKernels::AVX2)) return t;
            return &resample::PortableKernels();
    }
    return nullptr;
}

}  // namespace

const resample::TKernelTable& resample::BestKernels() { return *TableFor(TResampleKernels::Best); }

int32_t resample::ExactRun(double p, double step, const TLoop& loop, int32_t maxCount, double& s) {
    // Shorter stretches are not worth the set-up.
    constexpr int32_t MinRun = 16;
    if (!(p > 0) || maxCount < MinRun) return 0;
    int exponent;
    std::frexp(p, &exponent);
    const double top = std::ldexp(1.0, exponent);  // p lies in [top / 2, top)
    // The rounded step; the same from a neighbour of other parity means it
    // is no tie, so it is the same from every position in the binade.
    s = (p + step) - p;
    const double below = std::nextafter(p, 0.0);
    if (!(s > 0) || (below + step) - below != s) return 0;
    // Two steps to spare: each sum stays below the binade's top (one grid)
    // and the last position short of the loop's end.
    double room = (top - step - p) / s;
    if (loop.active) room = std::min(room, (loop.end - p) / s);
    room -= 2;
    if (!(room >= MinRun)) return 0;
    return static_cast<int32_t>(std::min<double>(room, maxCount));
}

double resample::FillPositions(const TKernelTable& kernels, double p, double step, const TLoop& loop, int32_t count,
                               int32_t* idx, float* z, bool& wrapped) {
    const double loopLength = static_cast<double>(loop.end - loop.start);
    int32_t n = 0;
    while (n < count) {
        double s = 0;
        const int32_t run = ExactRun(p, step, loop, count - n, s);
        if (run > 0) {
            kernels.positions(p, s, run, idx + n, z + n);
            p += static_cast<double>(run) * s;  // exact, as every p + k s
            n += run;
            continue;
        }
        SplitPosition(p, idx[n], z[n]);
        p += step;
        if (loop.active && p >= loop.end) {
            wrapped = true;
            do p -= loopLength;
            while (p >= loop.end);
        }
        ++n;
    }
    return p;
}

bool ResampleKernelsAvailable(TResampleKernels kernels) { return TableFor(kernels) != nullptr; }

const char* ResampleKernelsName(TResampleKernels kernels) {
    switch (kernels) {
        case TResampleKernels::Reference: return "reference";
        case TResampleKernels::Portable: return "portable";
        case TResampleKernels::AVX2: return "avx2";
        case TResampleKernels::AVX512: return "avx512";
        case TResampleKernels::Best: return "best";
    }
    return "?";
}

TResampler::TResampler(int mode, TResampleKernels kernels)
    : mode_(mode), reference_(kernels == TResampleKernels::Reference), kernels_(TableFor(kernels)) {
    if (mode_ != LoaderMode) throw std::invalid_argument("resampler mode " + std::to_string(mode) + " is not built");
    if (!kernels_) throw std::invalid_argument(std::string("resampler kernels not available: ") + ResampleKernelsName(kernels));
    blockIndex_.resize(BlockFrames);
    blockFraction_.resize(BlockFrames);
}

int32_t TResampler::OutputLength(double ratio, int32_t frames, int32_t maxFrames) {
    const long double exact = static_cast<long double>(ratio) * frames;
    if (!(exact >= 0) || exact >= static_cast<long double>(maxFrames) + 1)
        throw std::length_error("converted sample would be too long");
    const long long rounded = RoundEven(exact);
    if (rounded > maxFrames) throw std::length_error("converted sample would be too long");
    return static_cast<int32_t>(rounded);
}

void TResampler::Convert(TWAVSample& sample, double newRate, TSampleFormat output, const TOutputMemory& into) {
    if (!(newRate > 0) || !std::isfinite(newRate)) throw std::invalid_argument("sample rate must be positive");
    if (sample.Frames <= 0 || sample.Data.Empty()) {
        sample.SampleRate = newRate;
        return;
    }
    const double ratio = newRate / sample.SampleRate;
    if (ratio == 1.0) {
        sample.SampleRate = newRate;
        return;
    }
    if (sample.Channels < 1 || sample.Channels > 2 ||
        sample.Data.Size() < static_cast<size_t>(sample.Frames) * static_cast<size_t>(sample.FrameSize()))
        throw std::invalid_argument("sample data does not match its layout");
    if (sample.Frames > INT32_MAX - 64) throw std::length_error("sample too long to convert");

    const bool out16 = output == TSampleFormat::Int16;
    const int32_t outFrameSize = sample.Channels * (out16 ? 2 : 4);
    outputLength_ = OutputLength(ratio, sample.Frames, INT32_MAX / outFrameSize);
    const size_t outBytes = static_cast<size_t>(outputLength_) * static_cast<size_t>(outFrameSize);
    void* given = into ? into(outBytes) : nullptr;
    TSampleBlock out = given ? TSampleBlock::Borrow(given, outBytes) : TSampleBlock::Allocate(outBytes);
    void* outData = given ? given : out.MutableData();

    data_ = sample.Data.Data();
    channels_ = sample.Channels;
    isFloat_ = sample.Format == TSampleFormat::Float32;
    firstFrame_ = 0;
    lastFrame_ = sample.Frames - 1;
    looping_ = sample.HasLoop() && sample.LoopEnd == lastFrame_ && sample.LoopStart <= sample.LoopEnd;
    loopStart_ = looping_ ? sample.LoopStart : 0;
    loopEnd_ = looping_ ? sample.LoopEnd + 1 : sample.Frames;
    step_ = 1.0 / ratio;
    position_ = 0;
    if (reference_)
        RunReference(outData, out16);
    else
        RunFast(outData, out16);
    data_ = nullptr;

    if (sample.HasLoop()) {
        auto scaled = [&](long double frame) {
            const long double v = std::clamp(static_cast<long double>(ratio) * frame, -1.0L, static_cast<long double>(INT32_MAX));
            return static_cast<int32_t>(RoundEven(v));
        };
        sample.LoopStart = scaled(sample.LoopStart);
        sample.LoopEnd = scaled(static_cast<long double>(sample.LoopEnd) + 1) - 1;
    }
    sample.Data = std::move(out);
    sample.Format = output;
    sample.Frames = outputLength_;
    sample.SampleRate = newRate;
    sample.MakeLoopConsistent();
}

float TResampler::Fetch(int64_t frame, int channel) const {
    if (frame < firstFrame_)
        frame = firstFrame_;
    else if (frame > lastFrame_)
        frame = looping_ ? loopStart_ + (frame - loopEnd_) % (loopEnd_ - loopStart_) : lastFrame_;
    return resample::ReadValue(data_, static_cast<size_t>(frame) * channels_ + channel, isFloat_);
}

void TResampler::Advance() {
    position_ += step_;
    if (looping_)
        while (position_ >= loopEnd_) position_ -= static_cast<double>(loopEnd_ - loopStart_);
}

void TResampler::RunReference(void* out, bool out16) {
    int32_t produced = 0;
    while (produced < outputLength_) {
        const int32_t count = std::min(BlockFrames, outputLength_ - produced);
        for (int32_t n = 0; n < count; ++n) {
            const double p = position_;
            const auto i = static_cast<int64_t>(std::floor(p));
            const auto z = static_cast<float>((p - static_cast<double>(i)) - 0.5);
            for (int c = 0; c < channels_; ++c) {
                const float v = resample::Interpolate6(Fetch(i - 2, c), Fetch(i - 1, c), Fetch(i, c), Fetch(i + 1, c),
                                                       Fetch(i + 2, c), Fetch(i + 3, c), z);
                resample::StoreValue(out, static_cast<size_t>(produced + n) * channels_ + c, v, out16);
            }
            Advance();
        }
        produced += count;
        ReportProgress(produced, outputLength_);
    }
}

void TResampler::Edge(int32_t i, float z, void* out, size_t frame, bool out16) {
    for (int c = 0; c < channels_; ++c) {
        for (int k = 0; k < 6; ++k) history_[k] = Fetch(int64_t{i} + k - 2, c);
        const float v =
            resample::Interpolate6(history_[0], history_[1], history_[2], history_[3], history_[4], history_[5], z);
        resample::StoreValue(out, frame * channels_ + c, v, out16);
    }
}

void TResampler::RunFast(void* out, bool out16) {
    const resample::TSourceView src{data_, lastFrame_ + 1, channels_, isFloat_};
    const size_t outFrameBytes = static_cast<size_t>(channels_) * (out16 ? 2 : 4);
    int32_t* idx = blockIndex_.data();
    float* zs = blockFraction_.data();
    int32_t produced = 0;
    const resample::TLoop loop{looping_, loopStart_, loopEnd_};
    while (produced < outputLength_) {
        const int32_t blockFrames = std::min(BlockFrames, outputLength_ - produced);
        auto* blockOut = static_cast<uint8_t*>(out) + static_cast<size_t>(produced) * outFrameBytes;
        produced += blockFrames;
        const int32_t done = Stepped(blockFrames, blockOut, out16);
        blockOut += static_cast<size_t>(done) * outFrameBytes;
        const int32_t count = blockFrames - done;
        if (count == 0) {
            ReportProgress(produced, outputLength_);
            continue;
        }

        bool wrapped = false;
        position_ = resample::FillPositions(*kernels_, position_, step_, loop, count, idx, zs, wrapped);
        if (!wrapped && resample::IsInterior(idx[0], src.frames) && resample::IsInterior(idx[count - 1], src.frames)) {
            kernels_->run(src, idx, zs, count, blockOut, out16);
        } else {
            int32_t n = 0;
            while (n < count) {
                if (!resample::IsInterior(idx[n], src.frames)) {
                    Edge(idx[n], zs[n], blockOut, static_cast<size_t>(n), out16);
                    ++n;
                    continue;
                }
                int32_t m = n + 1;
                while (m < count && resample::IsInterior(idx[m], src.frames) && idx[m] >= idx[m - 1]) ++m;
                kernels_->run(src, idx + n, zs + n, m - n, blockOut + static_cast<size_t>(n) * outFrameBytes, out16);
                n = m;
            }
        }
        ReportProgress(produced, outputLength_);
    }
}

int32_t TResampler::Stepped(int32_t count, void* out, bool out16) {
    if (!kernels_->stepped) return 0;
    double s = 0;
    const int32_t run = resample::ExactRun(position_, step_, {looping_, loopStart_, loopEnd_}, count, s);
    if (run == 0) return 0;
    int32_t first, last;
    float z;
    resample::SplitPosition(position_, first, z);
    resample::SplitPosition(position_ + static_cast<double>(run - 1) * s, last, z);
    const int32_t frames = lastFrame_ + 1;
    if (!resample::IsInterior(first, frames) || !resample::IsInterior(last, frames)) return 0;
    const int32_t done = kernels_->stepped({data_, frames, channels_, isFloat_}, position_, s, run, out, out16);
    position_ += static_cast<double>(done) * s;  // exact, as every p + k s
    return done;
}

void SetSampleRate(TWAVSample& sample, int mode, double rate) {
    if (mode != 0 && rate != sample.SampleRate) TResampler(mode).Convert(sample, rate);
    sample.SampleRate = rate;
}

}  // namespace norv
