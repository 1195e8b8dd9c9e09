#include "toolkit/StylusSetting.h"

#include <cstdlib>

#include "base/IniFile.h"

namespace norv::tk {

bool ReadUseStylus(const std::string& iniPath) {
    return TIniFile(iniPath).ReadBool("General", "UseStylus", false);
}

bool UseStylus() {
    static const bool stylus = [] {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        std::string folder;
        if (config && *config) {
            folder = config;
        } else if (const char* home = std::getenv("HOME"); home && *home) {
            folder = std::string(home) + "/.config";
        } else {
            return false;
        }
        return ReadUseStylus(folder + "/halvern/shared.ini");
    }();
    return stylus;
}

}  // namespace norv::tk
