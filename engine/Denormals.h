// The floating-point control state of the audio thread while the instrument
// renders: denormals flushed to zero (inputs and results), round to nearest,
// no traps. The caller's state comes back when the guard ends.
#pragma once

#include <cstdint>

namespace norv {

class TDenormalGuard {
public:
    // Audio thread; no system call.
    TDenormalGuard() noexcept;
    ~TDenormalGuard();
    TDenormalGuard(const TDenormalGuard&) = delete;
    TDenormalGuard& operator=(const TDenormalGuard&) = delete;

private:
    uint64_t saved_ = 0;
};

// Whether this thread flushes denormal results to zero now.
bool DenormalsFlushed();

}  // namespace norv
