// First: it fixes the floating-point contract for this file.
#include "wavetable/DSP_Resample_Kernels.h"

namespace norv::resample {
namespace {

void ToInt16Scalar(const float* in, int16_t* out, size_t count) {
    for (size_t n = 0; n < count; ++n) out[n] = SampleToInt16(in[n]);
}

const TKernelTable Portable{RunScalar, ToInt16Scalar, PositionsScalar};

}  // namespace

const TKernelTable& PortableKernels() { return Portable; }

}  // namespace norv::resample
