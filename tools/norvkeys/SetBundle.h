// A bundle folder of our own in which one definition is the default set.
//
// The instrument reads its library only from WavTables/ beside the .so it
// was loaded from (found with dladdr), and a state can choose a set only by
// its name. To play a definition from anywhere, or one that an earlier set
// of the same name shadows, the tool builds a temporary bundle: the plug-in
// file is a link to the real one, WavTables/ holds a link to every entry
// beside the definition (so its sample paths resolve as they would there) and
// a default.wti naming it, so the set is the library's first entry and the
// one an instance loads first.
//
// glibc's dlopen hands back the library already loaded when the same file
// was opened before, under any name; the link only works when it is the first
// path this process loads the plug-in through.
#pragma once

#include <filesystem>
#include <string>

namespace norv::tool {

class SetBundle {
public:
    // Throws std::runtime_error naming the plug-in or the definition and the
    // reason; nothing is left behind then.
    SetBundle(const std::string& plugin, const std::string& definition);
    // Removes the folder and the links in it (never what they point to).
    ~SetBundle();
    SetBundle(const SetBundle&) = delete;
    SetBundle& operator=(const SetBundle&) = delete;

    // The plug-in to load: the link inside the bundle.
    std::string Plugin() const { return (root_ / pluginName_).string(); }
    // The definition's file name inside WavTables/.
    const std::string& Definition() const { return definition_; }

private:
    void Build(const std::filesystem::path& plugin, const std::filesystem::path& definition);

    std::filesystem::path root_;
    std::string pluginName_;
    std::string definition_;
};

}  // namespace norv::tool
