#include "tools/import/Resample.h"

#include <soxr.h>

#include <cmath>
#include <string>

#include "tools/import/ImportError.h"

namespace norv::import {

std::vector<float> Resample(const std::vector<float>& frames, int channels, double ratio) {
    const size_t inFrames = frames.size() / static_cast<size_t>(channels);
    const size_t room = static_cast<size_t>(std::ceil(static_cast<double>(inFrames) * ratio)) + 16;
    std::vector<float> out(room * static_cast<size_t>(channels));
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    size_t done = 0;
    const soxr_error_t error = soxr_oneshot(1.0, ratio, static_cast<unsigned>(channels), frames.data(), inFrames,
                                            nullptr, out.data(), room, &done, &io, &quality, nullptr);
    if (error) throw ImportError(std::string("resampling failed: ") + error);
    out.resize(done * static_cast<size_t>(channels));
    return out;
}

}  // namespace norv::import
