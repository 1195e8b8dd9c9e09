#include "lv2/RunStats.h"

#include <stdexcept>

namespace norv::lv2 {

RunStats::RunStats(std::string file, double sampleRate) : file_(std::move(file)), rate_(sampleRate) {
    if (!file_.empty()) stats_ = std::make_unique<host::CallbackStats>();
}

timespec RunStats::Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t;
}

void RunStats::Record(const timespec& start, const timespec& end, uint32_t frames) {
    if (!On() || frames == 0 || rate_ <= 0.0) return;
    const double seconds =
        static_cast<double>(end.tv_sec - start.tv_sec) + 1e-9 * static_cast<double>(end.tv_nsec - start.tv_nsec);
    stats_->Add(seconds, static_cast<double>(frames) / rate_);
}

bool RunStats::Write(int64_t skippedPeriods, int64_t longestSkip, std::string& error) const {
    if (!On()) return true;
    try {
        host::WriteStats(file_, stats_->Summary("lv2", -1) + " skipped " + std::to_string(skippedPeriods) + " longest " +
                                    std::to_string(longestSkip));
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

}  // namespace norv::lv2
