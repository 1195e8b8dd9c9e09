// run() and the worker's answer on the audio thread allocate nothing: every
// allocation this thread makes inside them is counted, through notes,
// controller messages, moved ports, questions and a set switch.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "lv2/LilvRig.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NORV_COUNT_ALLOCATIONS 0
#else
#define NORV_COUNT_ALLOCATIONS 1
#endif

namespace {
thread_local bool tCounting = false;
thread_local int tAllocations = 0;
}  // namespace

#if NORV_COUNT_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t n) {
    if (tCounting) ++tAllocations;
    return __libc_malloc(n);
}
void* calloc(size_t a, size_t b) {
    if (tCounting) ++tAllocations;
    return __libc_calloc(a, b);
}
void* realloc(void* p, size_t n) {
    if (tCounting) ++tAllocations;
    return __libc_realloc(p, n);
}
void free(void* p) { __libc_free(p); }
}

void* operator new(size_t n) {
    if (tCounting) ++tAllocations;
    if (void* p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n) { return operator new(n); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
#endif

namespace norv::test {
namespace {

TEST(Lv2Realtime, RunAndWorkerAnswersNeverAllocate) {
    if (!NORV_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizers own malloc";
    TestBundle bundle;
    Lv2World world(bundle.Path());
    Lv2Instance in(world);
    ASSERT_TRUE(in.Ok());

    // Every buffer grows to its size first.
    std::vector<float> left, right;
    in.Midi(0, 0x90, 60, 100);
    in.Render(8192, 256, left, right);
    in.SettleWorker(left, right);

    int allocations = 0;
    auto counted = [&](auto call) {
        tAllocations = 0;
        tCounting = true;
        call();
        tCounting = false;
        allocations += tAllocations;
    };
    in.Midi(0, 0x90, 64, 100);
    in.Midi(10, 0xB0, 64, 127);
    in.Midi(20, 0xE0, 0, 70);
    in.Midi(30, 0xB0, 7, 90);
    in.SetControl("tune", 300.0f);
    in.SetControl("polyphony", 8.0f);
    in.PatchGet();
    for (int i = 0; i < 20; ++i) in.RunOnce(256, counted);

    // A set switch: periods skipped while it loads, note-offs kept for later.
    in.PatchSet("Test Set");
    in.RunOnce(256, counted);
    in.Midi(0, 0x80, 60, 0);
    in.Midi(1, 0x80, 64, 0);
    in.Midi(2, 0xB0, 64, 0);
    for (int i = 0; i < 4000 && (in.SetsHeard().empty() || in.SetsHeard().back() != "Test Set"); ++i) {
        in.RunOnce(256, counted);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(in.SetsHeard().back(), "Test Set");
    in.Midi(0, 0x90, 72, 100);
    for (int i = 0; i < 20; ++i) in.RunOnce(256, counted);
    EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace norv::test
