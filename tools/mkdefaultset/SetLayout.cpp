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

std::string SampleFileName(int root, Layer layer) {
    char name[32];
    std::snprintf(name, sizeof name, "n%03d_%s.wav", root, layer == Layer::Soft ? "soft" : "hard");
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
    line("0=0");
    line("1=" + std::to_string(kSoftLayerLimit));
    // Zone-major, softest layer first. No pos/end/loop: the loader takes
    // the start, the end and the loop from each file's own loop.
    int entry = 0;
    for (const Zone& zone : zones) {
        for (Layer layer : {Layer::Soft, Layer::Hard}) {
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
