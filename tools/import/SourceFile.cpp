#include "tools/import/SourceFile.h"

#include <algorithm>
#include <filesystem>

#include "base/TextCase.h"
#include "tools/import/ImportError.h"
#include "tools/import/SfzReader.h"
#include "tools/import/SfzRegions.h"
#include "tools/import/SoundFontFile.h"
#include "tools/import/SoundFontPreset.h"
#include "tools/import/SoundFontSource.h"
#include "base/FileSystem.h"

namespace norv::import {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kMaxSfzBytes = 16 << 20;

class SoundFontSourceFile : public SourceFile {
public:
    SoundFontSourceFile(const std::string& path, TMappedFile mapping)
        : SourceFile(path), mapping_(std::move(mapping)), sf_(ParseSoundFont(mapping_.bytes(), Path())) {
        Author = sf_.Engineer;
    }

    std::string Kind() const override { return sf_.VersionMajor == 3 ? "SF3" : "SF2"; }

    std::vector<PresetEntry> Presets() const override {
        std::vector<PresetEntry> list;
        const size_t chosen = FindPreset(sf_, "", Path());
        for (size_t i = 0; i < sf_.Presets.size(); ++i) {
            const SfPreset& p = sf_.Presets[i];
            PresetEntry e{p.Bank, p.Program, p.Name, -1, i == chosen};
            try {
                LeftOutList ignored;
                e.Regions = static_cast<int>(ResolvePreset(sf_, i, ignored, Path()).Regions.size());
            } catch (const ImportError&) {
            }
            list.push_back(e);
        }
        std::stable_sort(list.begin(), list.end(), [](const PresetEntry& a, const PresetEntry& b) {
            return std::pair{a.Bank, a.Program} < std::pair{b.Bank, b.Program};
        });
        return list;
    }

    void Select(const std::string& preset) override {
        const size_t index = FindPreset(sf_, preset, Path());
        const SfPreset& p = sf_.Presets[index];
        Chosen = "preset " + std::to_string(p.Bank) + ":" + std::to_string(p.Program) + " '" + p.Name + "'";
        DefaultName = p.Name;
        PresetRegions resolved = ResolvePreset(sf_, index, LeftOut, Path());
        Regions = std::move(resolved.Regions);
        if (Regions.empty())
            throw ImportError(Path() + ": " + Chosen + " has no piano-like regions (no zone with a sample that plays "
                              "melodically)");
        samples_ = std::make_unique<SoundFontSource>(sf_, std::move(resolved.Voices), Path());
        Complete();
    }

    SampleSource& Samples() override { return *samples_; }

private:
    TMappedFile mapping_;
    SoundFontFile sf_;
    std::unique_ptr<SoundFontSource> samples_;
};

class SfzSourceFile : public SourceFile {
public:
    SfzSourceFile(const std::string& path, const std::string& text)
        : SourceFile(path),
          folder_(fs::path(path).parent_path().string()),
          sfz_(ParseSfz(text, path, folder_)) {
        DefaultName = fs::path(path).stem().string();
    }

    std::string Kind() const override { return "SFZ"; }
    std::vector<PresetEntry> Presets() const override { return {}; }

    void Select(const std::string&) override {
        SfzRegions converted = ConvertSfz(sfz_, Path(), folder_, LeftOut);
        Regions = std::move(converted.Regions);
        if (Regions.empty())
            throw ImportError(Path() + ": has no piano-like regions (" + std::to_string(sfz_.Regions.size()) +
                              " region(s), none of them plays a note when a key goes down)");
        samples_ = std::make_unique<SfzSource>(std::move(converted.Files));
        Complete();
    }

    SampleSource& Samples() override { return *samples_; }

private:
    std::string folder_;
    SfzText sfz_;
    std::unique_ptr<SfzSource> samples_;
};

}  // namespace

void SourceFile::Complete() {
    for (SourceRegion& r : Regions) {
        auto it = SampleFacts.find(r.Sample);
        if (it == SampleFacts.end()) it = SampleFacts.emplace(r.Sample, Samples().Info(r.Sample)).first;
        CompleteRegion(r, it->second, path_);
    }
}

std::unique_ptr<SourceFile> SourceFile::Open(const std::string& path) {
    const fs::path resolved = ResolveCaseInsensitive(path);
    if (!FileExists(resolved)) throw ImportError(path + ": no such file");
    TMappedFile mapping;
    if (mapping.Open(resolved) != TMapResult::Ok) throw ImportError(path + ": cannot be read");
    if (LooksLikeSoundFont(mapping.bytes())) return std::make_unique<SoundFontSourceFile>(path, std::move(mapping));
    const std::string ext = LowerCase(resolved.extension().string());
    if (ext == ".sf2" || ext == ".sf3") return std::make_unique<SoundFontSourceFile>(path, std::move(mapping));
    if (ext != ".sfz") throw ImportError(path + ": not a SoundFont (.sf2, .sf3) or SFZ (.sfz) file");
    if (static_cast<int64_t>(mapping.size()) > kMaxSfzBytes) throw ImportError(path + ": too large for an SFZ file");
    return std::make_unique<SfzSourceFile>(
        path, std::string(reinterpret_cast<const char*>(mapping.data()), mapping.size()));
}

}  // namespace norv::import
