// The generator's own random numbers: SplitMix64, so that every build and
// every platform draws the same sequence (std:: distributions may differ).
#pragma once

#include <cstdint>

namespace norv::defaultset {

class Prng {
public:
    explicit Prng(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    // [-1, 1).
    double Symmetric() { return 2.0 * Uniform() - 1.0; }

private:
    uint64_t state_;
};

}  // namespace norv::defaultset
