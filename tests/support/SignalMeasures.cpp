#include "SignalMeasures.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace norv::test {

double Rms(const std::vector<float>& x, size_t begin, size_t end) {
    double sum = 0;
    for (size_t i = begin; i < end; ++i) sum += double(x[i]) * x[i];
    return end > begin ? std::sqrt(sum / double(end - begin)) : 0.0;
}

double RmsFrequency(const std::vector<float>& x, size_t begin, size_t end, double sampleRate) {
    double diff = 0, level = 0;
    for (size_t i = begin; i + 1 < end; ++i) {
        const double d = double(x[i + 1]) - x[i];
        diff += d * d;
        level += double(x[i]) * x[i];
    }
    return level > 0 ? sampleRate / (2 * std::numbers::pi) * std::sqrt(diff / level) : 0.0;
}

double LoopComponentFrequency(const std::vector<int16_t>& x, size_t begin, size_t end, double sampleRate,
                              double nominal) {
    const double n = double(end - begin);
    // Over whole periods of the loop no window is needed: each multiple of
    // the loop's own frequency stands alone.
    auto power = [&](long k) {
        const std::complex<double> step = std::polar(1.0, -2 * std::numbers::pi * double(k) / n);
        std::complex<double> z = 1.0, sum = 0.0;
        for (size_t i = begin; i < end; ++i) {
            sum += double(x[i]) * z;
            z *= step;
            if (((i - begin) & 1023) == 1023) z /= std::abs(z);
        }
        return std::norm(sum);
    };
    const long low = std::lround(0.94 * nominal * n / sampleRate), high = std::lround(1.06 * nominal * n / sampleRate);
    long best = low;
    double bestPower = -1;
    for (long k = std::max(low, 1L); k <= high; ++k) {
        if (const double p = power(k); p > bestPower) bestPower = p, best = k;
    }
    return double(best) * sampleRate / n;
}

double Cents(double frequency, double reference) { return 1200 * std::log2(frequency / reference); }

}  // namespace norv::test
