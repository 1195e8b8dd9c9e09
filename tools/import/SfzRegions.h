// SFZ regions turned into the importer's regions, and their sample files.
#pragma once

#include <string>
#include <vector>

#include "tools/import/SampleSource.h"
#include "tools/import/SfzReader.h"
#include "tools/import/SourceRegion.h"

namespace norv::import {

struct SfzRegions {
    std::vector<SourceRegion> Regions;  // Sample indexes Files
    std::vector<std::string> Files;     // resolved paths
};

// Regions that can play a note on a piano; the others are counted in
// `leftOut`. Throws ImportError naming `file`, the region, its line and the
// opcode when a value cannot be read, a range is empty or a sample file is
// missing.
SfzRegions ConvertSfz(const SfzText& sfz, const std::string& file, const std::string& folder, LeftOutList& leftOut);

// The sample files, read with libsndfile (WAVE, FLAC, Ogg Vorbis).
class SfzSource : public SampleSource {
public:
    explicit SfzSource(std::vector<std::string> files) : files_(std::move(files)) {}
    SampleInfo Info(int sample) override;
    std::vector<float> Decode(int sample) override;

private:
    std::vector<std::string> files_;
};

// A MIDI key number or a note name (c4 = 60, c#4 = db4 = 61); -1 when neither.
int ParseSfzKey(const std::string& text);

}  // namespace norv::import
