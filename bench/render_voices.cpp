// Voice rendering speed: every voice of a block added into the work buffer,
// on each renderer path this CPU runs, the reference included, for
// 64, 256 and 1024 voices of a mono and a stereo set. The figure is
// voice-frames per CPU-second ("voice_frames"); blocks are 256 frames.
//
//   bench_render_voices --benchmark_filter='mono/256'
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/Denormals.h"
#include "engine/MixFast.h"

namespace {

using namespace norv;

constexpr int32_t kSamples = 64;  // like 22 zones x 3 layers
constexpr int32_t kSampleFrames = 131072;  // about 3 s each at 44.1 kHz
constexpr int32_t kBlock = 256;

// A set's worth of sample data (16 MB mono, 32 MB stereo): voices read all
// over it, as they do in a real set.
const std::vector<int16_t>& SetData(bool stereo) {
    static std::vector<int16_t> data[2];
    std::vector<int16_t>& d = data[stereo];
    if (d.empty()) {
        const int channels = stereo ? 2 : 1;
        d.resize(static_cast<size_t>(kSamples) * (kSampleFrames + 1) * channels);
        std::mt19937 rng(1);
        std::uniform_int_distribution<int> noise(-300, 300);
        for (size_t i = 0; i < d.size(); ++i)
            d[i] = static_cast<int16_t>(20000 * std::sin(0.003 * static_cast<double>(i % 100000)) + noise(rng));
    }
    return d;
}

// Besides the steady voices: every gain ramping, as in the blocks after a
// host change; decaying voices; the overdrive on.
enum class TCase { Steady, MovingGains, Decaying, Driven };

// Held notes of a steady piano: looping, no decay (Decay 0), gains settled.
std::vector<TPianoVoice> Voices(int32_t count, TCase c) {
    std::mt19937 rng(static_cast<unsigned>(count));
    std::uniform_int_distribution<int32_t> offset(0, kSampleFrames / 2), step(1 << 15, 2 << 16);
    std::vector<TPianoVoice> voices(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        TPianoVoice& v = voices[static_cast<size_t>(i)];
        const int32_t start = (i % kSamples) * (kSampleFrames + 1);
        v.LoopEnd = start + kSampleFrames - 1;
        v.LoopLength = kSampleFrames / 2;
        v.Pos = start + offset(rng);
        v.Step = step(rng);
        v.Level = 0.5f;
        v.DecayCoef = c == TCase::Decaying ? 0.99996f : 1.0f;
        v.FilterCoef = 0.3f;
        v.PanGainL = v.PanGainR = 0.2f;
        v.GainL = v.GainR = 0.8f;
        v.GainIncL = v.GainIncR = c == TCase::MovingGains ? 1e-9f : 0.0f;
    }
    return voices;
}

void RenderVoices(benchmark::State& state, TVoiceRenderer path, bool stereo, TCase c) {
    if (!VoiceRendererAvailable(path)) {
        state.SkipWithError("this CPU does not run the path");
        return;
    }
    const auto count = static_cast<int32_t>(state.range(0));
    std::vector<TPianoVoice> voices = Voices(count, c);
    std::vector<TPianoVoice*> list;
    for (TPianoVoice& v : voices) list.push_back(&v);
    std::vector<float> mix(2 * kBlock);
    TVoiceBlock block;
    block.Data = SetData(stereo).data();
    block.Stereo = stereo;
    block.Overdrive = c == TCase::Driven ? 0.5f : 0.0f;
    block.Mix = mix.data();
    block.Frames = kBlock;
    const TDenormalGuard denormals;
    for (auto _ : state) {
        std::memset(mix.data(), 0, sizeof(float) * mix.size());
        RenderVoiceList(path, list, count, block);
        benchmark::DoNotOptimize(mix.data());
        benchmark::ClobberMemory();
    }
    state.counters["voice_frames"] = benchmark::Counter(
        static_cast<double>(count) * kBlock * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

[[maybe_unused]] const bool kRegistered = [] {
    for (int i = 0; i < kVoiceRendererCount; ++i) {
        const auto path = static_cast<TVoiceRenderer>(i);
        if (!VoiceRendererAvailable(path)) continue;
        for (bool stereo : {false, true}) {
            const std::string name = std::string(VoiceRendererName(path)) + (stereo ? "/stereo" : "/mono");
            benchmark::RegisterBenchmark(name.c_str(), RenderVoices, path, stereo, TCase::Steady)
                ->Arg(64)
                ->Arg(256)
                ->Arg(1024);
            const std::pair<const char*, TCase> others[] = {
                {"/moving_gains", TCase::MovingGains}, {"/decaying", TCase::Decaying}, {"/driven", TCase::Driven}};
            for (const auto& [suffix, c] : others)
                benchmark::RegisterBenchmark((name + suffix).c_str(), RenderVoices, path, stereo, c)->Arg(256);
        }
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
