// For code that must match a scalar reference bit for bit: multiply-adds are
// not fused from here on, and the CPU intrinsics are available on x86.
// Include it first: the pragmas apply to what follows them.
#pragma once

#if defined(__clang__)
#pragma clang fp contract(off)
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

#include "base/Intrinsics.h"
