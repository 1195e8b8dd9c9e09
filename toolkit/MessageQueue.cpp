#include "toolkit/MessageQueue.h"

namespace norv::tk {

TMessageQueue::TMessageQueue() {
    for (size_t i = 0; i < kCapacity; ++i) cells_[i].sequence.store(i, std::memory_order_relaxed);
}

bool TMessageQueue::Post(const TMessage& m) {
    size_t pos = tail_.load(std::memory_order_relaxed);
    for (;;) {
        Cell& cell = cells_[pos % kCapacity];
        size_t seq = cell.sequence.load(std::memory_order_acquire);
        intptr_t diff = static_cast<intptr_t>(seq) - static_cast<intptr_t>(pos);
        if (diff == 0) {
            if (tail_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                cell.message = m;
                cell.sequence.store(pos + 1, std::memory_order_release);
                return true;
            }
        } else if (diff < 0) {
            return false;
        } else {
            pos = tail_.load(std::memory_order_relaxed);
        }
    }
}

bool TMessageQueue::Pop(TMessage& m) {
    size_t pos = head_.load(std::memory_order_relaxed);
    Cell& cell = cells_[pos % kCapacity];
    size_t seq = cell.sequence.load(std::memory_order_acquire);
    if (static_cast<intptr_t>(seq) - static_cast<intptr_t>(pos + 1) < 0) return false;
    m = cell.message;
    cell.sequence.store(pos + kCapacity, std::memory_order_release);
    head_.store(pos + 1, std::memory_order_relaxed);
    return true;
}

}  // namespace norv::tk
