// How long run() takes, as a share of the period it renders, for benchmarks:
// NORV_LV2_STATS=FILE at instantiate turns it on, and the summary line
// ("lv2 callbacks N p50 S p99 S p99.9 S worst S skipped K longest L", K the
// periods left silent while a set switch held the processing lock, L the
// most of them in a row) goes to FILE when the instance is cleaned up.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "host/CallbackStats.h"

namespace norv::lv2 {

class RunStats {
public:
    // Instantiate thread. Off when `file` is empty.
    RunStats(std::string file, double sampleRate);

    bool On() const { return stats_ != nullptr; }

    // Audio thread: around one run of `frames` frames. No allocation.
    static timespec Now();
    void Record(const timespec& start, const timespec& end, uint32_t frames);

    // Cleanup thread. False (and the reason in `error`) when the file cannot be written.
    bool Write(int64_t skippedPeriods, int64_t longestSkip, std::string& error) const;

private:
    std::string file_;
    double rate_;
    std::unique_ptr<host::CallbackStats> stats_;
};

}  // namespace norv::lv2
