#include "base/ProgressHook.h"

#include <atomic>

namespace norv {
namespace {
std::atomic<IProgressReceiver*> gReceiver{nullptr};
}

IProgressReceiver* ProgressReceiver() { return gReceiver.load(std::memory_order_acquire); }

void SetProgressReceiver(IProgressReceiver* receiver) { gReceiver.store(receiver, std::memory_order_release); }

void ReportProgress(int32_t position, int32_t total) {
    if (IProgressReceiver* r = ProgressReceiver()) r->ShowProgress(position, total);
}

}  // namespace norv
