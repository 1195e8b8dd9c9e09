// Ctrl-C and termination requests noticed instead of obeyed at once, so a
// long job can stop cleanly and leave no half-written output behind.
#pragma once

#include <csignal>

namespace norv::tool {

// While alive, SIGINT, SIGTERM and SIGHUP only set a flag; the previous
// handlers come back on destruction. One guard at a time.
class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    bool Interrupted() const;

private:
    struct sigaction old_[3];
};

}  // namespace norv::tool
