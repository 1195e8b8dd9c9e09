#include "tools/norvkeys/Interrupt.h"

namespace norv::tool {
namespace {

constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
volatile std::sig_atomic_t gInterrupted = 0;

extern "C" void NoteInterrupt(int) { gInterrupted = 1; }

}  // namespace

InterruptGuard::InterruptGuard() {
    gInterrupted = 0;
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &action, &old_[i]);
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 3; ++i) sigaction(kSignals[i], &old_[i], nullptr);
}

bool InterruptGuard::Interrupted() const { return gInterrupted != 0; }

}  // namespace norv::tool
