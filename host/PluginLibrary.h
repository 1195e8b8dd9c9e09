// A plug-in bundle loaded with dlopen, as any host loads it.
#pragma once

#include <string>

#include "plugin/QP_Def.h"

namespace norv::host {

class PluginLibrary {
public:
    // Throws std::runtime_error naming the file and dlerror()'s reason.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    CreatePlugInstanceFn Create() const { return create_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    CreatePlugInstanceFn create_ = nullptr;
};

// Where a host finds the plug-in when it is not told: $NORVKEYS_PLUGIN, the
// build tree the program runs from (<its folder>/NorvKeys/), the user's
// ~/.lv2/norv-keys.lv2/, then the prefix it is installed in
// (<its folder>/../lib/lv2/norv-keys.lv2/). `From` says which.
struct PluginLocation {
    std::string Path;
    std::string From;
};
PluginLocation FindPlugin();
std::string DefaultPluginPath();

}  // namespace norv::host
