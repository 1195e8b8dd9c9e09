#include "tools/import/SfzNote.h"

#include <algorithm>
#include <cmath>

namespace norv::import {
namespace {

// The envelope falls exponentially: 9 nepers (78 dB) per stated time, no
// faster than over 25 ms.
double ExponentialDbPerSecond(double seconds) { return 9.0 * 20.0 / std::log(10.0) / std::max(seconds, 0.025); }

// The velocity curve: amp_velcurve_N points joined by straight lines, from
// 0 at velocity 0 to 1 at 127 unless a point says otherwise.
double CurveAt(const std::map<int, double>& points, int velocity) {
    std::map<int, double> all = points;
    all.emplace(0, 0.0);
    all.emplace(127, 1.0);
    auto after = all.lower_bound(velocity);
    if (after->first == velocity) return after->second;
    auto before = std::prev(after);
    const double u = static_cast<double>(velocity - before->first) / (after->first - before->first);
    return before->second + u * (after->second - before->second);
}

}  // namespace

NoteShape ShapeSfzNote(const SfzVoice& v, int key, int velocity) {
    NoteShape s;
    const double x = velocity / 127.0;
    const double curve = v.VelocityCurve.empty() ? x * x : CurveAt(v.VelocityCurve, velocity);
    const double track = std::fabs(v.AmpVeltrack) * (1.0 - curve);
    const double gain = std::max((v.AmpVeltrack < 0 ? track : 1.0 - track) * v.Amplitude, 1e-9);
    s.GainDb = v.VolumeDb + 20.0 * std::log10(gain);

    if (v.CutoffHz > 0) {
        const double cents = v.VeltrackCents * x + v.KeytrackCents * (key - v.KeyCenter);
        s.CutoffHz = v.CutoffHz * std::exp2(cents / 1200.0);
        // A one-pole filter's gentler slope, as the nearest two-pole one.
        s.Q = v.OnePole ? 0.5 : 0.70710678 * std::pow(10.0, v.ResonanceDb / 20.0);
    }

    s.HoldSeconds = v.Delay + v.Attack + v.Hold;
    if (v.Decay > 0 && v.Sustain < 1) {
        s.DecayDbPerSecond = ExponentialDbPerSecond(v.Decay);
        s.FloorDb = v.Sustain > 0 ? -20.0 * std::log10(v.Sustain) : 1e9;
    }
    s.ReleaseDbPerSecond = ExponentialDbPerSecond(v.Release);
    return s;
}

}  // namespace norv::import
