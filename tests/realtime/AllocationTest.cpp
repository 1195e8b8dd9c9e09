// The render path allocates nothing once its work buffer has grown: every
// allocation made on this thread while RenderMix runs is counted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <vector>

#include "support/PluginFixture.h"
#include "support/TestSets.h"

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
void* operator new(size_t n, std::align_val_t a) {
    if (tCounting) ++tAllocations;
    if (void* p = __libc_memalign(static_cast<size_t>(a), n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t n, std::align_val_t a) { return operator new(n, a); }
void operator delete(void* p) noexcept { __libc_free(p); }
void operator delete[](void* p) noexcept { __libc_free(p); }
void operator delete(void* p, size_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t) noexcept { __libc_free(p); }
void operator delete(void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { __libc_free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { __libc_free(p); }
#endif

namespace norv::test {
namespace {

using Realtime = PluginFixture;

TEST_F(Realtime, RenderMixAllocatesNothingAfterTheFirstBlock) {
    if (!NORV_COUNT_ALLOCATIONS) GTEST_SKIP() << "the sanitizers own the allocator in this build";
    TestSetOptions stereo;
    stereo.Channels = 2;
    WriteTestSet(dir.path() / "WavTables", stereo);
    TTestPlug* p = NewInstance();
    p->HostCommand(PlugCommand::SetSampleRate, 0, 48000);
    for (int i = 0; i < 15; ++i) p->HandleParameter(i, 20000 + 2000 * i, ParamFlag::Set | ParamFlag::HostScale);
    std::vector<host::HostVoice*> voices;
    for (int k = 0; k < 40; ++k) voices.push_back(host->StartVoice(p, 0, 40 + k, 0.3f + k / 80.0f, 1, 0, 100.0f * (k - 20)));
    std::vector<float> out(2 * 4096);

    int32_t n = 4096;
    p->RenderMix(out.data(), &n);  // the work buffer grows here
    tAllocations = 0;
    for (int block = 0; block < 200; ++block) {
        voices[static_cast<size_t>(block % 40)]->CurPitch += 7;  // step recomputation
        voices[static_cast<size_t>(block % 40)]->CurPan = (block % 5) / 5.0f;
        n = 1 + (block * 37) % 4096;
        tCounting = true;
        p->RenderMix(out.data(), &n);
        tCounting = false;
    }
    EXPECT_EQ(tAllocations, 0);

    // Voice starts may allocate (the record); releases may not.
    tCounting = true;
    for (host::HostVoice* v : voices) p->ReleaseVoice(v->Handle);
    tCounting = false;
    EXPECT_EQ(tAllocations, 0);
}

}  // namespace
}  // namespace norv::test
