// The .wti text of an imported set.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace norv::import {

struct DefinitionEntry {
    std::string File;  // inside the sample folder
    int Root = 60;
    int High = 999;
    bool Looped = true;  // the file's own loop; false writes loop=0
};

struct SetDefinition {
    std::string Name, ShortName, Author;
    std::string SampleFolder;  // relative to the definition
    int Rate = 44100;
    std::vector<int> Limits;             // one per layer; the first is 0
    std::vector<DefinitionEntry> Entries;  // zone-major, Limits.size() a zone
    double VelocityFactor = 1.0;
    bool ReleaseHighNotes = false;
    std::map<int, double> Parameters;  // preset: parameter index -> fraction 0..1 of its range
};

std::string DefinitionText(const SetDefinition& set);

}  // namespace norv::import
