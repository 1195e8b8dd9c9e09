#include "tools/import/SetDefinition.h"

#include <cstdio>

namespace norv::import {

std::string DefinitionText(const SetDefinition& set) {
    std::string t;
    const auto line = [&t](const std::string& s) { t += s + "\n"; };
    line("[info]");
    line("name=" + set.Name);
    line("shortname=" + set.ShortName);
    line("author=" + set.Author);
    line("path=" + set.SampleFolder);
    line("samples=" + std::to_string(set.Entries.size()));
    line("filetype=riff");
    line("resample=true");
    line("samplerate=" + std::to_string(set.Rate));
    char number[40];
    std::snprintf(number, sizeof number, "%.6f", set.VelocityFactor);
    line(std::string("velocityfactor=") + number);
    line(set.ReleaseHighNotes ? "releasehighnotes=1" : "releasehighnotes=0");
    line("isstandard=0");
    line("");
    line("[velocitylayers]");
    line("count=" + std::to_string(set.Limits.size()));
    for (size_t i = 0; i < set.Limits.size(); ++i) line(std::to_string(i) + "=" + std::to_string(set.Limits[i]));
    if (!set.Parameters.empty()) {
        line("");
        line("[parameters]");
        // Nine decimals: the value the instrument rounds to lands on the knob value meant.
        for (const auto& [index, fraction] : set.Parameters) {
            std::snprintf(number, sizeof number, "%.9f", fraction);
            line(std::to_string(index) + "=" + number);
        }
    }
    // No pos or end: the loader takes them from each file, whose data ends
    // with its loop; an entry naming a file named before shares its data.
    for (size_t i = 0; i < set.Entries.size(); ++i) {
        const DefinitionEntry& e = set.Entries[i];
        line("");
        line("[sample" + std::to_string(i) + "]");
        line("name=" + e.File);
        line("root=" + std::to_string(e.Root));
        line("high=" + std::to_string(e.High));
        if (!e.Looped) line("loop=0");
    }
    return t;
}

}  // namespace norv::import
