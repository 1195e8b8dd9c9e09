// Silent instances of the instrument that load a set before the playing
// instance switches to it, and let go of the old one after. They are
// instances of the same loaded plug-in, which keeps one copy of a set for
// every instance that plays it: the playing instance's switch, under the
// processing lock, then only takes a copy that is there and hands back one
// that is still held, so run() misses no more than the swap.
//
// The instances have a host of their own, so their loads never take the
// processing lock that run() tries. Between switches both hold the set the
// playing instance plays, and no other.
//
// Threads: whichever thread holds GuiThreadLock().
#pragma once

#include <cstdint>
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

    // Before the playing instance loads the set `cp936Name` names (as a
    // saved state names it): the set is loaded ahead.
    void Prepare(const std::string& cp936Name);
    // After it has: the set it played before is let go here, outside the
    // processing lock.
    void Follow(const std::string& cp936Name);

private:
    struct Silent {
        TQuirraPlug* Plug = nullptr;
        void Load(host::Host& host, const std::string& cp936Name);
    };
    std::unique_ptr<host::Host> host_;
    Silent ahead_, behind_;
};

}  // namespace norv::lv2
