#include "engine/Denormals.h"

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace norv {
namespace {

#if defined(__x86_64__) || defined(__i386__)
// MXCSR: exception flags in bits 0-5, DAZ 6, masks 7-12, rounding 13-14, FTZ 15.
constexpr uint32_t kFlags = 0x003F;
constexpr uint32_t kRender = 0x8000 | 0x0040 | 0x1F80;  // FTZ, DAZ, every exception masked, nearest

uint64_t ReadState() { return _mm_getcsr(); }
// The control part only: exception flags raised meanwhile stay raised.
void WriteControl(uint64_t control) { _mm_setcsr((_mm_getcsr() & kFlags) | (static_cast<uint32_t>(control) & ~kFlags)); }
uint64_t RenderState(uint64_t) { return kRender; }
bool Flushing(uint64_t state) { return (state & 0x8000) != 0; }
#elif defined(__aarch64__)
// FPCR: FZ bit 24, rounding bits 22-23, trap enables bits 8-12 and 15.
constexpr uint64_t kFZ = uint64_t{1} << 24;
constexpr uint64_t kRounding = uint64_t{3} << 22;
constexpr uint64_t kTraps = 0x9F00;

uint64_t ReadState() {
    uint64_t v;
    asm volatile("mrs %0, fpcr" : "=r"(v));
    return v;
}
void WriteControl(uint64_t v) { asm volatile("msr fpcr, %0" : : "r"(v)); }
uint64_t RenderState(uint64_t saved) { return (saved & ~(kRounding | kTraps)) | kFZ; }
bool Flushing(uint64_t state) { return (state & kFZ) != 0; }
#else
uint64_t ReadState() { return 0; }
void WriteControl(uint64_t) {}
uint64_t RenderState(uint64_t saved) { return saved; }
bool Flushing(uint64_t) { return false; }
#endif

}  // namespace

TDenormalGuard::TDenormalGuard() noexcept : saved_(ReadState()) { WriteControl(RenderState(saved_)); }

TDenormalGuard::~TDenormalGuard() { WriteControl(saved_); }

bool DenormalsFlushed() { return Flushing(ReadState()); }

}  // namespace norv
