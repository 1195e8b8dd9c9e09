#include "host/CallbackStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <stdexcept>

namespace norv::host {

void CallbackStats::Add(double seconds, double periodSeconds) {
    if (periodSeconds <= 0) return;
    const double share = std::max(seconds, 0.0) / periodSeconds;
    const double bin = std::floor(share * 1000.0);
    bins_[bin >= static_cast<double>(kBins - 1) ? kBins - 1 : static_cast<size_t>(bin)]++;
    ++count_;
    worst_ = std::max(worst_, share);
}

double CallbackStats::Quantile(double q) const {
    if (count_ == 0) return 0.0;
    // The smallest bin edge that at least ceil(q * count) callbacks stayed within.
    const auto wanted = static_cast<int64_t>(std::ceil(std::clamp(q, 0.0, 1.0) * static_cast<double>(count_)));
    int64_t seen = 0;
    for (size_t i = 0; i < kBins; ++i) {
        seen += bins_[i];
        if (seen >= wanted && seen > 0) return std::min(static_cast<double>(i + 1) / 1000.0, worst_);
    }
    return worst_;
}

std::string CallbackStats::Summary(const std::string& name, int64_t xruns) const {
    char line[256];
    std::snprintf(line, sizeof line, "%s callbacks %lld p50 %.4f p99 %.4f p99.9 %.4f worst %.4f", name.c_str(),
                  static_cast<long long>(count_), Quantile(0.5), Quantile(0.99), Quantile(0.999), worst_);
    std::string text = line;
    if (xruns >= 0) text += " xruns " + std::to_string(xruns);
    return text;
}

void WriteStats(const std::string& path, const std::string& summary) {
    std::ofstream out(path);
    out << summary << "\n";
    out.close();
    if (!out) throw std::runtime_error(path + ": cannot write the measurements");
}

}  // namespace norv::host
