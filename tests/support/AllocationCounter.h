// Counts the allocations a thread makes while tCounting is set, by replacing
// malloc and operator new for the whole program: include it in exactly one
// source file of a test program. The sanitizers own the allocator, so their
// builds count nothing (NORV_COUNT_ALLOCATIONS is 0 there).
#pragma once

#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define NORV_COUNT_ALLOCATIONS 0
#else
#define NORV_COUNT_ALLOCATIONS 1
#endif

inline thread_local bool tCounting = false;
inline thread_local int tAllocations = 0;

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
