// The instrument's non-audio calls (state, sets, editor) expect one GUI
// thread, but an LV2 host makes them from several: its main thread, the
// worker, the UI's thread. The plug-in and its UI live in one binary, so
// one lock, taken around every such call into any instance, serializes them.
// Taken before the host side's processing lock, never after it.
#pragma once

#include <mutex>

namespace norv::lv2 {

std::recursive_mutex& GuiThreadLock();

}  // namespace norv::lv2
