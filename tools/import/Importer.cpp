#include "tools/import/Importer.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <tuple>

#include "base/TextCase.h"
#include "engine/Parameters.h"
#include "tools/import/ChordHeadroom.h"
#include "tools/import/ImportError.h"
#include "tools/import/PresetFit.h"
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

// One WAVE file of the set: the same region data, tuning remainder, gain
// and envelope.
struct Output {
    int Sample = -1;
    BakeRequest Request;
    int Root = 60;  // of the first entry that plays it, for its name
    // How the source plays the first entry's zone and layer: the data carries
    // its envelope's fall up to the loop.
    NoteShape Envelope;
    std::string File;
    BakedSample Baked;
    BandSpectrum Spectrum;  // of the baked frames' opening
    double Scale = 1.0;     // from the baked frames to the stored ones, full scale 1
};

using OutputKey = std::tuple<int, long long, long long, int64_t, int64_t, bool, int64_t, int64_t, long long, long long>;

class Import {
public:
    Import(const ImportOptions& options, const ImportProgress& progress) : opts_(options), progress_(progress) {}
    ImportSummary Run();

private:
    void Plan();
    int OutputFor(const SourceRegion& r, int root, double shiftCents, const NoteShape& envelope);
    void ChooseFormat();
    void Bake();
    std::optional<PresetFitInput::SourceNote> SourcePlays(int key, int midi) const;
    void Fit();
    void Level();
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
    PresetFit fit_;
};

int Import::OutputFor(const SourceRegion& r, int root, double shiftCents, const NoteShape& envelope) {
    const OutputKey key{r.Sample,        std::llround(shiftCents * 1e4), std::llround(r.GainDb * 1e4),
                        r.Frames.Start,  r.Frames.End,                   r.IsLooped,
                        r.IsLooped ? r.LoopFrames.Start : 0, r.IsLooped ? r.LoopFrames.End : 0,
                        std::llround(std::min(envelope.HoldSeconds, 1e6) * 1e3),
                        std::llround(std::min(envelope.DecayDbPerSecond, 1e6) * 1e3)};
    const auto [it, added] = outputIndex_.emplace(key, static_cast<int>(outputs_.size()));
    if (added) {
        Output out;
        out.Sample = r.Sample;
        out.Root = root;
        out.Envelope = envelope;
        out.Request.Frames = r.Frames;
        out.Request.Looped = r.IsLooped;
        out.Request.Loop = r.LoopFrames;
        out.Request.ShiftCents = shiftCents;
        // The fit gives each sample its gain.
        out.Request.GainDb = 0;
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
        for (size_t l = 0; l < zone.Regions.size(); ++l) {
            const SourceRegion& r = source_->Regions[static_cast<size_t>(zone.Regions[l])];
            const long shift = std::lround(r.TuneCents / 100.0);
            const int root = static_cast<int>(std::clamp<long>(r.Root - shift, 0, 127));
            const double shiftCents = r.TuneCents - 100.0 * (r.Root - root);
            // The envelope of the zone's middle key and the layer's middle velocity.
            NoteShape envelope;
            if (r.Shape) {
                const PlannedLayer& layer = plan_.Layers[l];
                envelope = r.Shape(std::clamp((zone.LoKey + zone.HiKey + 1) / 2, 0, 127),
                                   std::clamp((layer.LoVel + layer.HiVel + 1) / 2, r.LoVel, r.HiVel));
            }
            entryOutputs_.push_back(OutputFor(r, root, shiftCents, envelope));
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
        ApplyEnvelope(o.Baked, o.Envelope, o.Request.Rate);
        o.Spectrum = OpeningSpectrum(o.Baked.Frames, o.Baked.Channels, o.Request.Rate);
        done += static_cast<double>(o.Request.Frames.Length());
        if (progress_ && !progress_(0.95 * done / total)) throw ImportError(source_->Path() + ": import interrupted");
    }
}

// The first region that covers the note, as the source picks it, and the
// set's sample that holds its recording at that key.
std::optional<PresetFitInput::SourceNote> Import::SourcePlays(int key, int midi) const {
    for (size_t i = 0; i < source_->Regions.size(); ++i) {
        const SourceRegion& r = source_->Regions[i];
        if (key < r.LoKey || key > r.HiKey || midi < r.LoVel || midi > r.HiVel) continue;
        PresetFitInput::SourceNote note;
        if (r.Shape) {
            note.Shape = r.Shape(key, midi);
        } else {
            note.Shape.GainDb = r.GainDb + 40.0 * std::log10(midi / 127.0);  // the format's own velocity curve
        }
        const size_t layers = set_.Limits.size();
        for (size_t z = 0; z < plan_.Zones.size(); ++z) {
            if (key < plan_.Zones[z].LoKey || key > plan_.Zones[z].HiKey) continue;
            for (size_t l = 0; l < layers; ++l)
                if (plan_.Zones[z].Regions[l] == static_cast<int>(i)) note.Output = entryOutputs_[z * layers + l];
        }
        return note;
    }
    return std::nullopt;
}

void Import::Fit() {
    PresetFitInput in;
    in.Limits = set_.Limits;
    in.Rate = set_.Rate;
    in.Stereo = summary_.Channels == 2;
    for (const Output& o : outputs_)
        in.Outputs.push_back({o.Spectrum, o.Root, o.Envelope,
                              o.Baked.Looped ? static_cast<double>(o.Baked.LoopStart) / o.Request.Rate : 1e300});
    const size_t layers = set_.Limits.size();
    for (size_t z = 0; z < plan_.Zones.size(); ++z) {
        FitZone zone;
        zone.Key = std::clamp((plan_.Zones[z].LoKey + plan_.Zones[z].HiKey + 1) / 2, 0, 127);
        for (size_t l = 0; l < layers; ++l) zone.Outputs.push_back(entryOutputs_[z * layers + l]);
        in.Zones.push_back(std::move(zone));
    }
    in.Source = [this](int key, int midi) { return SourcePlays(key, midi); };
    fit_ = FitPreset(in);
    for (size_t o = 0; o < outputs_.size(); ++o) ApplyLowPass(outputs_[o].Baked, fit_.OutputCutoffHz[o], set_.Rate);
    set_.ReleaseHighNotes = fit_.ReleaseHighNotes;
    for (const PresetChoice& c : fit_.Choices) {
        const TParamInfo& p = kParams[static_cast<size_t>(c.Parameter)];
        set_.Parameters[c.Parameter] = static_cast<double>(c.Value - p.Min) / (p.Max - p.Min);
        summary_.Parameters.push_back({p.ShortName, c.Value, c.From});
    }
}

// One scale for the whole set keeps the fitted balance and peaks at -1 dBFS;
// then the set's overall level from how loud chords add up.
void Import::Level() {
    float peak = 0;
    for (Output& o : outputs_) {
        o.Scale = std::pow(10.0, fit_.OutputGainDb.at(static_cast<size_t>(&o - outputs_.data())) / 20.0);
        for (float v : o.Baked.Frames) peak = std::max(peak, static_cast<float>(std::fabs(v) * o.Scale));
    }
    if (!(peak > 0)) throw ImportError(source_->Path() + ": the samples of " + summary_.Preset + " are silent");
    const double scale = std::pow(10.0, kPeakDbfs / 20.0) / peak;
    summary_.GainDb = 20.0 * std::log10(scale);
    for (Output& o : outputs_) o.Scale *= scale;

    std::map<int, std::vector<float>> stored;
    HeadroomInput in;
    in.Channels = summary_.Channels;
    in.Rate = set_.Rate;
    in.Fit = &fit_;
    in.Sample = [&](int key, int midi) -> const std::vector<float>& {
        size_t z = 0;
        while (z + 1 < plan_.Zones.size() && plan_.Zones[z].HiKey < key) ++z;
        const int o = entryOutputs_[z * set_.Limits.size() + static_cast<size_t>(LayerFor(set_.Limits, midi))];
        auto [it, added] = stored.try_emplace(o);
        if (added) {
            const Output& out = outputs_[static_cast<size_t>(o)];
            const size_t values = static_cast<size_t>(std::ceil(kChordSeconds * set_.Rate)) * static_cast<size_t>(out.Baked.Channels);
            it->second.resize(std::min(out.Baked.Frames.size(), values));
            for (size_t i = 0; i < it->second.size(); ++i) it->second[i] = static_cast<float>(out.Baked.Frames[i] * out.Scale);
        }
        return it->second;
    };
    const Headroom h = ChooseHeadroom(in);
    set_.VelocityFactor = h.VelocityFactor;
    summary_.VelocityFactor = h.VelocityFactor;
    char text[160];
    std::snprintf(text, sizeof text,
                  "four pedalled eight-note chords at velocity 110 peak at %.1f dBFS: %.1f dBFS with it", h.PeakDbfs,
                  h.PeakDbfs + 20.0 * std::log10(h.VelocityFactor));
    summary_.VelocityFactorFrom = text;
}

void Import::Write(SetFolder& folder) {
    const double full = opts_.Bits == 24 ? 8388608.0 : 32768.0;
    std::map<int, int> perRoot;
    std::vector<int32_t> values;
    for (Output& o : outputs_) {
        char name[32];
        std::snprintf(name, sizeof name, "k%03d_%d.wav", o.Root, ++perRoot[o.Root]);
        o.File = name;
        values.resize(o.Baked.Frames.size());
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<int32_t>(std::clamp(std::nearbyint(o.Baked.Frames[i] * o.Scale * full), -full, full - 1));
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
    TPianoWaveTable table(definition.parent_path().string() + "/", kParamCount);
    std::string error;
    table.OnError = [&error](const std::string& detail) { error = detail; };
    const bool loaded = table.LoadFromFile(set_.Rate, definition.string());
    bool presetHolds = loaded;
    for (const auto& [index, fraction] : set_.Parameters)
        presetHolds = presetHolds && static_cast<size_t>(index) < table.Parameters.size() &&
                      std::fabs(table.Parameters[static_cast<size_t>(index)] - fraction) < 1e-6;
    if (!loaded || table.Samples.size() != set_.Entries.size() || table.LayerCount != set_.Limits.size() ||
        table.Stereo != (summary_.Channels == 2) || !presetHolds)
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
    Fit();
    Level();
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
