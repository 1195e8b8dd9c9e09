// Arbitrary bytes as a set definition, loaded the way the instrument loads
// it, against a fixed folder of small sample files (a.wav mono looped,
// b.wav stereo, c.raw, d.wav at 22050 Hz). Every access the loader makes
// must stay inside its blocks, and a loaded set must keep its invariants.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "wavetable/WavTables.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string Le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

std::string Wave(int channels, int rate, int frames, int loopStart, int loopEnd) {
    std::string fmt = Le(1, 2) + Le(channels, 2) + Le(rate, 4) + Le(rate * 2 * channels, 4) + Le(2 * channels, 2) + Le(16, 2);
    std::string data;
    for (int i = 0; i < frames * channels; ++i) data += Le(static_cast<uint16_t>(i * 977), 2);
    std::string smpl = std::string(28, '\0') + Le(1, 4) + Le(0, 4) + std::string(8, '\0') + Le(loopStart, 4) +
                       Le(loopEnd, 4) + std::string(8, '\0');
    std::string body = "WAVEfmt " + Le(16, 4) + fmt + "data" + Le(static_cast<uint32_t>(data.size()), 4) + data + "smpl" +
                       Le(static_cast<uint32_t>(smpl.size()), 4) + smpl;
    return "RIFF" + Le(static_cast<uint32_t>(body.size()), 4) + body;
}

const std::filesystem::path& Folder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path p = std::filesystem::temp_directory_path() / ("norv-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        std::ofstream(p / "a.wav", std::ios::binary) << Wave(1, 44100, 300, 100, 299);
        std::ofstream(p / "b.wav", std::ios::binary) << Wave(2, 44100, 200, 0, 150);
        std::ofstream(p / "d.wav", std::ios::binary) << Wave(1, 22050, 120, 10, 119);
        std::ofstream(p / "c.raw", std::ios::binary) << std::string(401, '\x11');
        return p;
    }();
    return folder;
}

void CheckLoaded(const norv::TPianoWaveTable& t) {
    const int32_t frames = t.SampleDataSize / t.FrameSize();
    Check(t.LayerCount >= 1 && static_cast<int32_t>(t.VelocityLimits.size()) == t.LayerCount);
    Check(t.SampleData != nullptr && frames >= 1);
    int64_t sum = 0;
    for (const norv::TWaveTableSample& s : t.Samples) {
        Check(s.Root >= 0 && s.Root <= 127 && s.High >= 0 && s.High <= 999);
        Check(0 <= s.StartFrame && s.StartFrame <= s.EndFrame && s.EndFrame <= frames - 1);
        Check(0 <= s.LoopLength && s.LoopLength <= frames - s.StartFrame);
        // What the engine reads: every frame of the record and the one after.
        const int channels = t.Stereo ? 2 : 1;
        for (int64_t f = s.StartFrame; f <= static_cast<int64_t>(s.EndFrame) + 1; ++f)
            for (int c = 0; c < channels; ++c) sum += t.SampleData[f * channels + c];
    }
    volatile int64_t sink = sum;
    (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;  // definitions are small; keep each run quick
    const std::filesystem::path file = Folder() / "set.wti";
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                  static_cast<std::streamsize>(size));
    for (int rate : {44100, 48000}) {
        norv::TPianoWaveTable table(Folder().string() + "/", 15);
        if (table.LoadFromFile(rate, file.string())) CheckLoaded(table);
    }
    return 0;
}
