// norvkeys import: a SoundFont (SF2, SF3) or SFZ piano into a sound set.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "host/StatusDisplay.h"
#include "tools/import/Importer.h"
#include "tools/import/SourceFile.h"
#include "tools/mklv2ttl/LibraryPresets.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Interrupt.h"
#include "tools/norvkeys/Json.h"
#include "tools/norvkeys/SetChoice.h"
#include "tools/norvkeys/TextColumns.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"

namespace norv::tool {
namespace {

struct ImportCommandOptions {
    import::ImportOptions Import;
    bool List = false;
    bool Json = false;
    bool Quiet = false;
};

std::string JsonList(const std::vector<std::string>& items) {
    std::string s = "[";
    for (size_t i = 0; i < items.size(); ++i) s += (i ? ", " : "") + JsonString(items[i]);
    return s + "]";
}

std::string Fixed(double v, int digits) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

void PrintSummaryText(const import::ImportSummary& s, double seconds) {
    std::ostringstream o;
    auto field = [&o](const char* name, const std::string& value) { o << PadColumns(name, 12) << value << "\n"; };
    field("Source", s.Source + " (" + s.Kind + (s.Preset.empty() ? "" : ", " + s.Preset) + ")");
    field("Set", s.Name + " (" + s.ShortName + ")");
    field("Definition", s.Definition);
    field("Zones", std::to_string(s.Zones));
    std::string layers = std::to_string(s.Layers.size());
    for (size_t i = 0; i < s.Layers.size(); ++i)
        layers += (i ? ", " : ": ") + std::string("MIDI ") + std::to_string(s.Layers[i].LoVel) + "-" +
                  std::to_string(s.Layers[i].HiVel) + (i ? " (limit " + std::to_string(s.Layers[i].Limit) + ")" : "");
    field("Layers", layers);
    field("Keys", std::to_string(s.LowKey) + "-" + std::to_string(s.HighKey));
    field("Rate", std::to_string(s.Rate) + " Hz");
    field("Channels", s.Channels == 2 ? "2 (stereo)" : "1 (mono)");
    field("Bits", std::to_string(s.Bits));
    field("Files", std::to_string(s.Files) + " WAVE files");
    field("Bytes", std::to_string(s.Bytes) + " (" + FormatSize(s.Bytes) + ")");
    field("Read", std::to_string(s.SourceBytes) + " bytes of samples");
    field("Gain", Fixed(s.GainDb, 2) + " dB (peak -1 dBFS)");
    for (size_t i = 0; i < s.Parameters.size(); ++i) {
        const import::PresetLine& p = s.Parameters[i];
        field(i ? "" : "Preset", p.Parameter + " " + std::to_string(p.Value) + ": " + p.From);
    }
    field("Level", "velocityfactor " + Fixed(s.VelocityFactor, 3) + ": " + s.VelocityFactorFrom);
    field("Time", Fixed(seconds, 2) + " s");
    if (s.LeftOut.empty()) field("Left out", "nothing");
    for (size_t i = 0; i < s.LeftOut.size(); ++i) field(i ? "" : "Left out", s.LeftOut[i]);
    for (size_t i = 0; i < s.Notes.size(); ++i) field(i ? "" : "Notes", s.Notes[i]);
    std::cout << o.str();
}

void PrintSummaryJson(const import::ImportSummary& s, double seconds) {
    std::ostringstream o;
    o << "{\n  \"Source\": " << JsonString(s.Source) << ",\n  \"Kind\": " << JsonString(s.Kind)
      << ",\n  \"Preset\": " << JsonString(s.Preset) << ",\n  \"Name\": " << JsonString(s.Name)
      << ",\n  \"ShortName\": " << JsonString(s.ShortName) << ",\n  \"Definition\": " << JsonString(s.Definition)
      << ",\n  \"Zones\": " << s.Zones << ",\n  \"Layers\": [";
    for (size_t i = 0; i < s.Layers.size(); ++i)
        o << (i ? ", " : "") << "{\"LoVel\": " << s.Layers[i].LoVel << ", \"HiVel\": " << s.Layers[i].HiVel
          << ", \"Limit\": " << s.Layers[i].Limit << "}";
    o << "],\n  \"LowKey\": " << s.LowKey << ",\n  \"HighKey\": " << s.HighKey << ",\n  \"Rate\": " << s.Rate
      << ",\n  \"Channels\": " << s.Channels << ",\n  \"Bits\": " << s.Bits << ",\n  \"Files\": " << s.Files
      << ",\n  \"Bytes\": " << s.Bytes << ",\n  \"SourceBytes\": " << s.SourceBytes
      << ",\n  \"GainDb\": " << Fixed(s.GainDb, 3) << ",\n  \"Parameters\": [";
    for (size_t i = 0; i < s.Parameters.size(); ++i)
        o << (i ? ", " : "") << "{\"Parameter\": " << JsonString(s.Parameters[i].Parameter)
          << ", \"Value\": " << s.Parameters[i].Value << ", \"From\": " << JsonString(s.Parameters[i].From) << "}";
    o << "],\n  \"VelocityFactor\": " << Fixed(s.VelocityFactor, 6)
      << ",\n  \"VelocityFactorFrom\": " << JsonString(s.VelocityFactorFrom) << ",\n  \"Seconds\": " << Fixed(seconds, 3)
      << ",\n  \"LeftOut\": " << JsonList(s.LeftOut) << ",\n  \"Notes\": " << JsonList(s.Notes) << "\n}\n";
    std::cout << o.str();
}

void PrintListing(const import::SourceFile& source, bool json) {
    const std::vector<import::PresetEntry> presets = source.Presets();
    if (json) {
        std::ostringstream o;
        o << "{\n  \"Source\": " << JsonString(source.Path()) << ",\n  \"Kind\": " << JsonString(source.Kind())
          << ",\n  \"Presets\": [";
        for (size_t i = 0; i < presets.size(); ++i) {
            const import::PresetEntry& p = presets[i];
            o << (i ? ",\n" : "\n") << "    {\"Bank\": " << p.Bank << ", \"Program\": " << p.Program
              << ", \"Name\": " << JsonString(p.Name) << ", \"Regions\": " << p.Regions
              << ", \"Default\": " << (p.Default ? "true" : "false") << "}";
        }
        o << (presets.empty() ? "]\n}\n" : "\n  ]\n}\n");
        std::cout << o.str();
        return;
    }
    std::cout << PadColumns("preset", 10) << PadColumns("regions", 9) << "name\n";
    for (const import::PresetEntry& p : presets)
        std::cout << PadColumns(std::to_string(p.Bank) + ":" + std::to_string(p.Program), 10)
                  << PadColumns(p.Regions < 0 ? "-" : std::to_string(p.Regions), 9) << p.Name
                  << (p.Default ? "  (imported without --preset)" : "") << "\n";
}

// An SFZ file's regions, as the import would map them.
void PrintSfzListing(import::SourceFile& source, bool json) {
    source.Select("");
    int lo = 127, hi = 0;
    std::vector<int> splits;
    for (const import::SourceRegion& r : source.Regions) {
        lo = std::min(lo, r.LoKey);
        hi = std::max(hi, r.HiKey);
        if (r.LoVel > 1 && std::find(splits.begin(), splits.end(), r.LoVel) == splits.end()) splits.push_back(r.LoVel);
    }
    std::sort(splits.begin(), splits.end());
    const std::vector<std::string> leftOut = source.LeftOut.Lines();
    std::string splitText;
    for (int v : splits) splitText += (splitText.empty() ? "" : " ") + std::to_string(v);
    if (json) {
        std::cout << "{\n  \"Source\": " << JsonString(source.Path()) << ",\n  \"Kind\": \"SFZ\",\n  \"Regions\": "
                  << source.Regions.size() << ",\n  \"Samples\": " << source.SampleFacts.size()
                  << ",\n  \"LowKey\": " << lo << ",\n  \"HighKey\": " << hi << ",\n  \"VelocitySplits\": ["
                  << [&] { std::string s; for (size_t i = 0; i < splits.size(); ++i) s += (i ? ", " : "") + std::to_string(splits[i]); return s; }()
                  << "],\n  \"LeftOut\": " << JsonList(leftOut) << "\n}\n";
        return;
    }
    std::ostringstream o;
    auto field = [&o](const char* name, const std::string& value) { o << PadColumns(name, 16) << value << "\n"; };
    field("Regions", std::to_string(source.Regions.size()) + " that play notes");
    field("Samples", std::to_string(source.SampleFacts.size()) + " files");
    field("Keys", std::to_string(lo) + "-" + std::to_string(hi));
    field("Velocity splits", splits.empty() ? "none (one layer)" : "at MIDI " + splitText);
    if (leftOut.empty()) field("Left out", "nothing");
    for (size_t i = 0; i < leftOut.size(); ++i) field(i ? "" : "Left out", leftOut[i]);
    std::cout << o.str();
}

// The bundle's library when this user may write there, else the user's own.
std::string DefaultImportFolder(const std::string& plugin) {
    const std::string bundle = BundleFolder(plugin);
    if (access(bundle.c_str(), W_OK) == 0) return bundle;
    const std::string user = UserLibraryFolder();
    if (user.empty())
        throw std::runtime_error(bundle + " is not writable and the user library is off ($NORVKEYS_USER_SETS is empty): "
                                 "-o FOLDER says where the set goes");
    std::error_code ec;
    std::filesystem::create_directories(user, ec);
    if (ec) throw std::runtime_error(user + ": cannot be made: " + ec.message());
    return user;
}

// An LV2 host's preset menu offers the new set: the presets of the bundle
// whose library took it, or of the user library, are written again. The set
// itself is in place by now; a failure here only warns.
void UpdatePresets(const std::string& folder, const std::string& plugin, bool quiet) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path library = fs::path(folder).lexically_normal();
    const fs::path bundle = (library.filename().empty() ? library.parent_path() : library).parent_path();
    std::optional<lv2::PresetBundle> target;
    std::vector<TLibraryEntry> sets;
    if (fs::is_regular_file(bundle / "norv-keys.ttl", ec)) {
        target = lv2::PluginBundle(bundle);
        sets = ScanFolder(TPianoWaveTable(folder, 0));
    } else if (const std::string user = UserLibraryFolder(); !user.empty() && fs::equivalent(user, folder, ec)) {
        target = lv2::UserPresetBundle();
        // The user's sets an instance offers: none the bundle's names hide.
        for (TLibraryEntry& e : InstalledSets(plugin))
            if (fs::equivalent(fs::path(e.File).parent_path(), user, ec)) sets.push_back(std::move(e));
    }
    if (!target) return;
    try {
        lv2::WritePresets(*target, sets);
        if (!quiet) std::cerr << "norvkeys: LV2 presets written to " << (target->Folder / "presets.ttl").string() << "\n";
    } catch (const std::exception& e) {
        std::cerr << "norvkeys: warning: the LV2 presets were not written: " << e.what() << "\n";
    }
}

void RunImport(const ImportCommandOptions& opts, const std::string& plugin) {
    if (opts.List) {
        std::unique_ptr<import::SourceFile> source = import::SourceFile::Open(opts.Import.Source);
        if (source->Kind() == "SFZ")
            PrintSfzListing(*source, opts.Json);
        else
            PrintListing(*source, opts.Json);
        return;
    }
    import::ImportOptions io = opts.Import;
    if (io.Folder.empty()) io.Folder = DefaultImportFolder(plugin);
    host::StatusDisplay status(stderr);
    status.Quiet = opts.Quiet;
    InterruptGuard interrupt;
    const auto started = std::chrono::steady_clock::now();
    const import::ImportSummary summary = import::ImportSet(io, [&](double fraction) {
        status.ShowFraction(fraction, "importing");
        return !interrupt.Interrupted();
    });
    status.Finish();
    UpdatePresets(io.Folder, plugin, opts.Quiet || opts.Json);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (opts.Json)
        PrintSummaryJson(summary, seconds);
    else if (!opts.Quiet)
        PrintSummaryText(summary, seconds);
}

void AddImportCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand(
        "import", "Turn a SoundFont (.sf2, .sf3) or SFZ (.sfz) piano into a sound set: FOLDER/NAME.wti and its "
                  "WAVE files in FOLDER/NAME/");
    auto opts = std::make_shared<ImportCommandOptions>();
    import::ImportOptions& o = opts->Import;
    cmd->add_option("source", o.Source, "The .sf2, .sf3 or .sfz file")->required();
    cmd->add_option("-o,--output", o.Folder,
                    "Folder for the set (default: the --plugin bundle's WavTables/ when it is writable, else the user "
                    "library, ~/.local/share/norvkeys/WavTables/)");
    cmd->add_option("--preset", o.Preset,
                    "SoundFont preset as BANK:PROGRAM or by name (default: 0:0, else the first)");
    cmd->add_option("--name", o.Name, "Name of the set, also its file name (default: the preset's or the file's)");
    cmd->add_option("--shortname", o.ShortName, "Short name shown in the selector (default: the name)");
    cmd->add_option("--author", o.Author, "Author shown in the editor (default: the SoundFont's engineer)");
    cmd->add_option("--layers", o.Layers, "At most N velocity layers, the closest merged (default: all)")
        ->check(CLI::Range(1, 127));
    cmd->add_option("--bits", o.Bits, "Bits of the WAVE files")->check(CLI::IsMember({16, 24}))->capture_default_str();
    cmd->add_option("--rate", o.Rate, "Sample rate of the set in Hz (default: the source's most common)")
        ->check(CLI::Range(8000, 192000));
    cmd->add_flag("--list", opts->List, "Print the presets (SoundFont) or the regions' summary (SFZ); write nothing");
    cmd->add_flag("--force", o.Force, "Replace a set of the same name in FOLDER");
    cmd->add_flag("--json", opts->Json, "Print the summary as JSON");
    cmd->add_flag("-q,--quiet", opts->Quiet, "No progress bar and no summary");
    cmd->callback([opts, &common] { RunImport(*opts, common.Plugin); });
}

const CommandRegistrar kImport(AddImportCommand);

}  // namespace
}  // namespace norv::tool
