// Stands in for the LV2 plug-in's lock while the UI is built without it.
#include "lv2/GuiThread.h"

namespace norv::lv2 {

std::recursive_mutex& GuiThreadLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace norv::lv2
