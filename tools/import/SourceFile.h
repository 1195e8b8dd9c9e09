// A source opened for importing: a SoundFont (SF2 or SF3, told by its
// content) or an SFZ file, its regions for the chosen preset, its samples,
// and what the set cannot carry.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tools/import/SampleSource.h"
#include "tools/import/SourceRegion.h"

namespace norv::import {

struct PresetEntry {
    int Bank = 0, Program = 0;
    std::string Name;
    int Regions = 0;  // -1: the preset cannot be read
    bool Default = false;  // the one imported without --preset
};

class SourceFile {
public:
    // Throws ImportError naming the file when it cannot be read or parsed.
    static std::unique_ptr<SourceFile> Open(const std::string& path);
    virtual ~SourceFile() = default;

    const std::string& Path() const { return path_; }
    virtual std::string Kind() const = 0;  // "SF2", "SF3", "SFZ"
    // SoundFonts' presets; empty for SFZ.
    virtual std::vector<PresetEntry> Presets() const = 0;

    // Regions of `preset` (SoundFonts; ignored for SFZ), complete with their
    // samples' facts. Throws ImportError.
    virtual void Select(const std::string& preset) = 0;
    std::vector<SourceRegion> Regions;
    LeftOutList LeftOut;
    std::string Chosen;        // "preset 0:0 'Grand Piano'"; empty for SFZ
    std::string DefaultName;   // the preset's name, or the SFZ file's base name
    std::string Author;
    virtual SampleSource& Samples() = 0;
    // Facts of every sample the regions use, by sample index.
    std::map<int, SampleInfo> SampleFacts;

protected:
    explicit SourceFile(std::string path) : path_(std::move(path)) {}
    // Reads the facts of the regions' samples and completes the regions.
    void Complete();

private:
    std::string path_;
};

}  // namespace norv::import
