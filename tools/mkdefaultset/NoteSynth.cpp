#include "NoteSynth.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "Prng.h"

namespace norv::defaultset {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * kPi;

double SmoothStep(double u) {
    u = std::clamp(u, 0.0, 1.0);
    return u * u * (3 - 2 * u);
}

double WrapPhase(double a) { return std::remainder(a, kTwoPi); }

// Two-stage decay of one partial: prompt sound, then aftersound.
double Decay(const Partial& p, int frame) {
    const double t = double(frame) / kSampleRate;
    return p.amp * (p.fastShare * std::exp(-p.fastRate * t) + (1 - p.fastShare) * std::exp(-p.slowRate * t));
}

// How one partial moves from ringing freely into the loop: the amplitude it
// holds there, and the phase shift it takes on over the settle window.
struct Settle {
    double hold = 0;
    double phaseShift = 0;
};

class Component {
public:
    Component(const NoteModel& note, const Partial& p) : note_(note), p_(p) {
        settleBegin_ = note.loopStart - note.settleFrames;
        freeStep_ = kTwoPi * p.freq / kSampleRate;
        // From the cycle count, not from a frequency, so the loop closes exactly.
        loopStep_ = kTwoPi * p.loopCycles / note.loopLength;
    }

    // Phase advance per frame in the block at b of n frames: free, gliding
    // to the loop frequency in the settle window, then the loop's.
    double Step(int b, int n, const Settle& settle) const {
        if (b >= note_.loopStart) return loopStep_;
        if (b + n <= settleBegin_) return freeStep_;
        double glide = freeStep_ + (loopStep_ - freeStep_) * SmoothStep((b + 0.5 * n - settleBegin_) / note_.settleFrames);
        return glide + settle.phaseShift * (Progress(b + n) - Progress(b)) / n;
    }

    // Phase at the loop start when no shift is applied.
    double PhaseAtLoop() const {
        double phase = p_.phase;
        for (int b = 0; b < note_.loopStart; b += kRenderBlock) {
            const int n = std::min(kRenderBlock, note_.loopStart - b);
            phase += Step(b, n, Settle{}) * n;
        }
        return WrapPhase(phase);
    }

    // The amplitude at `frame`, from the decay there (see Decay).
    double Amplitude(int frame, double decay, const Settle& settle) const {
        if (frame >= note_.loopStart) return settle.hold;
        double a = decay;
        if (frame < note_.onsetFrames) a *= 0.5 - 0.5 * std::cos(kPi * frame / note_.onsetFrames);
        const double h = Progress(frame);
        return a * (1 - h) + settle.hold * h;
    }

    const Partial& partial() const { return p_; }

private:
    // 0 before the settle window, 1 from the loop start on.
    double Progress(int frame) const {
        if (frame <= settleBegin_) return 0.0;
        return SmoothStep(double(frame - settleBegin_) / note_.settleFrames);
    }

    const NoteModel& note_;
    const Partial& p_;
    int settleBegin_ = 0;
    double freeStep_ = 0;
    double loopStep_ = 0;
};

// Strings of one partial that settle on the same loop frequency would hold
// whatever beat phase they happen to reach at the loop start, possibly
// cancelling. They are drawn into one phase instead.
std::vector<Settle> PlanSettling(const NoteModel& note, const std::vector<Component>& components) {
    double strongest = 0;
    for (const Partial& p : note.partials) strongest = std::max(strongest, p.amp);
    // Too quiet to matter in the loop: fade out rather than loop it.
    const double holdFloor = strongest * 1e-4;

    const size_t count = note.partials.size();
    std::vector<Settle> plan(count);
    std::vector<double> phase(count);
    for (size_t i = 0; i < count; ++i) {
        const double hold = Decay(note.partials[i], note.loopStart);
        plan[i].hold = hold < holdFloor ? 0.0 : hold;
        phase[i] = components[i].PhaseAtLoop();
    }
    std::vector<bool> done(count, false);
    for (size_t i = 0; i < count; ++i) {
        if (done[i]) continue;
        std::vector<size_t> group;
        for (size_t j = i; j < count; ++j) {
            if (note.partials[j].number == note.partials[i].number &&
                note.partials[j].loopCycles == note.partials[i].loopCycles) {
                group.push_back(j);
                done[j] = true;
            }
        }
        std::complex<double> sum;
        double sumHold = 0, power = 0;
        for (size_t j : group) {
            sum += std::polar(plan[j].hold, phase[j]);
            sumHold += plan[j].hold;
            power += plan[j].hold * plan[j].hold;
        }
        if (group.size() < 2 || sumHold == 0) continue;
        const double target = std::abs(sum) > 0 ? std::arg(sum) : phase[group[0]];
        // As loud as they sound together at the loop start, so that the
        // level runs on, unless they are beating down to less than their
        // average there.
        const double scale = std::max(std::abs(sum), std::sqrt(power)) / sumHold;
        for (size_t j : group) {
            plan[j].phaseShift = WrapPhase(target - phase[j]);
            plan[j].hold *= scale;
        }
    }
    return plan;
}

// Oscillators rendered side by side, eight at a time in four pairs that the
// processor computes together: each oscillator is a chain of dependent
// multiplications, and independent chains overlap. Frequency and amplitude
// change per block; the amplitude ramps linearly inside it.
using Pair = double __attribute__((vector_size(16)));
constexpr int kLanes = 8;

struct Lane {
    const Component* component = nullptr;
    const Settle* settle = nullptr;
    double c = 1, s = 0;  // the oscillator
    double step = -1, cw = 1, sw = 0;
    double fast = 0, slow = 0;            // the decay's two terms at the block start
    double fastBlock = 0, slowBlock = 0;  // their factors over a whole block
    double a0 = 0;
    bool done = false;
};

// Sets up the block at b of n frames for one lane: its amplitude ramp, or
// false once it has died away.
bool PrepareBlock(Lane& l, int b, int n, double dropFloor, double& a, double& da) {
    const Partial& p = l.component->partial();
    if (n == kRenderBlock) {
        l.fast *= l.fastBlock;
        l.slow *= l.slowBlock;
    } else {
        const double t = double(b + n) / kSampleRate;
        l.fast = p.amp * p.fastShare * std::exp(-p.fastRate * t);
        l.slow = p.amp * (1 - p.fastShare) * std::exp(-p.slowRate * t);
    }
    const double a1 = l.component->Amplitude(b + n, l.fast + l.slow, *l.settle);
    if (l.settle->hold == 0 && b > 0 && l.a0 < dropFloor && a1 < dropFloor) return false;
    const double want = l.component->Step(b, n, *l.settle);
    if (want != l.step) {
        l.step = want;
        l.cw = std::cos(want);
        l.sw = std::sin(want);
    }
    a = l.a0;
    da = (a1 - l.a0) / n;
    l.a0 = a1;
    return true;
}

void RenderLanes(Lane* lanes, int count, double dropFloor, std::vector<double>& out) {
    const int total = static_cast<int>(out.size());
    for (int k = 0; k < count; ++k) {
        Lane& l = lanes[k];
        const Partial& p = l.component->partial();
        l.c = std::cos(p.phase);
        l.s = std::sin(p.phase);
        l.fast = p.amp * p.fastShare;
        l.slow = p.amp * (1 - p.fastShare);
        l.fastBlock = std::exp(-p.fastRate * kRenderBlock / kSampleRate);
        l.slowBlock = std::exp(-p.slowRate * kRenderBlock / kSampleRate);
        l.a0 = l.component->Amplitude(0, l.fast + l.slow, *l.settle);
    }
    for (int b = 0; b < total; b += kRenderBlock) {
        const int n = std::min(kRenderBlock, total - b);
        // Lanes without a component, or whose component has died away,
        // turn at amplitude 0.
        double a[kLanes] = {}, da[kLanes] = {};
        bool any = false;
        for (int k = 0; k < count; ++k) {
            if (!lanes[k].done && !PrepareBlock(lanes[k], b, n, dropFloor, a[k], da[k])) lanes[k].done = true;
            any |= !lanes[k].done;
        }
        if (!any) break;
        // Four pairs, each its own variable, so that they stay in registers.
        auto pairOf = [&](int i, double Lane::*field) { return Pair{lanes[2 * i].*field, lanes[2 * i + 1].*field}; };
        auto ramp = [&](int i, const double* v) { return Pair{v[2 * i], v[2 * i + 1]}; };
        Pair a0 = ramp(0, a), a1 = ramp(1, a), a2 = ramp(2, a), a3 = ramp(3, a);
        const Pair da0 = ramp(0, da), da1 = ramp(1, da), da2 = ramp(2, da), da3 = ramp(3, da);
        Pair c0 = pairOf(0, &Lane::c), c1 = pairOf(1, &Lane::c), c2 = pairOf(2, &Lane::c), c3 = pairOf(3, &Lane::c);
        Pair s0 = pairOf(0, &Lane::s), s1 = pairOf(1, &Lane::s), s2 = pairOf(2, &Lane::s), s3 = pairOf(3, &Lane::s);
        const Pair cw0 = pairOf(0, &Lane::cw), cw1 = pairOf(1, &Lane::cw), cw2 = pairOf(2, &Lane::cw),
                   cw3 = pairOf(3, &Lane::cw);
        const Pair sw0 = pairOf(0, &Lane::sw), sw1 = pairOf(1, &Lane::sw), sw2 = pairOf(2, &Lane::sw),
                   sw3 = pairOf(3, &Lane::sw);
        // One frame of one pair: its output, then the amplitude's and the
        // oscillator's step.
        auto tick = [](Pair& amp, Pair dAmp, Pair& c, Pair& s, Pair cw, Pair sw) {
            const Pair y = amp * s;
            amp += dAmp;
            const Pair nc = c * cw - s * sw;
            s = s * cw + c * sw;
            c = nc;
            return y;
        };
        double* o = out.data() + b;
        for (int j = 0; j < n; ++j) {
            const Pair y = ((tick(a0, da0, c0, s0, cw0, sw0) + tick(a1, da1, c1, s1, cw1, sw1)) +
                            tick(a2, da2, c2, s2, cw2, sw2)) +
                           tick(a3, da3, c3, s3, cw3, sw3);
            o[j] += y[0] + y[1];
        }
        const Pair cs[] = {c0, c1, c2, c3}, ss[] = {s0, s1, s2, s3};
        for (int k = 0; k < kLanes; ++k) {
            lanes[k].c = cs[k / 2][k % 2];
            lanes[k].s = ss[k / 2][k % 2];
        }
    }
}

// A burst of band-passed noise with a fast rise and an exponential decay,
// ending before the loop, which must hold only what repeats in it.
void AddKnock(const Knock& k, int loopStart, std::vector<double>& out) {
    const int begin = static_cast<int>(std::lround(k.delay * kSampleRate));
    const int length = std::min(loopStart - begin, static_cast<int>(std::ceil(10 * k.decay * kSampleRate)));
    if (length <= 0 || k.level <= 0) return;
    std::vector<double> noise(static_cast<size_t>(length));
    Prng rng(k.seed);
    const double w0 = kTwoPi * k.centre / kSampleRate;
    const double alpha = std::sin(w0) / (2 * k.q);
    const double a0 = 1 + alpha, a1 = -2 * std::cos(w0) / a0, a2 = (1 - alpha) / a0, b0 = alpha / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, power = 0;
    for (double& y : noise) {
        const double x = rng.Symmetric();
        y = b0 * (x - x2) - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        power += y * y;
    }
    const double scale = power > 0 ? k.level / std::sqrt(power / length) : 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = double(i) / kSampleRate;
        out[static_cast<size_t>(begin + i)] +=
            scale * noise[static_cast<size_t>(i)] * (1 - std::exp(-t / 0.0004)) * std::exp(-t / k.decay);
    }
}

// The hammer's knocks and a low, quickly dying thump of the soundboard.
void AddHammer(const NoteModel& note, std::vector<double>& out) {
    const Hammer& h = note.hammer;
    AddKnock(h.felt, note.loopStart, out);
    AddKnock(h.keybed, note.loopStart, out);
    const int thumpLength = std::min(note.loopStart, static_cast<int>(std::ceil(10 * h.thumpDecay * kSampleRate)));
    for (int i = 0; i < thumpLength; ++i) {
        const double t = double(i) / kSampleRate;
        out[static_cast<size_t>(i)] += h.thumpLevel * std::sin(kTwoPi * h.thumpFreq * t) *
                                       (1 - std::exp(-t / 0.001)) * std::exp(-t / h.thumpDecay);
    }
}

}  // namespace

std::vector<double> RenderNote(const NoteModel& note) {
    std::vector<double> out(static_cast<size_t>(note.loopStart + note.loopLength), 0.0);
    std::vector<Component> components;
    components.reserve(note.partials.size());
    double strongest = 0;
    for (const Partial& p : note.partials) {
        components.emplace_back(note, p);
        strongest = std::max(strongest, p.amp);
    }
    const std::vector<Settle> plan = PlanSettling(note, components);
    for (size_t i = 0; i < components.size(); i += kLanes) {
        Lane lanes[kLanes];
        const int count = static_cast<int>(std::min<size_t>(kLanes, components.size() - i));
        for (int k = 0; k < count; ++k) {
            lanes[k].component = &components[i + static_cast<size_t>(k)];
            lanes[k].settle = &plan[i + static_cast<size_t>(k)];
        }
        RenderLanes(lanes, count, strongest * 1e-4, out);
    }
    AddHammer(note, out);
    return out;
}

}  // namespace norv::defaultset
