// norvkeys inspect: one sound set loaded exactly as an instance loads it,
// with every field of the table and its records and a checksum of the data.
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>

#include "engine/WorkingValues.h"
#include "host/StatusDisplay.h"
#include "base/Cp936.h"
#include "base/TextCase.h"
#include "tools/norvkeys/AtomicFile.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Json.h"
#include "tools/norvkeys/JsonNumber.h"
#include "tools/norvkeys/TextColumns.h"
#include "base/FileSystem.h"
#include "base/IniFile.h"
#include "wavetable/WavTables.h"

namespace norv::tool {
namespace {

struct InspectOptions {
    std::string Set;
    int32_t Rate = 44100;
    bool Json = false;
    std::string DumpData;
};

uint32_t DataCrc(const TPianoWaveTable& t) {
    if (!t.SampleData || t.SampleDataSize <= 0) return 0;
    return static_cast<uint32_t>(
        crc32(0L, reinterpret_cast<const Bytef*>(t.SampleData), static_cast<uInt>(t.SampleDataSize)));
}

// The loader rejects some sets without a word; say why.
std::string SilentRejection(const TPianoWaveTable& t, const std::string& definition) {
    const std::string resolved = t.ResolveDefault(definition);
    if (!FileExists(resolved)) return "its [default] file " + resolved + " does not exist";
    const TIniFile ini{std::filesystem::path(resolved)};
    if (ini.ReadInteger("info", "samples", 0) <= 0) return "it has no sample entries ([info] samples)";
    if (!ini.ReadString("info", "samplefile", "").empty()) {
        const std::string type = LowerCase(ini.ReadString("info", "filetype", "riff"));
        if (type != "riff" && type != "raw")
            return "a single sample file needs filetype riff or raw, not \"" + type + "\"";
        return "its sample file holds no sample data";
    }
    return "it holds no sample data";
}

void PrintJson(const TPianoWaveTable& t, const std::string& file) {
    std::ostringstream o;
    o << "{\n";
    o << "  \"File\": " << JsonString(DisplayText(file)) << ",\n";
    o << "  \"Name\": " << JsonString(DisplayText(t.Name)) << ",\n";
    o << "  \"ShortName\": " << JsonString(DisplayText(t.ShortName)) << ",\n";
    o << "  \"Author\": " << JsonString(DisplayText(t.Author)) << ",\n";
    o << "  \"LayerCount\": " << static_cast<int>(t.LayerCount) << ",\n";
    o << "  \"Stereo\": " << JsonBool(t.Stereo) << ",\n";
    o << "  \"SampleRate\": " << JsonFloat(t.SampleRate) << ",\n";
    o << "  \"VelocityFactor\": " << JsonFloat(t.VelocityFactor) << ",\n";
    o << "  \"ReleaseHighNotes\": " << JsonBool(t.ReleaseHighNotes) << ",\n";
    o << "  \"FileSize\": " << t.FileSize << ",\n";
    o << "  \"IsStandard\": " << JsonBool(t.IsStandard) << ",\n";
    o << "  \"Loaded\": " << JsonBool(t.Loaded) << ",\n";
    o << "  \"VelocityLimits\": [";
    for (size_t i = 0; i < t.VelocityLimits.size(); ++i) o << (i ? ", " : "") << t.VelocityLimits[i];
    o << "],\n  \"Parameters\": [";
    for (size_t i = 0; i < t.Parameters.size(); ++i) o << (i ? ", " : "") << JsonFloat(t.Parameters[i]);
    o << "],\n  \"Samples\": [";
    for (size_t i = 0; i < t.Samples.size(); ++i) {
        const TWaveTableSample& r = t.Samples[i];
        o << (i ? ",\n" : "\n") << "    {\"Root\": " << r.Root << ", \"High\": " << r.High
          << ", \"StartFrame\": " << r.StartFrame << ", \"EndFrame\": " << r.EndFrame
          << ", \"LoopLength\": " << r.LoopLength << ", \"OwnsData\": " << JsonBool(r.OwnsData)
          << ", \"DataOffset\": " << r.DataOffset << ", \"FrameCount\": " << r.FrameCount
          << ", \"StartOffset\": " << r.StartOffset << ", \"FileName\": " << JsonString(DisplayText(r.FileName))
          << "}";
    }
    o << (t.Samples.empty() ? "],\n" : "\n  ],\n");
    o << "  \"SampleDataSize\": " << t.SampleDataSize << ",\n";
    o << "  \"SampleDataCrc32\": " << DataCrc(t) << "\n}\n";
    std::cout << o.str();
}

std::string FloatText(float v) {
    std::string s = JsonFloat(v);
    return s.front() == '"' ? s.substr(1, s.size() - 2) : s;
}

void PrintText(const TPianoWaveTable& t, const std::string& file) {
    std::ostringstream o;
    auto field = [&o](const char* name, const std::string& value) { o << PadColumns(name, 18) << value << "\n"; };
    field("File", DisplayText(file));
    field("Name", DisplayText(t.Name));
    field("ShortName", DisplayText(t.ShortName));
    field("Author", DisplayText(t.Author));
    field("LayerCount", std::to_string(t.LayerCount));
    field("Stereo", JsonBool(t.Stereo));
    field("SampleRate", FloatText(t.SampleRate));
    field("VelocityFactor", FloatText(t.VelocityFactor));
    field("ReleaseHighNotes", JsonBool(t.ReleaseHighNotes));
    field("FileSize", std::to_string(t.FileSize) + " (" + FormatSize(t.FileSize) + ")");
    field("IsStandard", JsonBool(t.IsStandard));
    field("Loaded", JsonBool(t.Loaded));
    std::string limits, params;
    for (int32_t v : t.VelocityLimits) limits += (limits.empty() ? "" : " ") + std::to_string(v);
    for (float v : t.Parameters) params += (params.empty() ? "" : " ") + FloatText(v);
    field("VelocityLimits", limits);
    field("Parameters", params);
    field("SampleDataSize", std::to_string(t.SampleDataSize) + " (" + FormatSize(t.SampleDataSize) + ")");
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", DataCrc(t));
    field("SampleDataCrc32", crc);

    o << "\n";
    const char* heads[] = {"#",  "Root", "High", "StartFrame", "EndFrame", "LoopLength", "OwnsData", "DataOffset",
                           "FrameCount", "StartOffset"};
    const size_t widths[] = {6, 6, 6, 12, 12, 12, 10, 12, 12, 13};
    for (size_t c = 0; c < std::size(heads); ++c) o << PadColumns(heads[c], widths[c]);
    o << "FileName\n";
    for (size_t i = 0; i < t.Samples.size(); ++i) {
        const TWaveTableSample& r = t.Samples[i];
        const std::string cells[] = {std::to_string(i),          std::to_string(r.Root),       std::to_string(r.High),
                                     std::to_string(r.StartFrame), std::to_string(r.EndFrame),
                                     std::to_string(r.LoopLength), JsonBool(r.OwnsData),
                                     std::to_string(r.DataOffset), std::to_string(r.FrameCount),
                                     std::to_string(r.StartOffset)};
        for (size_t c = 0; c < std::size(cells); ++c) o << PadColumns(cells[c], widths[c]);
        o << DisplayText(r.FileName) << "\n";
    }
    std::cout << o.str();
}

void Inspect(const InspectOptions& opts) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A folder stands for its default set, as an empty file name does for an instance.
    const bool folder = fs::is_directory(opts.Set, ec);
    const fs::path absolute = fs::absolute(opts.Set, ec);
    const std::string definitionFolder = folder ? absolute.string() : absolute.parent_path().string();
    TPianoWaveTable table(definitionFolder, kParamCount);
    const std::string file = folder ? std::string() : absolute.string();
    const std::string shown = folder ? table.DefaultFileName() : opts.Set;

    std::string error;
    table.OnError = [&error](const std::string& detail) { error = detail; };
    host::StatusDisplay status(stderr);
    table.OnProgress = [&status](TPianoWaveTable*, int32_t current, int32_t last) {
        status.ShowFraction(static_cast<double>(current + 1) / (static_cast<double>(last) + 1.0), "loading");
    };
    const bool loaded = table.LoadFromFile(opts.Rate, file);
    status.Finish();
    if (!loaded) {
        if (error.empty()) error = SilentRejection(table, folder ? table.DefaultFileName() : file);
        throw std::runtime_error(shown + ": the set does not load: " + error);
    }

    if (!opts.DumpData.empty())
        WriteFileAtomically(opts.DumpData, table.SampleData, static_cast<size_t>(table.SampleDataSize));
    if (opts.Json)
        PrintJson(table, shown);
    else
        PrintText(table, shown);
}

void AddInspectCommand(CLI::App& app, CommonOptions&) {
    auto* cmd = app.add_subcommand(
        "inspect", "Load a sound set as the instrument loads it and print every field of the table and its records");
    auto opts = std::make_shared<InspectOptions>();
    cmd->add_option("set", opts->Set, "The .wti definition; a folder stands for the set its default.wti names")
        ->required();
    cmd->add_option("--rate", opts->Rate, "Host sample rate (Hz) that WAVE samples are converted to")
        ->check(CLI::Range(1, 1000000))
        ->capture_default_str();
    cmd->add_flag("--json", opts->Json, "Print JSON instead of text");
    cmd->add_option("--dump-data", opts->DumpData,
                    "Write the SampleDataSize bytes of SampleData (signed 16-bit, native byte order) to this file");
    cmd->callback([opts] { Inspect(*opts); });
}

const CommandRegistrar kInspect(AddInspectCommand);

}  // namespace
}  // namespace norv::tool
