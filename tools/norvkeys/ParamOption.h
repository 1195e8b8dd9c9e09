// --param INDEX|NAME=VALUE: a parameter set in knob units before rendering.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/QP_Def.h"

namespace norv::tool {

struct ParamSetting {
    std::string Key;  // index or name, as given
    int32_t Value = 0;
};

// Splits at the last '='; the value is a whole number. Throws std::runtime_error.
ParamSetting ParseParamSetting(const std::string& text);

// The parameters' short names, index for index, comma-separated.
std::string ShortNameList();

// A parameter name as the host receives it (code page 936, with the host's
// "^b^a" markup) as a person reads it: UTF-8, without the markup.
std::string HostNameText(std::string_view name);

// The instance's parameter names as HostNameText gives them.
std::vector<std::string> ParamNames(TQuirraPlug* plug);

// The index `key` names: an index, one of `names` or an alias, without regard
// to letter case. Throws std::runtime_error listing the names.
int ResolveParam(const std::vector<std::string>& names, const std::string& key);

// Checks the value against the knob's range and stores it (flags 0x11: set
// and move the knob). Throws std::runtime_error naming the range.
void ApplyParamSetting(TQuirraPlug* plug, const std::vector<std::string>& names, const ParamSetting& setting);

}  // namespace norv::tool
