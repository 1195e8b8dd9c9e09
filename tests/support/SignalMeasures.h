// Measures taken on audio: generated samples (16-bit values) and rendered
// output (floats).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norv::test {

// For sample types int16_t and float.
template <typename T>
double Rms(const std::vector<T>& x, std::size_t begin, std::size_t end);

// Power-weighted RMS frequency in Hz over [begin, end), from the ratio of
// the first difference's RMS to the signal's: a brightness measure.
template <typename T>
double RmsFrequency(const std::vector<T>& x, std::size_t begin, std::size_t end, double sampleRate);

// Power at `frequency` of [begin, end) under a Hann window, as a share of
// the window's power: 0.25 for a full-scale sine's peak (the window halves it).
template <typename T>
double HannPower(const std::vector<T>& x, std::size_t begin, std::size_t end, double sampleRate, double frequency);

// Frequency of the strongest component within +-6 % of `nominal` in a
// seamless loop [begin, end): the loop repeats exactly, so everything in it
// lies on a multiple of sampleRate / (end - begin).
double LoopComponentFrequency(const std::vector<int16_t>& x, std::size_t begin, std::size_t end, double sampleRate,
                              double nominal);

double Cents(double frequency, double reference);

}  // namespace norv::test
