// The spectrum of a sample's opening, in bands a twelfth of an octave wide:
// what the importer compares when it fits a set's brightness and level
// against how the source filters the same recording.
#pragma once

#include <array>
#include <vector>

namespace norv::import {

inline constexpr int kSpectrumBands = 120;  // 20 Hz up, ten octaves

// Centre frequency of band b.
double BandHz(double b);

struct BandSpectrum {
    // Mean power per band over the opening; the sum is the mean square.
    std::array<double, kSpectrumBands> Power{};
};

// Frames 0.05 s to 0.5 s of `frames` (interleaved `channels`, summed to
// mono) at `rate`; a shorter sample gives what it has.
BandSpectrum OpeningSpectrum(const std::vector<float>& frames, int channels, double rate);

}  // namespace norv::import
