// Measures taken on audio: rendered output and generated samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norv::test {

double Rms(const std::vector<float>& x, std::size_t begin, std::size_t end);

// Power-weighted RMS frequency in Hz over [begin, end), from the ratio of
// the first difference's RMS to the signal's: a brightness measure.
double RmsFrequency(const std::vector<float>& x, std::size_t begin, std::size_t end, double sampleRate);

// Frequency of the strongest component within +-6 % of `nominal` in a
// seamless loop [begin, end): the loop repeats exactly, so everything in it
// lies on a multiple of sampleRate / (end - begin).
double LoopComponentFrequency(const std::vector<int16_t>& x, std::size_t begin, std::size_t end, double sampleRate,
                              double nominal);

double Cents(double frequency, double reference);

}  // namespace norv::test
