#include "lv2/Signal.h"

#include <algorithm>
#include <cmath>

namespace norv::test {
namespace {

double CorrelationAt(const std::vector<float>& x, size_t begin, size_t end, size_t lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = begin; i + lag < end; ++i) {
        xy += static_cast<double>(x[i]) * x[i + lag];
        xx += static_cast<double>(x[i]) * x[i];
        yy += static_cast<double>(x[i + lag]) * x[i + lag];
    }
    return xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0.0;
}

}  // namespace

double Peak(const std::vector<float>& x, size_t begin, size_t end) {
    double p = 0;
    for (size_t i = begin; i < std::min(end, x.size()); ++i) p = std::max(p, std::fabs(static_cast<double>(x[i])));
    return p;
}

double Rms(const std::vector<float>& x, size_t begin, size_t end) {
    end = std::min(end, x.size());
    if (end <= begin) return 0;
    double s = 0;
    for (size_t i = begin; i < end; ++i) s += static_cast<double>(x[i]) * x[i];
    return std::sqrt(s / static_cast<double>(end - begin));
}

double MaxDifference(const std::vector<float>& a, const std::vector<float>& b, size_t begin) {
    double d = 0;
    for (size_t i = begin; i < std::min(a.size(), b.size()); ++i) d = std::max(d, std::fabs(static_cast<double>(a[i]) - b[i]));
    return d;
}

double PitchHz(const std::vector<float>& x, size_t begin, size_t end, double rate, double lowHz, double highHz) {
    const auto shortest = static_cast<size_t>(std::floor(rate / highHz));
    const auto longest = static_cast<size_t>(std::ceil(rate / lowHz));
    size_t best = 0;
    double bestValue = 0;
    std::vector<double> r(longest + 2, 0.0);
    for (size_t lag = shortest - 1; lag <= longest + 1; ++lag) r[lag] = CorrelationAt(x, begin, end, lag);
    for (size_t lag = shortest; lag <= longest; ++lag)
        if (r[lag] > bestValue) bestValue = r[lag], best = lag;
    if (best == 0) return 0;
    // A parabola through the peak and its neighbours.
    const double a = r[best - 1], b = r[best], c = r[best + 1];
    const double denom = a - 2 * b + c;
    const double shift = denom != 0 ? 0.5 * (a - c) / denom : 0.0;
    return rate / (static_cast<double>(best) + shift);
}

double Correlation(const std::vector<float>& x, size_t begin, size_t end, double rate, double hz) {
    return CorrelationAt(x, begin, end, static_cast<size_t>(std::lround(rate / hz)));
}

double Cents(double hz, double reference) { return 1200.0 * std::log2(hz / reference); }

}  // namespace norv::test
