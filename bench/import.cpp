// norvkeys import, from source file to written set: an uncompressed SF2
// piano of 30 zones x 2 layers of 3 s stereo samples (about 32 MB), once at
// whole-key tunings (copied) and once with every sample 11 cents off (each
// one resampled); and the packaged SF3 grand (Ogg Vorbis decoding), when it
// is installed. Figures are MB of the source's samples per CPU-second.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/SoundFontBuilder.h"
#include "tools/import/Importer.h"

namespace {

namespace fs = std::filesystem;
using namespace norv;

constexpr int kZones = 30, kFrames = 3 * 44100;

fs::path Scratch() {
    const fs::path p = fs::temp_directory_path() / ("norv-bench-import-" + std::to_string(getpid()));
    fs::create_directories(p);
    return p;
}

// Every zone a stereo pair per layer, looped over its last second.
std::string BenchPiano(int fineTune) {
    test::SoundFontRecipe recipe;
    test::SfInstrumentRecipe inst{"Piano", {}};
    for (int z = 0; z < kZones; ++z) {
        const int root = 21 + 3 * z;
        for (int layer = 0; layer < 2; ++layer) {
            const double hz = 440.0 * std::exp2((root - 69) / 12.0);
            const int left = static_cast<int>(recipe.Samples.size());
            for (int side = 0; side < 2; ++side)
                recipe.Samples.push_back({"s", test::SinePoints(hz * (1 + 0.001 * side), 44100, kFrames, 6000.0 * (layer + 1)),
                                        44100, root, 0, 2 * 44100, kFrames, static_cast<uint16_t>(side ? 2 : 4),
                                        static_cast<uint16_t>(side ? left : left + 1)});
            for (int side = 0; side < 2; ++side)
                inst.Zones.push_back({{test::SfGen::Range(43, root - 1, root + 1), test::SfGen::Range(44, layer ? 81 : 1, layer ? 127 : 80),
                                       test::SfGen::Value(52, fineTune), test::SfGen::Value(54, 1),
                                       test::SfGen::Value(53, left + side)}});
        }
    }
    recipe.Instruments = {inst};
    recipe.Presets = {{"Bench Piano", 0, 0, {{{test::SfGen::Value(41, 0)}}}}};
    return test::BuildSoundFont(recipe);
}

void Import(benchmark::State& state, const fs::path& source) {
    const fs::path out = Scratch();
    import::ImportOptions o;
    o.Source = source.string();
    o.Folder = (out / "sets").string();
    o.Force = true;
    int64_t bytes = 0;
    for (auto _ : state) bytes += import::ImportSet(o).SourceBytes;
    state.SetBytesProcessed(bytes);
    fs::remove_all(out);
}

void BM_ImportSf2(benchmark::State& state) {
    const fs::path source = Scratch() / "bench.sf2";
    std::ofstream(source, std::ios::binary) << BenchPiano(static_cast<int>(state.range(0)));
    Import(state, source);
}
BENCHMARK(BM_ImportSf2)->Arg(0)->Arg(11)->ArgName("fine_tune")->Unit(benchmark::kMillisecond);

void BM_ImportSf3Grand(benchmark::State& state) {
    const fs::path source = "/usr/share/sounds/sf3/MuseScore_General_Lite.sf3";
    if (!fs::exists(source)) {
        state.SkipWithError("MuseScore_General_Lite.sf3 is not installed (musescore-general-soundfont-small)");
        return;
    }
    Import(state, source);
}
BENCHMARK(BM_ImportSf3Grand)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
