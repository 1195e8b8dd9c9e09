// The one question every vectorised routine asks before it is chosen: which
// instruction sets this CPU runs. Answered once per process; any thread.
#pragma once

namespace norv {

enum class TSimdLevel : int {
    Portable = 0,  // what the compiler targets by default (SSE2, NEON, ...)
    AVX2 = 1,      // AVX2 + FMA
    AVX512 = 2,    // AVX-512 F, BW, DQ, VL (+ AVX2, FMA)
};

// The highest level this CPU runs.
TSimdLevel CpuSimdLevel();

// Whether this CPU runs `level`.
inline bool CpuRuns(TSimdLevel level) { return static_cast<int>(level) <= static_cast<int>(CpuSimdLevel()); }

}  // namespace norv
