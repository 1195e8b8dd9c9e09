#include "engine/VoiceShape.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "engine/Parameters.h"

namespace norv {
namespace {

using L = long double;

constexpr float kInvLn11 = std::bit_cast<float>(0x3ED58545u);  // 1 / ln 11
constexpr L kMaxFilterCoef = 2.0L;

float Clamp(float x, float lo, float hi) { return x < lo ? lo : (x > hi ? hi : x); }

}  // namespace

float EngineVelocity(float initVolume) {
    float t = static_cast<float>(std::log(10.0L * initVolume + 1.0L) * static_cast<L>(kInvLn11));
    L vel = std::nearbyint(static_cast<L>(t) * 100.0L);
    if (!(vel >= -1e9L)) vel = 0;  // NaN from a level below -0.1
    return static_cast<float>(std::min<L>(vel, 127.0L));
}

float MuffleCutoff(float key, float velocity, long double muffleLevel, float velMuffleScale, float muffleScale) {
    float c = static_cast<float>(muffleLevel * muffleLevel * muffleScale + 50.0L +
                                 (static_cast<L>(velocity) - 64.0L) * velMuffleScale);
    const L floorCut = 0.4L * key + 55.0L;
    if (floorCut > c) c = static_cast<float>(floorCut);
    if (c > 210.0f) c = 210.0f;
    return c;
}

float MuffleCoefficient(float cutoff, float invSampleRate) {
    // Below 22050 Hz the open filter would feed back more than it takes in
    // and grow without bound; 2 keeps it at the edge, as at 22050 Hz.
    return static_cast<float>(std::min(static_cast<L>(cutoff) * cutoff * invSampleRate, kMaxFilterCoef));
}

long double HoldRate(float key, long double decayLevel) {
    const float kd = std::max(Clamp(key, 12.0f, 108.0f), 44.0f);
    const float decay = static_cast<float>(decayLevel);
    if (decay == 0.0f) return 0.0L;
    float x = static_cast<float>(2.0L * decay);
    if (x < 1.0f) x = static_cast<float>((static_cast<L>(x) + 0.25L) - 0.5L * decay);
    return std::exp(0.033L * kd - 0.6L - x);
}

float HoldCoefficient(float key, long double decayLevel, float invSampleRate) {
    if (static_cast<float>(decayLevel) == 0.0f) return 1.0f;
    return static_cast<float>(std::exp(-static_cast<L>(invSampleRate) * HoldRate(key, decayLevel)));
}

float ReleaseCoefficient(float key, float releaseLevel, bool releaseHighNotes, float invSampleRate) {
    const L release = SoundLevel(releaseLevel);
    L e = (releaseHighNotes || key >= 94.0f) ? 0.01L * key + 6.0L - 5.0L * release
                                             : 0.017L * key + 2.0L - 2.0L * release;
    return static_cast<float>(std::exp(-static_cast<L>(invSampleRate) * std::exp(e)));
}

}  // namespace norv
