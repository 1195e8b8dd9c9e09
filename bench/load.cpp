// Loading a ~100 MB set of 16-bit stereo 44.1 kHz WAVE files: at the files'
// own rate (copied), at 48 kHz (converted), plainly reading the same
// files, and a set another table holds, in one run. Figures are bytes of
// WAVE input per second.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "wavetable/WavTables.h"

namespace {

constexpr int kFiles = 40;
constexpr int kFramesPerFile = 44100 * 15;  // 2.6 MB each

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

struct BenchSet {
    std::filesystem::path folder;
    std::vector<std::filesystem::path> files;
    int64_t bytes = 0;

    BenchSet() {
        folder = std::filesystem::temp_directory_path() / ("norv-bench-load-" + std::to_string(getpid()));
        std::filesystem::create_directories(folder / "s");
        std::string def = "[info]\nname=Bench\nsamples=" + std::to_string(kFiles) + "\npath=s\n";
        std::vector<int16_t> pcm(2 * static_cast<size_t>(kFramesPerFile));
        for (int f = 0; f < kFiles; ++f) {
            for (int i = 0; i < kFramesPerFile; ++i) {
                double t = static_cast<double>(i) / 44100;
                pcm[2 * i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * (110 + 20 * f) * t));
                pcm[2 * i + 1] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * (111 + 20 * f) * t));
            }
            const uint32_t dataBytes = static_cast<uint32_t>(pcm.size() * 2);
            std::string head = "RIFF" + Le(36 + dataBytes, 4) + "WAVEfmt " + Le(16, 4) + Le(1, 2) + Le(2, 2) +
                               Le(44100, 4) + Le(44100 * 4, 4) + Le(4, 2) + Le(16, 2) + "data" + Le(dataBytes, 4);
            const std::string name = "f" + std::to_string(f) + ".wav";
            std::ofstream out(folder / "s" / name, std::ios::binary);
            out.write(head.data(), static_cast<std::streamsize>(head.size()));
            out.write(reinterpret_cast<const char*>(pcm.data()), dataBytes);
            files.push_back(folder / "s" / name);
            bytes += static_cast<int64_t>(head.size() + dataBytes);
            def += "[sample" + std::to_string(f) + "]\nname=" + name + "\nroot=" + std::to_string(36 + f) + "\nhigh=" +
                   std::to_string(f + 1 == kFiles ? 999 : 36 + f) + "\n";
        }
        std::ofstream(folder / "bench.wti") << def;
    }
    ~BenchSet() { std::filesystem::remove_all(folder); }
};

BenchSet& Set() {
    static BenchSet set;
    return set;
}

void LoadAt(benchmark::State& state, int rate) {
    BenchSet& set = Set();
    for (auto _ : state) {
        norv::TPianoWaveTable table(set.folder.string() + "/", 15);
        if (!table.LoadFromFile(rate, (set.folder / "bench.wti").string())) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(table.SampleData);
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
    state.counters["MB"] = static_cast<double>(set.bytes) / 1e6;
}

void BM_LoadAtFileRate(benchmark::State& state) { LoadAt(state, 44100); }
void BM_LoadConverted48k(benchmark::State& state) { LoadAt(state, 48000); }

// A set another table already holds, as a second instance loads it: its
// files are made to look older, since files written a moment ago are never
// shared. Figures are per load.
void BM_LoadHeld48k(benchmark::State& state) {
    BenchSet& set = Set();
    for (const auto& e : std::filesystem::recursive_directory_iterator(set.folder))
        std::filesystem::last_write_time(e.path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
    norv::TPianoWaveTable holder(set.folder.string() + "/", 15);
    if (!holder.LoadFromFile(48000, (set.folder / "bench.wti").string())) state.SkipWithError("load failed");
    for (auto _ : state) {
        norv::TPianoWaveTable table(set.folder.string() + "/", 15);
        if (!table.LoadFromFile(48000, (set.folder / "bench.wti").string()) || !table.SharesData())
            state.SkipWithError("the held set was not shared");
        benchmark::DoNotOptimize(table.SampleData);
    }
}

// Every file read whole into memory of its own, all of them kept until the
// set is read, as a loader without any decoding would.
void BM_PlainRead(benchmark::State& state) {
    BenchSet& set = Set();
    for (auto _ : state) {
        std::vector<std::unique_ptr<char[]>> buffers;
        for (const auto& file : set.files) {
            const size_t size = std::filesystem::file_size(file);
            buffers.emplace_back(new char[size]);
            int fd = open(file.c_str(), O_RDONLY);
            size_t got = 0;
            ssize_t n;
            while (got < size && (n = read(fd, buffers.back().get() + got, size - got)) > 0) got += static_cast<size_t>(n);
            close(fd);
            benchmark::DoNotOptimize(buffers.back().get());
        }
    }
    state.SetBytesProcessed(state.iterations() * set.bytes);
}

}  // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadAtFileRate)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadConverted48k)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_LoadHeld48k)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
