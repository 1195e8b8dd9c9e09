// How long run() takes, as a share of the period it renders, for benchmarks:
// NORV_LV2_STATS=FILE at instantiate turns it on, and the percentiles go to
// FILE when the instance is cleaned up.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace norv::lv2 {

class RunStats {
public:
    // Instantiate thread. Off when `file` is empty.
    RunStats(std::string file, double sampleRate);

    bool On() const { return !file_.empty(); }

    // Audio thread: around one run of `frames` frames. No allocation.
    static timespec Now();
    void Record(const timespec& start, const timespec& end, uint32_t frames);

    // Cleanup thread. "runs N", then p50, p99, p99.9 and worst as shares of
    // the period, one per line. False (and the reason in `error`) when the
    // file cannot be written.
    bool Write(std::string& error) const;

    // The share below which `fraction` of the runs fell (a bucket's upper edge).
    double Percentile(double fraction) const;
    double Worst() const { return worst_; }
    int64_t Runs() const { return runs_; }

private:
    static constexpr double kBucketWidth = 0.0005;  // of the period
    static constexpr size_t kBuckets = 8000;        // up to 4 periods; the last holds anything longer

    std::string file_;
    double rate_;
    std::vector<int64_t> counts_;
    int64_t runs_ = 0;
    double worst_ = 0.0;
};

}  // namespace norv::lv2
