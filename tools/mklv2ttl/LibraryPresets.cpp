#include "tools/mklv2ttl/LibraryPresets.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "base/Cp936.h"
#include "engine/Parameters.h"
#include "host/StateStream.h"
#include "lv2/Protocol.h"
#include "tools/mklv2ttl/PluginTurtle.h"
#include "base/IniFile.h"

namespace norv::lv2 {
namespace {

constexpr const char* kPresetsFile = "presets.ttl";

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out + "\"";
}

// A set's file name as part of a URI: letters, digits and '-', '.', '_'
// as they are, every other byte %-escaped.
std::string UriPart(const std::string& text) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
    static const char* kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = (uint32_t{bytes[i]} << 16) | (i + 1 < bytes.size() ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (i + 2 < bytes.size() ? uint32_t{bytes[i + 2]} : 0);
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

std::string PresetUri(const PresetBundle& bundle, const TLibraryEntry& set) {
    return bundle.UriPrefix + UriPart(std::filesystem::path(set.File).stem().string());
}

bool Named(const TLibraryEntry& set) { return !set.Name.empty() && set.Name.size() <= host::kMaxStateNameBytes; }

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    const std::filesystem::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) throw std::runtime_error(temporary.string() + ": cannot be written");
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) throw std::runtime_error(path.string() + ": " + ec.message());
}

const char* kPrefixes =
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix xsd:   <http://www.w3.org/2001/XMLSchema#> .\n\n";

}  // namespace

std::vector<std::optional<double>> SetPreset(const TLibraryEntry& set, int paramCount) {
    const TIniFile ini{std::filesystem::path(set.File)};
    std::vector<std::optional<double>> preset(static_cast<size_t>(std::max(paramCount, 0)));
    for (size_t i = 0; i < preset.size(); ++i) {
        const double x = ini.ReadFloat("parameters", std::to_string(i), -1.0);
        if (x >= 0.0 && x <= 1.0) preset[i] = x;
    }
    return preset;
}

std::vector<int32_t> ChosenValues(const TLibraryEntry& set) {
    const std::vector<std::optional<double>> preset = SetPreset(set, kParamCount);
    std::vector<int32_t> values;
    for (int i = 0; i < kParamCount; ++i) {
        const auto& x = preset[static_cast<size_t>(i)];
        values.push_back(x ? ParamFromHostScale(i, static_cast<int32_t>(std::nearbyint(*x * 65536.0)))
                           : kParams[static_cast<size_t>(i)].Initial);
    }
    return values;
}

PresetBundle PluginBundle(const std::filesystem::path& folder) {
    return {folder, std::string(kPluginUri) + ":preset:", true};
}

std::optional<PresetBundle> UserPresetBundle() {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return std::nullopt;
    return PresetBundle{std::filesystem::path(home) / ".lv2" / "norv-keys-user-sets.lv2",
                        std::string(kPluginUri) + ":user-preset:", false};
}

void WritePresets(const PresetBundle& bundle, const std::vector<TLibraryEntry>& sets) {
    std::string manifest = bundle.WithPlugin ? ManifestTurtle() + "\n" : std::string(kPrefixes);
    if (bundle.WithPlugin) manifest += "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n\n";
    std::string presets = kPrefixes;
    for (const TLibraryEntry& set : sets) {
        if (!Named(set)) continue;
        const std::string uri = "<" + PresetUri(bundle, set) + ">";
        manifest += uri + "\n    a pset:Preset ;\n    lv2:appliesTo <" + std::string(kPluginUri) +
                    "> ;\n    rdfs:seeAlso <" + kPresetsFile + "> .\n\n";
        const std::vector<int32_t> values = ChosenValues(set);
        presets += uri + "\n    a pset:Preset ;\n    lv2:appliesTo <" + std::string(kPluginUri) + "> ;\n    rdfs:label " +
                   Quoted(DisplayText(set.Name)) + " ;\n    lv2:port ";
        for (int i = 0; i < kParamCount; ++i)
            presets += std::string(i ? ", " : "") + "[\n        lv2:symbol " +
                       Quoted(PortSymbol(kParams[static_cast<size_t>(i)].ShortName)) + " ;\n        pset:value " +
                       std::to_string(values[static_cast<size_t>(i)]) + ".0\n    ]";
        // The set travels in the instance's own state, as a saved project holds it.
        const std::vector<uint8_t> state = host::StateBytes({1, set.Name, values});
        presets += " ;\n    state:state [\n        <" + std::string(kStateKey) + "> \"" + Base64(state) +
                   "\"^^xsd:base64Binary\n    ] .\n\n";
    }
    std::error_code ec;
    std::filesystem::create_directories(bundle.Folder, ec);
    if (ec) throw std::runtime_error(bundle.Folder.string() + ": cannot be made: " + ec.message());
    WriteFile(bundle.Folder / kPresetsFile, presets);
    WriteFile(bundle.Folder / "manifest.ttl", manifest);
}

}  // namespace norv::lv2
