#include "host/PluginLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace norv::host {

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    // Kept mapped after dlclose: the libraries it pulls in (pixman, through
    // cairo) allocate tables when they load that nothing frees on unload.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle_) throw std::runtime_error(path + ": cannot load plug-in: " + dlerror());
    create_ = reinterpret_cast<CreatePlugInstanceFn>(dlsym(handle_, "CreatePlugInstance"));
    if (!create_) {
        dlclose(handle_);
        handle_ = nullptr;
        throw std::runtime_error(path + ": not a Norv Studio plug-in (no CreatePlugInstance)");
    }
}

PluginLibrary::~PluginLibrary() {
    if (handle_) dlclose(handle_);
}

std::string DefaultPluginPath() {
    if (const char* chosen = std::getenv("NORVKEYS_PLUGIN"); chosen && *chosen) return chosen;
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "NorvKeys/NorvKeys.so";
    return (exe.parent_path() / "NorvKeys" / "NorvKeys.so").string();
}

}  // namespace norv::host
