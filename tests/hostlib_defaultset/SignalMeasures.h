// Measures taken on generated samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norv::test {

using Frames = std::vector<int16_t>;

double Rms(const Frames& x, std::size_t begin, std::size_t end);

// Power-weighted RMS frequency in Hz over [begin, end), from the ratio of
// the first difference's RMS to the signal's: a brightness measure.
double RmsFrequency(const Frames& x, std::size_t begin, std::size_t end, double sampleRate);

// Repetition frequency of the tone in a seamless loop [begin, end): its
// circular autocorrelation maximised within +-6 % of the period of
// `nominal`, interpolated between lags.
double AutocorrelationPitch(const Frames& x, std::size_t begin, std::size_t end, double sampleRate, double nominal);

double Cents(double frequency, double reference);

}  // namespace norv::test
