#include "tools/norvkeys/ParamOption.h"

#include <charconv>
#include <stdexcept>

#include "base/Cp936.h"
#include "base/TextCase.h"
#include "engine/Parameters.h"

namespace norv::tool {
namespace {

constexpr std::string_view kNamePrefix = "^b^a";

std::string NameList(const std::vector<std::string>& names) {
    std::string list;
    for (size_t i = 0; i < names.size(); ++i) {
        list += "\n  " + std::to_string(i) + "  " + names[i];
        if (i < kParams.size()) list += std::string(" (") + kParams[i].ShortName + ")";
    }
    return list;
}

}  // namespace

ParamSetting ParseParamSetting(const std::string& text) {
    const size_t eq = text.rfind('=');
    if (eq == std::string::npos) throw std::runtime_error("--param " + text + ": expected INDEX=VALUE or NAME=VALUE");
    ParamSetting s;
    s.Key = TrimBlanks(std::string_view(text).substr(0, eq));
    std::string value(TrimBlanks(std::string_view(text).substr(eq + 1)));
    if (s.Key.empty()) throw std::runtime_error("--param " + text + ": no parameter before '='");
    const char* first = value.data();
    const char* last = value.data() + value.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, s.Value);
    if (value.empty() || error != std::errc() || end != last)
        throw std::runtime_error("--param " + text + ": the value must be a whole number in knob units");
    return s;
}

std::string ShortNameList() {
    std::string list;
    for (const TParamInfo& p : kParams) list += (list.empty() ? "" : ", ") + std::string(p.ShortName);
    return list;
}

std::string HostNameText(std::string_view name) {
    if (name.starts_with(kNamePrefix)) name.remove_prefix(kNamePrefix.size());
    return Cp936ToUtf8(name);
}

std::vector<std::string> ParamNames(TQuirraPlug* plug) {
    std::vector<std::string> names;
    const auto count = static_cast<int>(plug->Info ? plug->Info->ParamCount : 0);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        plug->DescribeItem(0, i, 0, text);
        names.push_back(HostNameText(text));
    }
    return names;
}

int ResolveParam(const std::vector<std::string>& names, const std::string& key) {
    for (size_t i = 0; i < names.size(); ++i)
        if (EqualsIgnoreCase(names[i], key) || (i < kParams.size() && EqualsIgnoreCase(kParams[i].ShortName, key)))
            return static_cast<int>(i);
    bool digits = !key.empty() && key.size() <= 9;
    for (char c : key) digits = digits && c >= '0' && c <= '9';
    if (digits) {
        const int index = std::stoi(key);
        if (index < static_cast<int>(names.size())) return index;
    }
    throw std::runtime_error("--param " + key + ": no such parameter; the parameters are:" + NameList(names));
}

void ApplyParamSetting(TQuirraPlug* plug, const std::vector<std::string>& names, const ParamSetting& setting) {
    const int index = ResolveParam(names, setting.Key);
    // The ends of the host's scale are the ends of the knob's range.
    const auto min = static_cast<int32_t>(plug->HandleParameter(index, 0, ParamFlag::HostScale));
    const auto max = static_cast<int32_t>(plug->HandleParameter(index, 65536, ParamFlag::HostScale));
    if (setting.Value < min || setting.Value > max)
        throw std::runtime_error("--param " + setting.Key + "=" + std::to_string(setting.Value) + ": " + setting.Key +
                                 (setting.Key == names[static_cast<size_t>(index)] ? "" : " (" + names[static_cast<size_t>(index)] + ")") +
                                 " takes " + std::to_string(min) + " to " + std::to_string(max));
    plug->HandleParameter(index, setting.Value, ParamFlag::Set | ParamFlag::MoveKnob);
}

}  // namespace norv::tool
