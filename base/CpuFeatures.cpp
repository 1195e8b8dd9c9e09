#include "base/CpuFeatures.h"

namespace norv {
namespace {

TSimdLevel Query() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    const bool avx512 = avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
    if (avx512) return TSimdLevel::AVX512;
    if (avx2) return TSimdLevel::AVX2;
#endif
    return TSimdLevel::Portable;
}

}  // namespace

TSimdLevel CpuSimdLevel() {
    // A function-local static: the first caller may be another file's
    // start-up code.
    static const TSimdLevel level = Query();
    return level;
}

}  // namespace norv
