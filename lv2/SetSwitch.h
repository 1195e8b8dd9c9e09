// Choosing a sound set by name from outside the editor. The instance shows
// its library only through its state: a state naming a set makes it load
// that set. So a set is chosen by restoring a state that names it and holds
// the instance's present parameter values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/HostServices.h"

namespace norv::lv2 {

// A UTF-8 set name as it travels between run() and the worker: fixed size,
// so run() copies it without allocating.
struct SetName {
    static constexpr size_t kCapacity = 512;  // a 254-byte code page 936 name, as UTF-8
    uint32_t Size = 0;
    char Bytes[kCapacity] = {};

    // Cut at the capacity.
    void Assign(std::string_view text);
    std::string_view View() const { return {Bytes, Size}; }
};

// What run() asks the worker: choose a set, or only tell which one plays.
struct SetRequest {
    enum : uint32_t { Choose = 1, Tell = 2 } Kind = Tell;
    SetName Name;
};

class SetLoader;

// Worker thread, under the GUI lock. Loads the set of `folder`'s library
// whose name or label is `utf8` (either letter case), keeping the parameter
// values, and puts the name of the set it plays now in `playing` (UTF-8).
// With a `loader`, the set is loaded there first, while `plug` plays on, so
// the switch under the processing lock finds it loaded, and the old set is
// let go after it.
// Returns false with the reason in `error` when no set is so named or the set
// would not load; the instance then plays what it played.
bool ChooseSetByName(host::Host& host, TQuirraPlug* plug, const std::string& folder, std::string_view utf8,
                     std::string& playing, std::string& error, SetLoader* loader = nullptr);

}  // namespace norv::lv2
