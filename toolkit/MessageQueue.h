// A bounded multi-producer, single-consumer ring of posted messages. Posting
// never blocks and never allocates; a full ring refuses the message.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "toolkit/Controls.h"

namespace norv::tk {

class TMessageQueue {
public:
    static constexpr size_t kCapacity = 4096;

    TMessageQueue();
    bool Post(const TMessage& m);
    bool Pop(TMessage& m);  // consumer only

private:
    struct Cell {
        std::atomic<size_t> sequence;
        TMessage message;
    };
    std::array<Cell, kCapacity> cells_;
    alignas(64) std::atomic<size_t> tail_{0};
    alignas(64) std::atomic<size_t> head_{0};
};

}  // namespace norv::tk
