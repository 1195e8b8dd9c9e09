#include "tools/mklv2ttl/PluginTurtle.h"

#include <algorithm>
#include <string>

#include "engine/Parameters.h"
#include "lv2/Protocol.h"

namespace norv::lv2 {
namespace {

constexpr const char* kBinary = "NorvKeysLv2.so";
constexpr const char* kDataFile = "norv-keys.ttl";
constexpr const char* kLicense = "http://opensource.org/licenses/MIT";
// Room for a patch:Set naming the longest set, with headroom.
constexpr int kNotifyBytes = 4096;

constexpr const char* kPrefixes =
    "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
    "@prefix log:   <http://lv2plug.in/ns/ext/log#> .\n"
    "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix patch: <http://lv2plug.in/ns/ext/patch#> .\n"
    "@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix rsz:   <http://lv2plug.in/ns/ext/resize-port#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix work:  <http://lv2plug.in/ns/ext/worker#> .\n\n";

std::string Uri(const char* uri) { return std::string("<") + uri + ">"; }

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string IntegerControl(uint32_t index, const std::string& symbol, const std::string& name, int32_t min,
                           int32_t max, int32_t initial) {
    return "    [\n"
           "        a lv2:InputPort, lv2:ControlPort ;\n"
           "        lv2:index " + std::to_string(index) + " ;\n"
           "        lv2:symbol " + Quoted(symbol) + " ;\n"
           "        lv2:name " + Quoted(name) + " ;\n"
           "        lv2:default " + std::to_string(initial) + " ;\n"
           "        lv2:minimum " + std::to_string(min) + " ;\n"
           "        lv2:maximum " + std::to_string(max) + " ;\n"
           "        lv2:portProperty lv2:integer\n"
           "    ]";
}

std::string FixedPorts() {
    const std::string group = Uri(kPluginUri).insert(1 + std::string(kPluginUri).size(), "#out");
    return "    [\n"
           "        a lv2:InputPort, atom:AtomPort ;\n"
           "        lv2:index " + std::to_string(kMidiIn) + " ;\n"
           "        lv2:symbol \"events\" ;\n"
           "        lv2:name \"Events\" ;\n"
           "        atom:bufferType atom:Sequence ;\n"
           "        atom:supports midi:MidiEvent, patch:Message ;\n"
           "        lv2:designation lv2:control\n"
           "    ], [\n"
           "        a lv2:OutputPort, lv2:AudioPort ;\n"
           "        lv2:index " + std::to_string(kLeftOut) + " ;\n"
           "        lv2:symbol \"out_left\" ;\n"
           "        lv2:name \"Left\" ;\n"
           "        pg:group " + group + " ;\n"
           "        lv2:designation pg:left\n"
           "    ], [\n"
           "        a lv2:OutputPort, lv2:AudioPort ;\n"
           "        lv2:index " + std::to_string(kRightOut) + " ;\n"
           "        lv2:symbol \"out_right\" ;\n"
           "        lv2:name \"Right\" ;\n"
           "        pg:group " + group + " ;\n"
           "        lv2:designation pg:right\n"
           "    ], [\n"
           "        a lv2:OutputPort, atom:AtomPort ;\n"
           "        lv2:index " + std::to_string(kNotify) + " ;\n"
           "        lv2:symbol \"notify\" ;\n"
           "        lv2:name \"Notify\" ;\n"
           "        atom:bufferType atom:Sequence ;\n"
           "        atom:supports patch:Message ;\n"
           "        rsz:minimumSize " + std::to_string(kNotifyBytes) + " ;\n"
           "        lv2:designation lv2:control\n"
           "    ]";
}

std::string ControlPorts(const PluginFacts& facts) {
    std::string out;
    for (int i = 0; i < kParamCount; ++i) {
        const TParamInfo& p = kParams[static_cast<size_t>(i)];
        out += ",\n" + IntegerControl(kFirstParam + static_cast<uint32_t>(i), PortSymbol(p.ShortName), p.ShortName,
                                      p.Min, p.Max, p.Initial);
    }
    out += ",\n" + IntegerControl(kPolyphony, "polyphony", "Polyphony", kMinPolyphony, kMaxPolyphony,
                                  std::clamp(facts.DefaultPolyphony, kMinPolyphony, kMaxPolyphony));
    return out;
}

}  // namespace

std::string PortSymbol(const std::string& name) {
    std::string out;
    for (char c : name) {
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        out += word ? c : '_';
    }
    if (out.empty() || (out[0] >= '0' && out[0] <= '9')) out.insert(out.begin(), '_');
    return out;
}

std::string ManifestTurtle() {
    return std::string(kPrefixes) + Uri(kPluginUri) +
           "\n"
           "    a lv2:Plugin, lv2:InstrumentPlugin ;\n"
           "    lv2:binary <" + kBinary + "> ;\n"
           "    rdfs:seeAlso <" + kDataFile + "> .\n\n" +
           Uri(kUiUri) +
           "\n"
           "    a ui:X11UI ;\n"
           "    ui:binary <" + kBinary + "> ;\n"
           "    rdfs:seeAlso <" + kDataFile + "> .\n";
}

std::string PluginTurtle(const PluginFacts& facts) {
    const std::string plugin = Uri(kPluginUri);
    const std::string group = Uri(kPluginUri).insert(1 + std::string(kPluginUri).size(), "#out");
    return std::string(kPrefixes) + Uri(kSetProperty) +
           "\n"
           "    a lv2:Parameter ;\n"
           "    rdfs:label \"Sound set\" ;\n"
           "    rdfs:range atom:String .\n\n" +
           Uri(kStateKey) +
           "\n"
           "    a rdf:Property ;\n"
           "    rdfs:label \"Instrument state\" ;\n"
           "    rdfs:comment \"The bytes the instrument saves: its set's name and its parameters.\" ;\n"
           "    rdfs:range atom:Chunk .\n\n" +
           group +
           "\n"
           "    a pg:StereoGroup, pg:OutputGroup ;\n"
           "    lv2:symbol \"out\" ;\n"
           "    rdfs:label \"Output\" .\n\n" +
           plugin +
           "\n"
           "    a lv2:Plugin, lv2:InstrumentPlugin ;\n"
           "    doap:name \"Norv Keys\" ;\n"
           "    doap:license <" + kLicense + "> ;\n"
           "    lv2:requiredFeature urid:map, work:schedule ;\n"
           "    lv2:optionalFeature log:log, opts:options, bufsz:boundedBlockLength, lv2:hardRTCapable,\n"
           "        state:threadSafeRestore ;\n"
           "    opts:supportedOption bufsz:maxBlockLength, bufsz:nominalBlockLength ;\n"
           "    lv2:extensionData state:interface, work:interface ;\n"
           "    patch:readable " + Uri(kSetProperty) + " ;\n"
           "    patch:writable " + Uri(kSetProperty) + " ;\n"
           "    ui:ui " + Uri(kUiUri) + " ;\n"
           "    lv2:port\n" +
           FixedPorts() + ControlPorts(facts) +
           " .\n\n" + Uri(kUiUri) +
           "\n"
           "    a ui:X11UI ;\n"
           "    ui:binary <" + kBinary + "> ;\n"
           "    lv2:requiredFeature ui:parent, urid:map ;\n"
           "    lv2:optionalFeature ui:resize, ui:idleInterface ;\n"
           "    lv2:extensionData ui:idleInterface, ui:resize ;\n"
           "    ui:portNotification [\n"
           "        ui:plugin " + plugin + " ;\n"
           "        lv2:symbol \"notify\" ;\n"
           "        ui:notifyType atom:Object\n"
           "    ] .\n";
}

}  // namespace norv::lv2
