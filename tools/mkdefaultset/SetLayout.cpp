#include "SetLayout.h"

#include <cstdio>

namespace norv::defaultset {

std::vector<Zone> ZoneLayout() {
    std::vector<Zone> zones;
    for (int root = kLowestKey; root <= kHighestKey; root += kZoneSpacing) zones.push_back({root, 0});
    // A zone runs from the key after the previous zone's high up to the key
    // before the next zone's lowest key (its root minus half the spacing).
    for (size_t z = 0; z + 1 < zones.size(); ++z) zones[z].high = zones[z + 1].root - kZoneSpacing / 2 - 1;
    zones.back().high = kTopHigh;
    return zones;
}

std::string SampleFileName(int root, int layer) {
    char name[32];
    std::snprintf(name, sizeof name, "n%03d_v%02d.wav", root, layer + 1);
    return name;
}

std::string DefinitionText(const std::vector<Zone>& zones) {
    std::string text;
    auto line = [&text](const std::string& s) { text += s + "\n"; };
    line("[info]");
    line(std::string("name=") + kSetName);
    line(std::string("shortname=") + kShortName);
    line(std::string("author=") + kAuthor);
    line(std::string("path=") + kSampleFolder);
    line("samples=" + std::to_string(zones.size() * kLayerCount));
    line("filetype=riff");
    line("resample=true");
    line("samplerate=" + std::to_string(kSampleRate));
    line("velocityfactor=1.0");
    line("releasehighnotes=0");
    line("isstandard=1");
    line("");
    line("[velocitylayers]");
    line("count=" + std::to_string(kLayerCount));
    // Limit i is the highest velocity of layer i - 1; the loudest layer
    // takes everything above the last one.
    line("0=0");
    for (int i = 1; i < kLayerCount; ++i) line(std::to_string(i) + "=" + std::to_string(kLayers[i - 1].topVelocity));
    line("");
    line("[parameters]");
    for (const PresetValue& p : kPreset) {
        char value[32];
        std::snprintf(value, sizeof value, "%.4g", p.fraction);
        line(std::to_string(p.index) + "=" + value);
    }
    // Zone-major, softest layer first. No pos/end/loop: the loader takes
    // the start, the end and the loop from each file's own loop.
    int entry = 0;
    for (const Zone& zone : zones) {
        for (int layer = 0; layer < kLayerCount; ++layer) {
            line("");
            line("[sample" + std::to_string(entry++) + "]");
            line("name=" + SampleFileName(zone.root, layer));
            line("root=" + std::to_string(zone.root));
            line("high=" + std::to_string(zone.high));
        }
    }
    return text;
}

}  // namespace norv::defaultset
