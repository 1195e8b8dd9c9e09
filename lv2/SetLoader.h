// A second, silent instance of the instrument that loads a set before the
// playing instance switches to it. Both are instances of one loaded plug-in,
// which keeps one copy of a set for every instance that plays it: when the
// playing instance then loads the set under the processing lock, it only
// takes that copy, and run() misses no more than the swap.
//
// The silent instance has a host of its own, so its loads never take the
// processing lock that run() tries. It follows every set the playing
// instance takes, so it holds no copy that the playing instance does not.
//
// Threads: whichever thread holds GuiThreadLock().
#pragma once

#include <memory>
#include <string>

#include "host/HostServices.h"

namespace norv::lv2 {

class SetLoader {
public:
    // Throws std::runtime_error naming the file when the plug-in cannot be
    // loaded or makes no instance.
    SetLoader(const std::string& pluginPath, int32_t rate);
    ~SetLoader();
    SetLoader(const SetLoader&) = delete;
    SetLoader& operator=(const SetLoader&) = delete;

    // Loads the set that `cp936Name` names (as a saved state names it) at
    // the rate given. A name the library lacks leaves the set as it was.
    void Load(const std::string& cp936Name);

private:
    std::unique_ptr<host::Host> host_;
    TQuirraPlug* plug_ = nullptr;
};

}  // namespace norv::lv2
