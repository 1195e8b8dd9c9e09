// For code that must match a scalar reference bit for bit: multiply-adds are
// not fused from here on, and the CPU intrinsics are available on x86.
// Include it first: the pragmas apply to what follows them.
#pragma once

#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

#if defined(__x86_64__) || defined(__i386__)
// Under the optimize pragma g++ 12 takes the intrinsics' deliberately
// undefined registers for uninitialised variables; the warning concerns
// the header only.
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
