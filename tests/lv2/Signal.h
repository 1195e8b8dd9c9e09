// Measures on rendered sound.
#pragma once

#include <cstddef>
#include <vector>

namespace norv::test {

double Peak(const std::vector<float>& x, size_t begin, size_t end);
double Rms(const std::vector<float>& x, size_t begin, size_t end);
// The largest absolute difference of two renders over their common length.
double MaxDifference(const std::vector<float>& a, const std::vector<float>& b, size_t begin = 0);

// The repetition frequency in [lowHz, highHz] with the strongest normalised
// autocorrelation over [begin, end), refined between lags; 0 for silence.
double PitchHz(const std::vector<float>& x, size_t begin, size_t end, double rate, double lowHz, double highHz);
// The normalised autocorrelation at a lag of `rate / hz` samples.
double Correlation(const std::vector<float>& x, size_t begin, size_t end, double rate, double hz);

double Cents(double hz, double reference);

}  // namespace norv::test
