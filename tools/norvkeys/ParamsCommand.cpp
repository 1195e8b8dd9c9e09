// norvkeys params: the fifteen parameters as an instance reports them.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <vector>

#include "host/HostServices.h"
#include "base/Cp936.h"
#include "engine/Parameters.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Json.h"
#include "tools/norvkeys/ParamOption.h"
#include "tools/norvkeys/TextColumns.h"

namespace norv::tool {
namespace {

struct ParamRow {
    int Index;
    std::string Name;      // as a person reads it
    std::string HostName;  // as the host receives it, its markup included
    std::string ShortName;  // what --param takes besides the name
    int32_t Min, Max, Initial;
    std::string TextMin, TextInitial, TextMax;
};

std::string ValueText(host::Host& host, TQuirraPlug* plug, int index, int32_t value) {
    plug->HandleParameter(index, value, ParamFlag::MoveKnob | ParamFlag::ShowText);
    return Cp936ToUtf8(host.LastHint[plug->HostTag]);
}

std::vector<ParamRow> ReadParams(host::Host& host, TQuirraPlug* plug) {
    std::vector<ParamRow> rows;
    const int count = static_cast<int>(plug->Info->ParamCount);
    for (int i = 0; i < count; ++i) {
        ParamRow r;
        r.Index = i;
        char name[64] = {};
        plug->DescribeItem(0, i, 0, name);
        r.HostName = Cp936ToUtf8(name);
        r.Name = HostNameText(name);
        r.ShortName = i < kParamCount ? kParams[static_cast<size_t>(i)].ShortName : "";
        r.Min = static_cast<int32_t>(plug->HandleParameter(i, 0, ParamFlag::HostScale));
        r.Max = static_cast<int32_t>(plug->HandleParameter(i, 65536, ParamFlag::HostScale));
        r.Initial = static_cast<int32_t>(plug->HandleParameter(i, 0, ParamFlag::Get));
        r.TextMin = ValueText(host, plug, i, r.Min);
        r.TextInitial = ValueText(host, plug, i, r.Initial);
        r.TextMax = ValueText(host, plug, i, r.Max);
        plug->HandleParameter(i, r.Initial, ParamFlag::MoveKnob);  // the knob back where it was
        rows.push_back(std::move(r));
    }
    return rows;
}

void PrintJson(const std::vector<ParamRow>& rows) {
    std::cout << "[\n";
    for (size_t k = 0; k < rows.size(); ++k) {
        const ParamRow& r = rows[k];
        std::cout << "  {\"index\": " << r.Index << ", \"name\": " << JsonString(r.Name)
                  << ", \"host_name\": " << JsonString(r.HostName)
                  << ", \"short_name\": " << JsonString(r.ShortName) << ", \"min\": " << r.Min
                  << ", \"max\": " << r.Max << ", \"initial\": " << r.Initial
                  << ", \"text_min\": " << JsonString(r.TextMin) << ", \"text_initial\": " << JsonString(r.TextInitial)
                  << ", \"text_max\": " << JsonString(r.TextMax) << "}" << (k + 1 < rows.size() ? "," : "") << "\n";
    }
    std::cout << "]\n";
}

void PrintTable(const std::vector<ParamRow>& rows) {
    std::cout << PadColumns("#", 4) << PadColumns("name", 18) << PadColumns("short", 11) << PadColumns("range", 16) << PadColumns("initial", 9) << PadColumns("at min", 18)
              << PadColumns("at initial", 18) << "at max\n";
    for (const ParamRow& r : rows) {
        std::ostringstream range;
        range << r.Min << ".." << r.Max;
        std::cout << PadColumns(std::to_string(r.Index), 4) << PadColumns(r.Name, 18) << PadColumns(r.ShortName, 11) << PadColumns(range.str(), 16)
                  << PadColumns(std::to_string(r.Initial), 9) << PadColumns(r.TextMin, 18) << PadColumns(r.TextInitial, 18) << r.TextMax
                  << "\n";
    }
}

}  // namespace

namespace {
void AddParamsCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand("params", "Print the fifteen parameters: name, range, initial value and value texts");
    auto json = std::make_shared<bool>(false);
    cmd->add_flag("--json", *json, "Print JSON instead of a table");
    cmd->callback([&common, json] {
        host::Host host(common.Plugin);
        host.Status.Quiet = true;
        TQuirraPlug* plug = host.CreateInstance();
        if (!plug) throw std::runtime_error(common.Plugin + ": the plug-in refused to create an instance");
        auto rows = ReadParams(host, plug);
        host.DestroyInstance(plug);
        if (*json)
            PrintJson(rows);
        else
            PrintTable(rows);
    });
}

const CommandRegistrar kParams(AddParamsCommand);
}  // namespace

}  // namespace norv::tool
