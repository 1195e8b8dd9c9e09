#include "tools/import/Importer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

#include "base/TextCase.h"
#include "tools/import/ImportError.h"
#include "tools/import/SampleBaker.h"
#include "tools/import/SetDefinition.h"
#include "tools/import/SetFolder.h"
#include "tools/import/SourceFile.h"
#include "tools/import/WaveEncoder.h"
#include "tools/import/ZonePlan.h"
#include "wavetable/WavTables.h"

namespace norv::import {
namespace {

namespace fs = std::filesystem;

// The loader keeps all frames of a set in one block of at most 2 GB.
constexpr int64_t kMaxSetValues = (int64_t{1} << 30) - (int64_t{1} << 20);

// One WAVE file of the set: the same region data, tuning remainder and gain.
struct Output {
    int Sample = -1;
    BakeRequest Request;
    int Root = 60;  // of the first entry that plays it, for its name
    std::string File;
    BakedSample Baked;
};

using OutputKey = std::tuple<int, long long, long long, int64_t, int64_t, bool, int64_t, int64_t>;

class Import {
public:
    Import(const ImportOptions& options, const ImportProgress& progress) : opts_(options), progress_(progress) {}
    ImportSummary Run();

private:
    void Plan();
    int OutputFor(const SourceRegion& r, int root, double shiftCents);
    void ChooseFormat();
    void Bake();
    void Write(SetFolder& folder);
    void Verify(const fs::path& definition) const;

    const ImportOptions& opts_;
    const ImportProgress& progress_;
    std::unique_ptr<SourceFile> source_;
    ZonePlan plan_;
    std::vector<Output> outputs_;
    std::map<OutputKey, int> outputIndex_;
    std::vector<int> entryOutputs_;  // the output each definition entry plays
    SetDefinition set_;
    ImportSummary summary_;
};

int Import::OutputFor(const SourceRegion& r, int root, double shiftCents) {
    const OutputKey key{r.Sample,        std::llround(shiftCents * 1e4), std::llround(r.GainDb * 1e4),
                        r.Frames.Start,  r.Frames.End,                   r.IsLooped,
                        r.IsLooped ? r.LoopFrames.Start : 0, r.IsLooped ? r.LoopFrames.End : 0};
    const auto [it, added] = outputIndex_.emplace(key, static_cast<int>(outputs_.size()));
    if (added) {
        Output out;
        out.Sample = r.Sample;
        out.Root = root;
        out.Request.Frames = r.Frames;
        out.Request.Looped = r.IsLooped;
        out.Request.Loop = r.LoopFrames;
        out.Request.ShiftCents = shiftCents;
        out.Request.GainDb = r.GainDb;
        out.Request.SourceRate = source_->SampleFacts.at(r.Sample).Rate;
        outputs_.push_back(std::move(out));
    }
    return it->second;
}

// Every entry's root is a whole key; what is left of the tuning goes into
// the data.
void Import::Plan() {
    plan_ = PlanZones(source_->Regions, opts_.Layers);
    for (const PlannedLayer& layer : plan_.Layers) set_.Limits.push_back(layer.Limit);
    for (size_t z = 0; z < plan_.Zones.size(); ++z) {
        const PlannedZone& zone = plan_.Zones[z];
        for (int regionIndex : zone.Regions) {
            const SourceRegion& r = source_->Regions[static_cast<size_t>(regionIndex)];
            const long shift = std::lround(r.TuneCents / 100.0);
            const int root = static_cast<int>(std::clamp<long>(r.Root - shift, 0, 127));
            const double shiftCents = r.TuneCents - 100.0 * (r.Root - root);
            entryOutputs_.push_back(OutputFor(r, root, shiftCents));
            // The last zone reaches every key the instrument can ask for.
            set_.Entries.push_back({"", root, z + 1 == plan_.Zones.size() ? 999 : zone.HiKey, r.IsLooped});
        }
    }
}

void Import::ChooseFormat() {
    std::map<double, int> rates;
    int channels = 1;
    for (const Output& o : outputs_) {
        ++rates[o.Request.SourceRate];
        channels = std::max(channels, source_->SampleFacts.at(o.Sample).Channels);
    }
    double rate = opts_.Rate;
    if (rate <= 0)
        rate = std::max_element(rates.begin(), rates.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
    for (const auto& [r, count] : rates)
        if (r != rate)
            plan_.Notes.push_back(std::to_string(count) + " sample(s) converted from " +
                                  std::to_string(static_cast<int>(r)) + " Hz to the set's " +
                                  std::to_string(static_cast<int>(rate)) + " Hz");
    set_.Rate = static_cast<int>(std::lround(rate));
    int64_t values = 0;
    for (Output& o : outputs_) {
        o.Request.Rate = set_.Rate;
        o.Request.Channels = channels;
        values += static_cast<int64_t>(static_cast<double>(o.Request.Frames.Length()) * set_.Rate /
                                       o.Request.SourceRate) * channels;
    }
    if (values > kMaxSetValues)
        throw ImportError(source_->Path() + ": the set would hold about " + std::to_string(values / (1 << 20)) +
                          " M sample values; the instrument loads at most " + std::to_string(kMaxSetValues / (1 << 20)) +
                          " M (use --rate or --layers to make it smaller)");
    summary_.Rate = set_.Rate;
    summary_.Channels = channels;
}

void Import::Bake() {
    std::vector<size_t> order(outputs_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) { return outputs_[a].Sample < outputs_[b].Sample; });
    double total = 0, done = 0;
    for (const Output& o : outputs_) total += static_cast<double>(o.Request.Frames.Length());
    int decodedSample = -1;
    std::vector<float> decoded;
    for (size_t i : order) {
        Output& o = outputs_[i];
        if (o.Sample != decodedSample) {
            decoded = source_->Samples().Decode(o.Sample);
            decodedSample = o.Sample;
            summary_.SourceBytes += source_->SampleFacts.at(o.Sample).SourceBytes;
        }
        o.Baked = BakeSample(decoded, source_->SampleFacts.at(o.Sample).Channels, o.Request);
        done += static_cast<double>(o.Request.Frames.Length());
        if (progress_ && !progress_(0.95 * done / total)) throw ImportError(source_->Path() + ": import interrupted");
    }
}

void Import::Write(SetFolder& folder) {
    float peak = 0;
    for (const Output& o : outputs_)
        for (float v : o.Baked.Frames) peak = std::max(peak, std::fabs(v));
    if (!(peak > 0)) throw ImportError(source_->Path() + ": the samples of " + summary_.Preset + " are silent");
    const double scale = std::pow(10.0, kPeakDbfs / 20.0) / peak;
    summary_.GainDb = 20.0 * std::log10(scale);
    const double full = opts_.Bits == 24 ? 8388608.0 : 32768.0;
    std::map<int, int> perRoot;
    std::vector<int32_t> values;
    for (Output& o : outputs_) {
        char name[32];
        std::snprintf(name, sizeof name, "k%03d_%d.wav", o.Root, ++perRoot[o.Root]);
        o.File = name;
        values.resize(o.Baked.Frames.size());
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<int32_t>(std::clamp(std::nearbyint(o.Baked.Frames[i] * scale * full), -full, full - 1));
        std::optional<WaveLoop> loop;
        if (o.Baked.Looped)
            loop = WaveLoop{static_cast<uint32_t>(o.Baked.LoopStart), static_cast<uint32_t>(o.Baked.LoopEnd)};
        const std::vector<uint8_t> bytes = EncodeWave(values, o.Baked.Channels, opts_.Bits, set_.Rate, o.Root, loop);
        folder.WriteSample(o.File, bytes);
        summary_.Bytes += static_cast<int64_t>(bytes.size());
        o.Baked = {};  // the memory goes as soon as the file is written
    }
    for (size_t i = 0; i < set_.Entries.size(); ++i)
        set_.Entries[i].File = outputs_[static_cast<size_t>(entryOutputs_[i])].File;
    summary_.Files = static_cast<int>(outputs_.size());
}

// The instrument's own loader must read the set back as it was meant.
void Import::Verify(const fs::path& definition) const {
    TPianoWaveTable table(definition.parent_path().string() + "/", 0);
    std::string error;
    table.OnError = [&error](const std::string& detail) { error = detail; };
    if (!table.LoadFromFile(set_.Rate, definition.string()) || table.Samples.size() != set_.Entries.size() ||
        table.LayerCount != set_.Limits.size() || table.Stereo != (summary_.Channels == 2))
        throw ImportError(definition.string() + ": the written set does not load as it should" +
                          (error.empty() ? std::string() : ": " + error));
}

ImportSummary Import::Run() {
    if (opts_.Bits != 16 && opts_.Bits != 24) throw ImportError("--bits must be 16 or 24");
    source_ = SourceFile::Open(opts_.Source);
    source_->Select(opts_.Preset);
    summary_.Source = opts_.Source;
    summary_.Kind = source_->Kind();
    summary_.Preset = source_->Chosen;
    summary_.Name = std::string(TrimBlanks(opts_.Name.empty() ? source_->DefaultName : opts_.Name));
    if (summary_.Name.empty()) summary_.Name = fs::path(opts_.Source).stem().string();
    summary_.ShortName = opts_.ShortName.empty() ? summary_.Name : opts_.ShortName;
    summary_.Bits = opts_.Bits;
    const std::string fileBase = FileBaseFor(summary_.Name);
    if (EqualsIgnoreCase(fileBase, "default"))
        throw ImportError("--name " + summary_.Name + ": default.wti names a library's default set; choose another name");
    SetFolder folder(opts_.Folder, fileBase, opts_.Force);

    Plan();
    ChooseFormat();
    Bake();
    Write(folder);

    set_.Name = summary_.Name;
    set_.ShortName = summary_.ShortName;
    set_.Author = opts_.Author.empty() ? source_->Author : opts_.Author;
    set_.SampleFolder = fileBase;
    const std::string text = DefinitionText(set_);
    summary_.Bytes += static_cast<int64_t>(text.size());
    Verify(folder.WriteDefinition(text));
    folder.Commit();
    if (progress_) progress_(1.0);

    summary_.Definition = folder.Definition().string();
    summary_.Zones = static_cast<int>(plan_.Zones.size());
    for (const PlannedLayer& l : plan_.Layers) summary_.Layers.push_back({l.LoVel, l.HiVel, l.Limit});
    summary_.LowKey = 127;
    for (const SourceRegion& r : source_->Regions) {
        summary_.LowKey = std::min(summary_.LowKey, r.LoKey);
        summary_.HighKey = std::max(summary_.HighKey, r.HiKey);
    }
    summary_.LeftOut = source_->LeftOut.Lines();
    summary_.Notes = plan_.Notes;
    return summary_;
}

}  // namespace

ImportSummary ImportSet(const ImportOptions& options, const ImportProgress& progress) {
    return Import(options, progress).Run();
}

}  // namespace norv::import
