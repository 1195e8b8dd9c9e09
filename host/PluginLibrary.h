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

// $NORVKEYS_PLUGIN when set, else the bundle beside the running program:
// <dir of executable>/NorvKeys/NorvKeys.so.
std::string DefaultPluginPath();

}  // namespace norv::host
