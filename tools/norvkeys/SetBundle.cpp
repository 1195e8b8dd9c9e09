#include "tools/norvkeys/SetBundle.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "base/TextCase.h"
#include "wavetable/WavTables.h"

namespace norv::tool {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLibraryFolder = "WavTables";

bool IsDefaultPointer(const fs::path& p) { return EqualsIgnoreCase(p.filename().string(), "default.wti"); }

// A default.wti only points at a set; the set it points at is the one meant.
fs::path PointedSet(const std::string& given, const fs::path& definition) {
    if (!IsDefaultPointer(definition)) return definition;
    const TPianoWaveTable table("./", 0);
    const fs::path target = table.ResolveDefault(definition.string());
    std::error_code ec;
    if (IsDefaultPointer(target) || !fs::is_regular_file(target, ec))
        throw std::runtime_error(given + ": a default.wti names a folder's default set and is no set itself");
    return target;
}

}  // namespace

SetBundle::SetBundle(const std::string& plugin, const std::string& definition) {
    std::error_code ec;
    const fs::path so = fs::absolute(plugin, ec);
    if (ec || !fs::is_regular_file(so, ec))
        throw std::runtime_error(plugin + ": cannot load plug-in: no such file");
    fs::path def = fs::absolute(definition, ec);
    if (ec || fs::is_directory(def, ec)) throw std::runtime_error(definition + ": is a folder, not a set definition");
    if (!fs::is_regular_file(def, ec)) throw std::runtime_error(definition + ": no such set definition");
    if (!EqualsIgnoreCase(def.extension().string(), ".wti"))
        throw std::runtime_error(definition + ": not a set definition (.wti)");
    def = PointedSet(definition, def);

    const fs::path temp = fs::temp_directory_path(ec);
    std::string folder = ((ec ? fs::path("/tmp") : temp) / "norvkeys-set-XXXXXX").string();
    if (!mkdtemp(folder.data()))
        throw std::runtime_error(folder + ": cannot make a temporary folder: " + std::strerror(errno));
    root_ = folder;
    try {
        Build(so, def);
    } catch (const fs::filesystem_error& e) {
        fs::remove_all(root_, ec);
        throw std::runtime_error(definition + ": cannot prepare a bundle for it: " + e.code().message() + " (" +
                                 e.path1().string() + ")");
    } catch (...) {
        fs::remove_all(root_, ec);
        throw;
    }
}

SetBundle::~SetBundle() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void SetBundle::Build(const fs::path& plugin, const fs::path& definition) {
    pluginName_ = plugin.filename().string();
    fs::create_symlink(plugin, root_ / pluginName_);
    // Whatever else the real bundle holds beside its library (artwork).
    for (const fs::directory_entry& e : fs::directory_iterator(plugin.parent_path())) {
        const std::string name = e.path().filename().string();
        if (name != pluginName_ && name != kLibraryFolder) fs::create_symlink(e.path(), root_ / name);
    }
    const fs::path tables = root_ / kLibraryFolder;
    fs::create_directory(tables);
    for (const fs::directory_entry& e : fs::directory_iterator(definition.parent_path()))
        if (!IsDefaultPointer(e.path())) fs::create_symlink(e.path(), tables / e.path().filename());
    definition_ = definition.filename().string();
    std::ofstream pointer(tables / "default.wti", std::ios::binary);
    pointer << "[default]\nfile=" << definition_ << "\n";
    pointer.close();
    if (!pointer) throw std::runtime_error((tables / "default.wti").string() + ": cannot write");
}

}  // namespace norv::tool
