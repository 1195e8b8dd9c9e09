#include "host/PluginLibrary.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <vector>

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

PluginLocation FindPlugin() {
    namespace fs = std::filesystem;
    if (const char* chosen = std::getenv("NORVKEYS_PLUGIN"); chosen && *chosen) return {chosen, "$NORVKEYS_PLUGIN"};
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    const fs::path dir = ec ? fs::path(".") : exe.parent_path();
    const fs::path built = dir / "NorvKeys" / "NorvKeys.so";
    std::vector<PluginLocation> places = {{built.string(), "the build tree"}};
    if (const char* home = std::getenv("HOME"); home && *home)
        places.push_back({(fs::path(home) / ".lv2" / "norv-keys.lv2" / "NorvKeys.so").string(), "~/.lv2"});
    places.push_back({(dir / ".." / "lib" / "lv2" / "norv-keys.lv2" / "NorvKeys.so").lexically_normal().string(),
                      "the install prefix"});
    for (const PluginLocation& p : places)
        if (fs::is_regular_file(p.Path, ec)) return p;
    return {built.string(), "nowhere: no bundle is installed"};
}

std::string DefaultPluginPath() { return FindPlugin().Path; }

}  // namespace norv::host
