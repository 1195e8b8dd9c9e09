// Arbitrary bytes as a WAVE file: the chunk walk, every decoder (libsndfile
// included) and, for small samples, the rate conversion to 48 kHz with the
// fast kernels checked against the reference and the 16-bit output against
// the float output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "wavetable/DSP_Resample.h"
#include "wavetable/WAV.h"

namespace {

using namespace norv;

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckSample(const TWAVSample& s) {
    Check(s.Channels == 1 || s.Channels == 2);
    Check(s.Frames >= 0);
    Check(s.Data.Size() == static_cast<size_t>(s.Frames) * static_cast<size_t>(s.FrameSize()));
    if (s.HasLoop()) {
        Check(s.LoopStart <= s.LoopEnd);
        Check(s.LoopEnd <= s.Frames - 1);
    } else {
        Check(s.LoopStart == NoLoopStart && s.LoopEnd == NoLoopEnd);
    }
    Check(s.RootNote >= 0 && s.RootNote <= 127);
}

// Bit for bit, except that any NaN equals any other: compilers may swap the
// operands of an addition, which changes only which NaN comes out.
bool SameSample(const TWAVSample& a, const TWAVSample& b) {
    if (a.Frames != b.Frames || a.Format != b.Format || a.LoopStart != b.LoopStart || a.LoopEnd != b.LoopEnd ||
        a.Data.Size() != b.Data.Size())
        return false;
    if (a.Data.Empty()) return true;
    if (a.Format == TSampleFormat::Int16) return std::memcmp(a.Data.Data(), b.Data.Data(), a.Data.Size()) == 0;
    const auto* x = static_cast<const float*>(a.Data.Data());
    const auto* y = static_cast<const float*>(b.Data.Data());
    for (size_t i = 0; i < a.Data.Size() / sizeof(float); ++i) {
        if (x[i] != x[i] && y[i] != y[i]) continue;
        if (std::memcmp(&x[i], &y[i], sizeof(float)) != 0) return false;
    }
    return true;
}

void Convert(const TWAVSample& parsed) {
    // Bounded work per input: small samples, sane ratios.
    const double expected = static_cast<double>(parsed.Frames) * 48000.0 / parsed.SampleRate;
    if (parsed.Frames == 0 || !(parsed.SampleRate >= 100) || expected > 200000) return;
    for (TSampleFormat output : {TSampleFormat::Float32, TSampleFormat::Int16}) {
        TWAVSample reference = parsed.Clone(), fast = parsed.Clone();
        TResampler(2, TResampleKernels::Reference).Convert(reference, 48000, output);
        TResampler(2, TResampleKernels::Best).Convert(fast, 48000, output);
        CheckSample(reference);
        Check(SameSample(reference, fast));
        Check(reference.SampleRate == 48000);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TParseWAV parser;
    TWAVSample sample;
    const int result = parser.Parse(sample, data, size);
    Check(result == TParseWAV::Ok || result == TParseWAV::NotWave);
    if (result != TParseWAV::Ok) {
        Check(sample.Frames == 0 && sample.Data.Empty());
        return 0;
    }
    CheckSample(sample);

    // Borrowing gives the same frames.
    TParseWAV borrower;
    borrower.SetBorrowInt16(true);
    TWAVSample borrowed;
    Check(borrower.Parse(borrowed, data, size) == TParseWAV::Ok);
    Check(SameSample(sample, borrowed));

    try {
        Convert(sample);
    } catch (const std::exception&) {
        std::abort();  // the bounds above leave no reason to throw
    }
    return 0;
}
