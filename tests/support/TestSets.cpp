#include "support/TestSets.h"

#include <cmath>
#include <fstream>

#include "support/WaveWriter.h"

namespace norv::test {

std::filesystem::path WriteTestSet(const std::filesystem::path& folder, const TestSetOptions& o) {
    std::filesystem::create_directories(folder / o.FileBase);
    std::string def = "[info]\nname=" + o.Name + "\nshortname=" + o.Name + "\npath=" + o.FileBase +
                      "\nsamples=" + std::to_string(o.Zones * o.Layers) + "\n" + o.Extra +
                      "\n[velocitylayers]\ncount=" + std::to_string(o.Layers) + "\n0=0\n1=90\n";
    if (!o.Parameters.empty()) def += "[parameters]\n" + o.Parameters + "\n";
    int entry = 0;
    for (int z = 0; z < o.Zones; ++z) {
        const int root = 48 + 24 * z;
        const double freq = 440.0 * std::pow(2.0, (root - 69) / 12.0);
        for (int l = 0; l < o.Layers; ++l, ++entry) {
            std::vector<int16_t> values;
            for (int f = 0; f < o.Frames; ++f)
                for (int c = 0; c < o.Channels; ++c)
                    values.push_back(static_cast<int16_t>(
                        std::lround((8000 + 8000 * l) * std::sin(2 * M_PI * freq * f / o.Rate + c))));
            const std::string file = "z" + std::to_string(z) + "l" + std::to_string(l) + ".wav";
            WaveWriter()
                .Format(WaveFormat::Pcm(static_cast<uint16_t>(o.Channels), static_cast<uint32_t>(o.Rate), 16))
                .Data(Pcm16(values))
                .Sampler(SamplerInfo().Unity(static_cast<uint32_t>(root))
                             .Loop(static_cast<uint32_t>(o.Frames / 2), static_cast<uint32_t>(o.Frames - 1)))
                .Write(folder / o.FileBase / file);
            def += "[sample" + std::to_string(entry) + "]\nname=" + file + "\nroot=" + std::to_string(root) +
                   "\nhigh=" + std::to_string(z + 1 == o.Zones ? 999 : root + 11) + "\n";
        }
    }
    std::filesystem::path path = folder / (o.FileBase + ".wti");
    std::ofstream(path) << def;
    return path;
}

}  // namespace norv::test
