// How long a live host's process callback took, as a share of its period,
// kept in a histogram that is allocated once so the audio thread only counts.
// Benchmarks read it; the JACK player and the LV2 instrument both keep one.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace norv::host {

// CLOCK_MONOTONIC in seconds; safe on the audio thread.
inline double MonotonicSeconds() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

class CallbackStats {
public:
    // Bins of a thousandth of a period, up to four periods; longer ones go
    // to the last bin and the worst is kept exactly.
    static constexpr size_t kBins = 4000;

    // Audio thread: one callback that took `seconds` of a `periodSeconds` period.
    void Add(double seconds, double periodSeconds);

    // Once the audio thread has stopped.
    int64_t Count() const { return count_; }
    // The share of the period that a fraction `q` (0..1) of the callbacks stayed within.
    double Quantile(double q) const;
    double Worst() const { return worst_; }
    // "NAME callbacks N p50 S p99 S p99.9 S worst S xruns N", shares as
    // fractions; without " xruns N" when `xruns` is negative (not known).
    std::string Summary(const std::string& name, int64_t xruns) const;

private:
    std::array<int64_t, kBins> bins_{};
    int64_t count_ = 0;
    double worst_ = 0.0;
};

// Writes the summary line into `path`; throws std::runtime_error naming the file.
void WriteStats(const std::string& path, const std::string& summary);

}  // namespace norv::host
