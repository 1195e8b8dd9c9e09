#include "tools/import/SampleSpectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace norv::import {
namespace {

constexpr int kWindow = 4096;
constexpr double kLowestHz = 20.0;
constexpr double kOpeningFrom = 0.05, kOpeningTo = 0.5;

struct PlanDeleter {
    void operator()(fftw_plan_s* p) const { fftw_destroy_plan(p); }
};
struct BufferDeleter {
    void operator()(void* p) const { fftw_free(p); }
};

}  // namespace

double BandHz(double b) { return kLowestHz * std::exp2(b / 12.0); }

BandSpectrum OpeningSpectrum(const std::vector<float>& frames, int channels, double rate) {
    BandSpectrum out;
    const int64_t total = static_cast<int64_t>(frames.size()) / channels;
    const int64_t from = std::min<int64_t>(std::llround(kOpeningFrom * rate), total);
    const int64_t to = std::min<int64_t>(std::llround(kOpeningTo * rate), total);
    if (to - from < 16) return out;

    std::unique_ptr<double, BufferDeleter> in(static_cast<double*>(fftw_malloc(sizeof(double) * kWindow)));
    std::unique_ptr<fftw_complex, BufferDeleter> spectrum(
        static_cast<fftw_complex*>(fftw_malloc(sizeof(fftw_complex) * (kWindow / 2 + 1))));
    std::unique_ptr<fftw_plan_s, PlanDeleter> plan(fftw_plan_dft_r2c_1d(kWindow, in.get(), spectrum.get(), FFTW_ESTIMATE));

    // Hann windows, half overlapping; each one's power normalised so that a
    // steady signal gives its mean square whatever the window count.
    std::array<double, kWindow> hann;
    double windowPower = 0;
    for (int i = 0; i < kWindow; ++i) {
        hann[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * (i + 0.5) / kWindow);
        windowPower += hann[static_cast<size_t>(i)] * hann[static_cast<size_t>(i)];
    }
    const int64_t length = to - from;
    const int64_t hop = kWindow / 2;
    const int64_t windows = length <= kWindow ? 1 : 1 + (length - kWindow + hop - 1) / hop;
    for (int64_t w = 0; w < windows; ++w) {
        const int64_t start = from + w * hop;
        for (int i = 0; i < kWindow; ++i) {
            const int64_t f = start + i;
            double v = 0;
            if (f < to)
                for (int c = 0; c < channels; ++c) v += frames[static_cast<size_t>(f * channels + c)];
            in.get()[i] = hann[static_cast<size_t>(i)] * v / channels;
        }
        fftw_execute(plan.get());
        for (int k = 1; k <= kWindow / 2; ++k) {
            const double hz = k * rate / kWindow;
            const double band = std::round(12.0 * std::log2(hz / kLowestHz));
            if (band < 0 || band >= kSpectrumBands) continue;
            const double re = spectrum.get()[k][0], im = spectrum.get()[k][1];
            // One-sided: twice the power of the bin, over the window's energy.
            out.Power[static_cast<size_t>(band)] += 2.0 * (re * re + im * im) / (windowPower * kWindow * windows);
        }
    }
    return out;
}

}  // namespace norv::import
