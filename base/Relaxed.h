// A value shared between the GUI thread and the audio thread without a lock:
// each access is one aligned store or load, as the engine's design relies on.
#pragma once

#include <atomic>

namespace norv {

template <class T>
class Relaxed {
public:
    constexpr Relaxed(T v = T()) : v_(v) {}
    Relaxed(const Relaxed& o) : v_(o.load()) {}
    Relaxed& operator=(const Relaxed& o) {
        store(o.load());
        return *this;
    }
    Relaxed& operator=(T v) {
        store(v);
        return *this;
    }
    operator T() const { return load(); }
    T load() const { return v_.load(std::memory_order_relaxed); }
    void store(T v) { v_.store(v, std::memory_order_relaxed); }

private:
    std::atomic<T> v_;
    static_assert(std::atomic<T>::is_always_lock_free);
};

}  // namespace norv
