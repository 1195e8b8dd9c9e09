#include "SignalMeasures.h"

#include <cmath>
#include <numbers>

namespace norv::test {

double Rms(const Frames& x, size_t begin, size_t end) {
    double sum = 0;
    for (size_t i = begin; i < end; ++i) sum += double(x[i]) * x[i];
    return end > begin ? std::sqrt(sum / double(end - begin)) : 0.0;
}

double RmsFrequency(const Frames& x, size_t begin, size_t end, double sampleRate) {
    double diff = 0, level = 0;
    for (size_t i = begin; i + 1 < end; ++i) {
        const double d = double(x[i + 1]) - x[i];
        diff += d * d;
        level += double(x[i]) * x[i];
    }
    return level > 0 ? sampleRate / (2 * std::numbers::pi) * std::sqrt(diff / level) : 0.0;
}

double AutocorrelationPitch(const Frames& x, size_t begin, size_t end, double sampleRate, double nominal) {
    const size_t n = end - begin;
    const double period = sampleRate / nominal;
    auto r = [&](size_t lag) {
        double sum = 0;
        for (size_t i = 0; i < n; ++i) sum += double(x[begin + i]) * x[begin + (i + lag) % n];
        return sum;
    };
    const size_t low = static_cast<size_t>(period * 0.94), high = static_cast<size_t>(period * 1.06) + 1;
    size_t bestLag = low;
    double best = r(low);
    for (size_t lag = low + 1; lag <= high; ++lag) {
        const double v = r(lag);
        if (v > best) best = v, bestLag = lag;
    }
    const double left = r(bestLag - 1), right = r(bestLag + 1);
    const double curve = left - 2 * best + right;
    const double shift = curve < 0 ? 0.5 * (left - right) / curve : 0.0;
    return sampleRate / (double(bestLag) + shift);
}

double Cents(double frequency, double reference) { return 1200 * std::log2(frequency / reference); }

}  // namespace norv::test
