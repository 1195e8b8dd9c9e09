#include "lv2/GuiThread.h"

namespace norv::lv2 {

// Any thread. One for the whole binary: every instance and its UI share it.
std::recursive_mutex& GuiThreadLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace norv::lv2
