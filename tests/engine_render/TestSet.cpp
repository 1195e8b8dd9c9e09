#include "TestSet.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "support/WaveWriter.h"

namespace norv::test {
namespace {

// A piano-like tone: a few decaying partials and some noise.
std::vector<int16_t> Tone(std::mt19937& rng, int frames, int channels) {
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const double amp = 4000 + 26000 * u(rng);
    double freq[4], phase[4], gain[4];
    for (int p = 0; p < 4; ++p) {
        freq[p] = 0.01 + 0.2 * u(rng);
        phase[p] = 6.28 * u(rng);
        gain[p] = u(rng);
    }
    std::vector<int16_t> v(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            double x = 0;
            for (int p = 0; p < 4; ++p) x += gain[p] * std::sin(freq[p] * (1 + 0.01 * c) * i + phase[p]);
            x = x / 4 * std::exp(-2.0 * i / frames) + 0.05 * (u(rng) - 0.5);
            v[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::clamp(amp * x, -32768.0, 32767.0));
        }
    return v;
}

}  // namespace

void WriteSet(const std::filesystem::path& folder, const SetShape& shape, std::mt19937& rng) {
    std::filesystem::create_directories(folder);
    std::ofstream wti(folder / "render.wti");
    const int count = shape.Zones * shape.Layers;
    wti << "[info]\nname=Render\nsamples=" << count << "\nresample=false\nsamplerate=" << shape.Rate
        << "\nvelocityfactor=0.9\n\n[velocitylayers]\ncount=" << shape.Layers << "\n";
    for (int l = 0; l < shape.Layers; ++l) wti << l << "=" << (l * 127) / shape.Layers << "\n";
    std::uniform_int_distribution<int> length(1500, 9000);
    for (int z = 0; z < shape.Zones; ++z)
        for (int l = 0; l < shape.Layers; ++l) {
            const int n = z * shape.Layers + l;
            const int frames = length(rng);
            const std::string name = "s" + std::to_string(n) + ".wav";
            WaveWriter w;
            w.Format(WaveFormat::Pcm(static_cast<uint16_t>(shape.Channels), static_cast<uint32_t>(shape.Rate), 16))
                .Data(Pcm16(Tone(rng, frames, shape.Channels)));
            const int kind = n % 4;
            if (kind == 0) w.Sampler(SamplerInfo().Loop(static_cast<uint32_t>(frames / 3), static_cast<uint32_t>(frames - 1)));
            w.Write(folder / name);
            const int high = z + 1 == shape.Zones ? 999 : 21 + (z + 1) * 88 / shape.Zones;
            wti << "\n[sample" << n << "]\nname=" << name << "\nroot=" << 21 + (2 * z + 1) * 44 / shape.Zones
                << "\nhigh=" << high << "\n";
            if (kind == 2) wti << "loop=0\n";
            if (kind == 3) wti << "loop=" << 2 + n % 5 << "\n";
        }
}


}  // namespace norv::test
