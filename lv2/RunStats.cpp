#include "lv2/RunStats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace norv::lv2 {

RunStats::RunStats(std::string file, double sampleRate) : file_(std::move(file)), rate_(sampleRate) {
    if (On()) counts_.assign(kBuckets, 0);
}

timespec RunStats::Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

void RunStats::Record(const timespec& start, const timespec& end, uint32_t frames) {
    if (!On() || frames == 0 || rate_ <= 0.0) return;
    const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) + 1e-9 * static_cast<double>(end.tv_nsec - start.tv_nsec);
    const double share = seconds * rate_ / static_cast<double>(frames);
    const auto bucket = static_cast<size_t>(std::max(share, 0.0) / kBucketWidth);
    ++counts_[std::min(bucket, kBuckets - 1)];
    ++runs_;
    worst_ = std::max(worst_, share);
}

double RunStats::Percentile(double fraction) const {
    if (runs_ == 0) return 0.0;
    const auto wanted = static_cast<int64_t>(std::ceil(fraction * static_cast<double>(runs_)));
    int64_t seen = 0;
    for (size_t b = 0; b < counts_.size(); ++b) {
        seen += counts_[b];
        if (seen >= std::max<int64_t>(wanted, 1)) return std::min(static_cast<double>(b + 1) * kBucketWidth, worst_);
    }
    return worst_;
}

bool RunStats::Write(std::string& error) const {
    if (!On()) return true;
    FILE* f = std::fopen(file_.c_str(), "w");
    if (!f) {
        error = file_ + ": cannot write the run statistics";
        return false;
    }
    std::fprintf(f, "runs %lld\np50 %.6f\np99 %.6f\np99.9 %.6f\nworst %.6f\n", static_cast<long long>(runs_),
                 Percentile(0.5), Percentile(0.99), Percentile(0.999), worst_);
    const bool ok = std::fclose(f) == 0;
    if (!ok) error = file_ + ": cannot write the run statistics";
    return ok;
}

}  // namespace norv::lv2
