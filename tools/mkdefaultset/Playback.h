// How the engine will play the set with its preset: the velocity a MIDI
// note-on becomes, the layer that velocity picks, the voice's level, the
// muffle filter and the decay the engine adds. The generator levels the
// layers against each other through this.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "SetLayout.h"

namespace norv::defaultset {

namespace playback_detail {

constexpr double PresetFraction(int index) {
    for (const PresetValue& p : kPreset) {
        if (p.index == index) return p.fraction;
    }
    return -1.0;
}

inline constexpr double kVelSens = PresetFraction(kVelSensParam);
inline constexpr double kMuffle = PresetFraction(kMuffleParam);
inline constexpr double kVelMuffle = PresetFraction(kVelMuffleParam);
inline constexpr double kDecay = PresetFraction(kDecayParam);
static_assert(kVelSens >= 0 && kMuffle >= 0 && kVelMuffle >= 0 && kDecay > 0, "the preset sets these");

// Two straight pieces that meet at 0.25.
inline constexpr double kLevelExponent = kVelSens < 0.25 ? 0.25 + 5 * kVelSens : 1 + 2 * kVelSens;

}  // namespace playback_detail

// Engine velocity of a MIDI note-on velocity 1..127: 4 .. 109.
inline int EngineVelocity(int midiVelocity) {
    return std::min(127, static_cast<int>(std::lround(100 * std::log(0.1 * midiVelocity + 1) / std::log(11.0))));
}

// Layer index that an engine velocity plays.
inline int LayerOf(int engineVelocity) {
    for (int i = 0; i + 1 < kLayerCount; ++i) {
        if (engineVelocity <= kLayers[static_cast<size_t>(i)].topVelocity) return i;
    }
    return kLayerCount - 1;
}

// The highest MIDI velocity that plays a layer.
inline int HighestMidiVelocity(int layer) {
    for (int m = 127; m >= 1; --m) {
        if (LayerOf(EngineVelocity(m)) <= layer) return m;
    }
    return 1;
}

// Gain of the voice for a MIDI velocity.
inline double VoiceLevel(int midiVelocity) {
    return std::pow(midiVelocity / 100.0, playback_detail::kLevelExponent);
}

// Coefficient of the engine's muffle filter for a note of `key` at this
// engine velocity and output rate.
inline double MuffleCoefficient(int engineVelocity, int key, double rate) {
    using namespace playback_detail;
    double c = kMuffle * kMuffle * 160 + 50 + (engineVelocity - 64) * 5 * kVelMuffle * kVelMuffle;
    c = std::clamp(c, 0.4 * key + 55, 210.0);
    return std::min(c * c / rate, 2.0);
}

// The muffle filter's gain at `frequency`, 1 at 0 Hz.
inline double MuffleGain(double frequency, double coefficient, double rate) {
    const std::complex<double> z = std::polar(1.0, -2 * std::numbers::pi * frequency / rate);
    return std::abs(coefficient * (1.0 + z) / (1.0 - (1.0 - coefficient) * z)) / 2;
}

// x[begin, end) through the muffle filter, from a clear state at `begin`.
inline std::vector<double> Muffled(const std::vector<double>& x, size_t begin, size_t end, double coefficient) {
    std::vector<double> y;
    y.reserve(end - begin);
    double state = 0, previous = 0;
    for (size_t i = begin; i < end; ++i) {
        state += (x[i] + previous - state) * coefficient;
        previous = x[i];
        y.push_back(state);
    }
    return y;
}

// Nepers per second that the engine's decay takes from a held note of `key`.
inline double EngineDecayRate(int key) {
    using namespace playback_detail;
    const double kd = std::clamp(key, 44, 108);
    const double x = 2 * kDecay < 1 ? 1.5 * kDecay + 0.25 : 2 * kDecay;
    return std::exp(0.033 * kd - 0.6 - x);
}

}  // namespace norv::defaultset
