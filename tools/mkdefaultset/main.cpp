// mkdefaultset: synthesises the default piano set into a WavTables folder.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <exception>

#include "DefaultSet.h"

namespace {

double Dbfs(double peak) { return peak > 0 ? 20 * std::log10(peak) : -999.0; }

void PrintSummary(const norv::defaultset::SetReport& report, double seconds) {
    double frames = 0;
    for (const auto& s : report.samples) frames += s.frames;
    std::printf("mkdefaultset: %zu samples, %.1f s of audio, %.2f MB, %.2f s\n", report.samples.size(),
                frames / norv::defaultset::kSampleRate, report.totalBytes / 1048576.0, seconds);
    for (int layer = 0; layer < norv::defaultset::kLayerCount; ++layer) {
        double low = 1, high = 0;
        for (const auto& s : report.samples) {
            if (s.layer != layer) continue;
            low = std::min(low, s.peak);
            high = std::max(high, s.peak);
        }
        std::printf("  layer %d peaks %.1f .. %.1f dBFS\n", layer + 1, Dbfs(low), Dbfs(high));
    }
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Synthesises Norv Grand, the fallback piano sound set (definition and samples)."};
    std::string folder;
    bool quiet = false;
    app.add_option("folder", folder, "WavTables folder to write into (created when missing)")->required();
    app.add_flag("-q,--quiet", quiet, "Print nothing on success");
    CLI11_PARSE(app, argc, argv);

    try {
        const auto started = std::chrono::steady_clock::now();
        const auto report = norv::defaultset::GenerateDefaultSet(folder);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
        if (!quiet) PrintSummary(report, took.count());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "mkdefaultset: %s\n", e.what());
        return 1;
    }
    return 0;
}
