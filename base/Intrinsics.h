// The CPU intrinsics, on x86 only.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
// g++ 12 takes the intrinsics' deliberately undefined registers for
// uninitialised variables; the warning concerns the header only.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif
