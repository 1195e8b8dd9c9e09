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

    double Amplitude(int frame, const Settle& settle) const {
        if (frame >= note_.loopStart) return settle.hold;
        double a = Decay(p_, frame);
        if (frame < note_.onsetFrames) a *= 0.5 - 0.5 * std::cos(kPi * frame / note_.onsetFrames);
        const double h = Progress(frame);
        return a * (1 - h) + settle.hold * h;
    }

    // A recursive oscillator; frequency and amplitude change per block, the
    // amplitude ramps linearly inside it.
    void Render(const Settle& settle, double dropFloor, std::vector<double>& out) const {
        const int total = static_cast<int>(out.size());
        double c = std::cos(p_.phase), s = std::sin(p_.phase);
        double step = -1, cw = 1, sw = 0;
        double a0 = Amplitude(0, settle);
        for (int b = 0; b < total; b += kRenderBlock) {
            const int n = std::min(kRenderBlock, total - b);
            const double a1 = Amplitude(b + n, settle);
            if (settle.hold == 0 && b > note_.onsetFrames && a0 < dropFloor && a1 < dropFloor) break;
            const double want = Step(b, n, settle);
            if (want != step) {
                step = want;
                cw = std::cos(step);
                sw = std::sin(step);
            }
            double a = a0;
            const double da = (a1 - a0) / n;
            double* o = out.data() + b;
            for (int j = 0; j < n; ++j) {
                o[j] += a * s;
                a += da;
                const double nc = c * cw - s * sw;
                s = s * cw + c * sw;
                c = nc;
            }
            a0 = a1;
        }
    }

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
// cancelling. They are drawn into one phase instead, at the level that
// their beating averages to (the root of the summed powers).
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
        const double scale = std::sqrt(power) / sumHold;
        for (size_t j : group) {
            plan[j].phaseShift = WrapPhase(target - phase[j]);
            plan[j].hold *= scale;
        }
    }
    return plan;
}

// The hammer's knock: band-passed noise with a fast rise and a short decay,
// and a low, quickly dying thump of the soundboard. Both end before the
// loop, which must hold only the partials.
void AddHammer(const NoteModel& note, std::vector<double>& out) {
    const Hammer& h = note.hammer;
    const int length = std::min(note.loopStart, static_cast<int>(std::ceil(10 * h.noiseDecay * kSampleRate)));
    std::vector<double> noise(length);
    Prng rng(h.noiseSeed);
    const double w0 = kTwoPi * h.noiseCentre / kSampleRate;
    const double alpha = std::sin(w0) / (2 * h.noiseQ);
    const double a0 = 1 + alpha, a1 = -2 * std::cos(w0) / a0, a2 = (1 - alpha) / a0, b0 = alpha / a0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0, power = 0;
    for (int i = 0; i < length; ++i) {
        const double x = rng.Symmetric();
        const double y = b0 * (x - x2) - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        noise[i] = y;
        power += y * y;
    }
    const double scale = power > 0 ? h.noiseLevel / std::sqrt(power / length) : 0.0;
    for (int i = 0; i < length; ++i) {
        const double t = double(i) / kSampleRate;
        out[i] += scale * noise[i] * (1 - std::exp(-t / 0.0004)) * std::exp(-t / h.noiseDecay);
    }

    const int thumpLength = std::min(note.loopStart, static_cast<int>(std::ceil(10 * h.thumpDecay * kSampleRate)));
    for (int i = 0; i < thumpLength; ++i) {
        const double t = double(i) / kSampleRate;
        out[i] += h.thumpLevel * std::sin(kTwoPi * h.thumpFreq * t) * (1 - std::exp(-t / 0.001)) *
                  std::exp(-t / h.thumpDecay);
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
    for (size_t i = 0; i < components.size(); ++i) components[i].Render(plan[i], strongest * 1e-6, out);
    AddHammer(note, out);
    return out;
}

}  // namespace norv::defaultset
