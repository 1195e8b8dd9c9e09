// The sound set of the UI's own instance, kept in step with the plug-in's.
// An instance shows its set only through its saved state, and loads a set
// when a restored state names it. GUI thread.
#pragma once

#include <optional>
#include <string>

#include "host/HostServices.h"

namespace norv::lv2 {

// The name in the instance's state: the set's own bytes (code page 936 or UTF-8).
std::string InstanceSetName(TQuirraPlug* plug);

// The name as the set property carries it: UTF-8.
std::string SetPropertyName(const std::string& setName);

// The set name in the library of `wavTables` (a folder with a trailing '/')
// whose UTF-8 form is `utf8`; nullopt when no set is called so.
std::optional<std::string> LibrarySetName(const std::string& wavTables, const std::string& utf8);

// Loads the set called `setName` into the instance, keeping its parameter
// values; true when the instance plays that set afterwards.
bool LoadSetNamed(host::Host& host, TQuirraPlug* plug, const std::string& setName);

}  // namespace norv::lv2
