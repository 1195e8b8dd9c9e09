#include "lv2ui/TestBundle.h"

#include <chrono>
#include <fstream>
#include <iterator>

namespace norv::test {

namespace fs = std::filesystem;

std::string MakeTwoSetBundle(const fs::path& root) {
    const fs::path built = NORV_LV2_BUNDLE;
    fs::create_directories(root / "WavTables");
    for (const char* file : {"NorvKeysLv2.so", "NorvKeys.so", "manifest.ttl", "norv-keys.ttl"})
        fs::create_symlink(built / file, root / file);
    fs::create_directory_symlink(built / "Artwork", root / "Artwork");
    const fs::path tables = built / "WavTables";
    fs::create_directory_symlink(tables / "NorvGrand", root / "WavTables" / "NorvGrand");
    fs::copy_file(tables / "default.wti", root / "WavTables" / "default.wti");
    fs::copy_file(tables / "NorvGrand.wti", root / "WavTables" / "NorvGrand.wti");
    std::ifstream in(tables / "NorvGrand.wti", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.find("name=Norv Grand"), 15, "name=Upright");
    std::ofstream(root / "WavTables" / "Upright.wti", std::ios::binary) << text;
    // As old as sets installed before a session, which instances share.
    for (const char* copied : {"default.wti", "NorvGrand.wti", "Upright.wti"})
        fs::last_write_time(root / "WavTables" / copied, fs::file_time_type::clock::now() - std::chrono::hours(1));
    return root.string() + "/";
}

}  // namespace norv::test
