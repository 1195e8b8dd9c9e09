// Sample loading speed: the rate converter alone (reference and fast paths),
// the WAVE parse, and the whole load of a file as the loader does it.
// Throughput is bytes of 16-bit WAVE input per second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "wavetable/DSP_Resample.h"
#include "wavetable/SampleFiles.h"
#include "wavetable/WAV.h"

namespace {

using namespace norv;

constexpr int32_t SourceFrames = 44100 * 60;  // one minute at 44.1 kHz

const std::vector<int16_t>& Source(int channels) {
    static std::vector<int16_t> mono, stereo;
    std::vector<int16_t>& v = channels == 1 ? mono : stereo;
    if (v.empty()) {
        v.resize(static_cast<size_t>(SourceFrames) * channels);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<int16_t>(20000 * std::sin(0.001 * static_cast<double>(i)) + (i * 7919 % 301) - 150);
    }
    return v;
}

// A WAVE file of the source, written once per process and removed at exit.
const std::string& WaveFile(int channels, uint32_t rate) {
    static std::string paths[2][2];
    std::string& path = paths[channels - 1][rate == 48000];
    if (path.empty()) {
        char name[] = "/tmp/norv-bench-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) std::abort();
        close(fd);
        path = name;
        static std::vector<std::string> toRemove;
        if (toRemove.empty())
            std::atexit([] {
                for (const auto& p : toRemove) std::remove(p.c_str());
            });
        toRemove.push_back(path);

        const std::vector<int16_t>& v = Source(channels);
        const auto dataBytes = static_cast<uint32_t>(v.size() * 2);
        const uint16_t blockAlign = static_cast<uint16_t>(2 * channels);
        auto le32 = [](uint32_t x) { return std::string{char(x), char(x >> 8), char(x >> 16), char(x >> 24)}; };
        auto le16 = [](uint16_t x) { return std::string{char(x), char(x >> 8)}; };
        const std::string header = "RIFF" + le32(36 + dataBytes) + "WAVEfmt " + le32(16) + le16(1) +
                                   le16(static_cast<uint16_t>(channels)) + le32(rate) + le32(rate * blockAlign) +
                                   le16(blockAlign) + le16(16) + "data" + le32(dataBytes);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) std::abort();
        std::fwrite(header.data(), 1, header.size(), f);
        std::fwrite(v.data(), 2, v.size(), f);
        std::fclose(f);
    }
    return path;
}

// The converter on frames in memory, 44.1 -> 48 kHz unless told; 16-bit
// output is what the loader asks for. Throughput counts the bytes of 16-bit
// input also for float input (as a 16-bit file of the same length).
void Convert(benchmark::State& state, int channels, TResampleKernels kernels,
             TSampleFormat output = TSampleFormat::Int16, bool floatInput = false, double to = 48000) {
    if (!ResampleKernelsAvailable(kernels)) return state.SkipWithError("kernels not available on this CPU");
    const std::vector<int16_t>& v = Source(channels);
    std::vector<float> f;
    if (floatInput)
        for (int16_t x : v) f.push_back(static_cast<float>(x) / 32768.0f);
    TResampler resampler(2, kernels);
    for (auto _ : state) {
        TWAVSample s;
        s.Channels = static_cast<uint8_t>(channels);
        s.Frames = SourceFrames;
        s.SampleRate = 44100;
        if (floatInput) {
            s.Format = TSampleFormat::Float32;
            s.Data = TSampleBlock::Borrow(f.data(), f.size() * 4);
        } else {
            s.Data = TSampleBlock::Borrow(v.data(), v.size() * 2);
        }
        resampler.Convert(s, to, output);
        benchmark::DoNotOptimize(s.Data.Data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(v.size() * 2));
}

constexpr auto Best = TResampleKernels::Best, AVX512 = TResampleKernels::AVX512, AVX2 = TResampleKernels::AVX2,
               Portable = TResampleKernels::Portable, Reference = TResampleKernels::Reference;

void BM_ConvertMonoReference(benchmark::State& s) { Convert(s, 1, Reference); }
void BM_ConvertStereoReference(benchmark::State& s) { Convert(s, 2, Reference); }
void BM_ConvertMonoFast(benchmark::State& s) { Convert(s, 1, Best); }
void BM_ConvertStereoFast(benchmark::State& s) { Convert(s, 2, Best); }
void BM_ConvertMonoAVX512(benchmark::State& s) { Convert(s, 1, AVX512); }
void BM_ConvertStereoAVX512(benchmark::State& s) { Convert(s, 2, AVX512); }
void BM_ConvertMonoAVX2(benchmark::State& s) { Convert(s, 1, AVX2); }
void BM_ConvertStereoAVX2(benchmark::State& s) { Convert(s, 2, AVX2); }
void BM_ConvertMonoPortable(benchmark::State& s) { Convert(s, 1, Portable); }
void BM_ConvertStereoPortable(benchmark::State& s) { Convert(s, 2, Portable); }
void BM_ConvertStereoFastFloatOut(benchmark::State& s) { Convert(s, 2, Best, TSampleFormat::Float32); }
// Float sources (24-bit files decode to float).
void BM_ConvertStereoFastFloatIn(benchmark::State& s) { Convert(s, 2, Best, TSampleFormat::Int16, true); }
void BM_ConvertStereoAVX2FloatIn(benchmark::State& s) { Convert(s, 2, AVX2, TSampleFormat::Int16, true); }
// Down: a step above 1 reads wider spans of the source.
void BM_ConvertStereoFastDown(benchmark::State& s) { Convert(s, 2, Best, TSampleFormat::Int16, false, 40000); }
void BM_ConvertStereoAVX2Down(benchmark::State& s) { Convert(s, 2, AVX2, TSampleFormat::Int16, false, 40000); }
BENCHMARK(BM_ConvertMonoReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertMonoFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertMonoAVX512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoAVX512)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertMonoAVX2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoAVX2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertMonoPortable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoPortable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoFastFloatOut)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoFastFloatIn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoAVX2FloatIn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoFastDown)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertStereoAVX2Down)->Unit(benchmark::kMillisecond);

// Map, walk and copy out the frames, no conversion.
void BM_ParseDecodeStereo(benchmark::State& state) {
    const std::string& file = WaveFile(2, 44100);
    TParseWAV parser;
    for (auto _ : state) {
        TWAVSample s;
        if (parser.Parse(s, file) != TParseWAV::Ok) return state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(s.Data.Data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(SourceFrames) * 4);
}
BENCHMARK(BM_ParseDecodeStereo)->Unit(benchmark::kMillisecond);

// The whole load of one file as the loader does it.
void Load(benchmark::State& state, int channels, uint32_t fileRate) {
    const std::string& file = WaveFile(channels, fileRate);
    for (auto _ : state) {
        TWaveFileData d = LoadWaveFile(file, true, 48000);
        if (d.Frames == 0) return state.SkipWithError("load failed");
        benchmark::DoNotOptimize(d.Data.Data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(SourceFrames) * 2 * channels);
}
void BM_LoadStereo44To48(benchmark::State& s) { Load(s, 2, 44100); }
void BM_LoadMono44To48(benchmark::State& s) { Load(s, 1, 44100); }
void BM_LoadStereoAt48(benchmark::State& s) { Load(s, 2, 48000); }
BENCHMARK(BM_LoadStereo44To48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadMono44To48)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadStereoAt48)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
