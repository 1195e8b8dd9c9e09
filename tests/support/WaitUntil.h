// Waiting on a state another thread or process brings about: polled, with a
// deadline that only a broken program reaches.
#pragma once

#include <chrono>
#include <thread>

namespace norv::test {

// True once `done()` holds; false when `patience` ran out first.
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds patience = std::chrono::seconds(60),
               std::chrono::milliseconds every = std::chrono::milliseconds(2)) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(every);
    }
    return true;
}

}  // namespace norv::test
