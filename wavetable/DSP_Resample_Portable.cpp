// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

// Four lanes and the generic operations: SSE2 on x86, NEON on ARM.
#define NORV_RESAMPLE_TARGET
#include "wavetable/DSP_Resample_Body.h"

namespace norv::resample {

const TKernelTable& PortableKernels() { return TableOf<TGenericOps<4>>; }

}  // namespace norv::resample
