#include "PianoModel.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "Prng.h"

namespace norv::defaultset {

namespace {

struct Point {
    double key;
    double value;
};

// Piecewise straight in log(value) over the key, held flat outside the points.
double LogInterpolate(double key, std::initializer_list<Point> points) {
    const Point* p = points.begin();
    if (key <= p[0].key) return p[0].value;
    for (size_t i = 1; i < points.size(); ++i) {
        if (key <= p[i].key) {
            double u = (key - p[i - 1].key) / (p[i].key - p[i - 1].key);
            return std::exp(std::log(p[i - 1].value) * (1 - u) + std::log(p[i].value) * u);
        }
    }
    return p[points.size() - 1].value;
}

constexpr double kMiddleC = 261.6255653005986;
constexpr int kMaxPartials = 120;
constexpr double kHighestPartial = 15000.0;  // Hz; above this the hammer leaves nothing audible
constexpr double kPartialFloorDb = -70.0;    // partials this far below the strongest are left out
constexpr double kStrikePoint = 0.118;       // hammer at about 1/8.5 of the speaking length
constexpr double kRadiationCorner = 70.0;    // Hz; the soundboard radiates little below it

// The strings of one key: the same draw for both layers, so that a change of
// layer keeps the unison's beating and the partials' phases.
struct KeyStrings {
    std::vector<double> detuneCents;
    std::vector<double> weight;
    double partialGainDb[kMaxPartials + 1];
    double partialPhase[kMaxPartials + 1];
    double thumpOffset;
};

KeyStrings DrawStrings(int key) {
    Prng rng(0x4E4F52564752414Eull ^ (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull));
    KeyStrings s{};
    // Bichords in the wound bass, trichords above.
    if (key < 42) {
        double d = 0.35 + 0.5 * rng.Uniform();
        s.detuneCents = {-d, d};
    } else {
        double low = 0.3 + 0.5 * rng.Uniform();
        double mid = 0.15 * rng.Symmetric();
        double high = 0.3 + 0.5 * rng.Uniform();
        s.detuneCents = {-low, mid, high};
    }
    double total = 0;
    for (size_t i = 0; i < s.detuneCents.size(); ++i) {
        s.weight.push_back(1.0 + 0.1 * rng.Symmetric());
        total += s.weight.back();
    }
    for (double& w : s.weight) w /= total;
    for (int n = 1; n <= kMaxPartials; ++n) {
        s.partialGainDb[n] = 2.5 * rng.Symmetric();
        s.partialPhase[n] = 2 * std::numbers::pi * rng.Uniform();
    }
    s.thumpOffset = rng.Symmetric();
    return s;
}

double Clamp01(double u) { return std::clamp(u, 0.0, 1.0); }

struct Candidate {
    int n;
    double freq;
    double amp;
};

// Partials of one layer at their initial amplitudes; those far below the
// strongest are left out.
std::vector<Candidate> LayerSpectrum(int key, Layer layer, double f1, const KeyStrings& strings) {
    const bool hard = layer == Layer::Hard;
    const double b = Inharmonicity(key);
    // Hammer spectrum: flat up to a corner, then -12 dB per octave (hard) or
    // -18 dB per octave (soft). Harder blows and higher keys reach higher.
    const double corner = (hard ? 2000.0 : 800.0) * std::pow(KeyFrequency(key) / kMiddleC, 0.35);
    const double order = hard ? 4.0 : 6.0;
    std::vector<Candidate> all;
    double strongest = 0;
    for (int n = 1; n <= kMaxPartials; ++n) {
        const double f = PartialFrequency(f1, b, n);
        if (f > kHighestPartial) break;
        const double hammer = 1.0 / std::sqrt(1.0 + std::pow(f / corner, order));
        const double strike = 0.25 + 0.75 * std::abs(std::sin(std::numbers::pi * n * kStrikePoint));
        const double r = (f / kRadiationCorner) * (f / kRadiationCorner);
        const double radiation = r / (1.0 + r);
        const double amp =
            hammer * strike * radiation * std::pow(n, -0.35) * std::pow(10.0, strings.partialGainDb[n] / 20);
        all.push_back({n, f, amp});
        strongest = std::max(strongest, amp);
    }
    const double floor = strongest * std::pow(10.0, kPartialFloorDb / 20);
    std::vector<Candidate> kept;
    for (const Candidate& c : all) {
        if (c.amp >= floor) kept.push_back(c);
    }
    return kept;
}

// Aftersound decay in nepers per second. The fundamental dies at the key's
// own rate; losses in the string and the soundboard take higher partials faster.
double SlowRate(int key, double f1, double f) {
    const double base = LogInterpolate(key, {{21, 0.28}, {60, 0.46}, {84, 1.4}, {108, 6.9}});
    const double fk = f / 1000, f1k = f1 / 1000;
    return base + 0.3 * (fk - f1k) + 0.15 * (fk * fk - f1k * f1k);
}

double FastRate(double slowRate) { return 3 * slowRate + 0.6; }
constexpr double kFastShare = 0.5;

double DecayAt(double slowRate, double seconds) {
    return kFastShare * std::exp(-FastRate(slowRate) * seconds) + (1 - kFastShare) * std::exp(-slowRate * seconds);
}

// Repetition rate of a tone near `nominal`: where the autocorrelation of its
// partials (frequency, power) peaks, within 150 cents.
double PeriodFrequency(const std::vector<Candidate>& partials, const std::vector<double>& power, double nominal) {
    auto correlation = [&](double cents) {
        const double lag = 1.0 / (nominal * std::exp2(cents / 1200));
        double sum = 0;
        for (size_t i = 0; i < partials.size(); ++i) {
            sum += power[i] * std::cos(2 * std::numbers::pi * partials[i].freq * lag);
        }
        return sum;
    };
    // Half-cent steps, then hundredths around the best.
    double best = 0, bestValue = correlation(0);
    for (int i = -300; i <= 300; ++i) {
        if (const double v = correlation(0.5 * i); v > bestValue) bestValue = v, best = 0.5 * i;
    }
    const double coarse = best;
    for (int i = -50; i <= 50; ++i) {
        if (const double v = correlation(coarse + 0.01 * i); v > bestValue) bestValue = v, best = coarse + 0.01 * i;
    }
    return nominal * std::exp2(best / 1200);
}

// Stiff strings make the upper partials sharp, and the ear hears the tone's
// period rather than its first partial. A tuner stretches for this (the
// bass's first partials end up flat); here each key is tuned so that the
// period of its sustained tone, averaged over both layers, lands on the key.
double StretchFactor(int key, const KeyStrings& strings, double holdSeconds) {
    const double f1 = KeyFrequency(key);
    double product = 1;
    for (Layer layer : {Layer::Soft, Layer::Hard}) {
        const std::vector<Candidate> partials = LayerSpectrum(key, layer, f1, strings);
        std::vector<double> power;
        for (const Candidate& c : partials) {
            const double hold = c.amp * DecayAt(SlowRate(key, f1, c.freq), holdSeconds);
            power.push_back(hold * hold);
        }
        product *= PeriodFrequency(partials, power, f1) / f1;
    }
    return 1.0 / std::sqrt(product);
}

}  // namespace

double KeyFrequency(double key) { return 440.0 * std::exp2((key - 69.0) / 12.0); }

double Inharmonicity(int key) {
    return LogInterpolate(key, {{21, 3.5e-4}, {40, 1.2e-4}, {108, 1.8e-2}});
}

double PartialFrequency(double f1, double b, int n) {
    return n * f1 * std::sqrt((1.0 + b * n * n) / (1.0 + b));
}

NoteModel BuildNoteModel(int key, Layer layer) {
    const bool hard = layer == Layer::Hard;
    const double nominal = KeyFrequency(key);
    const double across = Clamp01((key - kLowestKey) / double(kHighestKey - kLowestKey));
    const KeyStrings strings = DrawStrings(key);

    NoteModel note;
    note.key = key;
    note.layer = layer;
    note.onsetFrames = static_cast<int>(std::lround((hard ? 0.0015 : 0.004) * kSampleRate));

    // Bass rings longer before the loop; the treble is short anyway.
    const double attackSeconds = 1.6 - 1.0 * across;
    const double loopSeconds = 0.8 - 0.45 * across;
    note.loopStart = static_cast<int>(std::lround(attackSeconds * kSampleRate / kRenderBlock)) * kRenderBlock;
    note.settleFrames =
        static_cast<int>(std::lround(std::min(0.5, 0.4 * attackSeconds) * kSampleRate / kRenderBlock)) * kRenderBlock;

    const double f1 = nominal * StretchFactor(key, strings, double(note.loopStart) / kSampleRate);
    note.fundamental = f1;
    const long cycles = std::max(1L, std::lround(loopSeconds * f1));
    note.loopLength = static_cast<int>(std::lround(cycles * kSampleRate / f1));

    double power = 0;
    for (const Candidate& c : LayerSpectrum(key, layer, f1, strings)) {
        power += c.amp * c.amp / 2;
        const double slow = SlowRate(key, f1, c.freq);
        for (size_t s = 0; s < strings.detuneCents.size(); ++s) {
            Partial p;
            p.number = c.n;
            p.freq = c.freq * std::exp2(strings.detuneCents[s] / 1200);
            p.loopCycles = std::max(1, static_cast<int>(std::lround(p.freq * note.loopLength / kSampleRate)));
            p.amp = c.amp * strings.weight[s];
            // One hammer strikes all strings of the unison: nearly the same phase.
            p.phase = strings.partialPhase[c.n] + 0.15 * double(s);
            p.slowRate = slow;
            p.fastRate = FastRate(slow);
            p.fastShare = kFastShare;
            note.partials.push_back(p);
        }
    }
    // Initial RMS of the partials 1.0, so the hammer levels below are relative to it.
    const double norm = power > 0 ? 1.0 / std::sqrt(power) : 0.0;
    for (Partial& p : note.partials) p.amp *= norm;

    Hammer& h = note.hammer;
    h.noiseSeed = 0x48414D4D4552ull + static_cast<uint64_t>(key) * 2 + (hard ? 1 : 0);
    h.noiseLevel = hard ? 0.12 : 0.045;
    h.noiseCentre = std::min(9000.0, (hard ? 2600.0 : 1400.0) * std::pow(nominal / kMiddleC, 0.25));
    h.noiseQ = 0.8;
    h.noiseDecay = (hard ? 0.006 : 0.009) * std::pow(kMiddleC / nominal, 0.2);
    h.thumpLevel = hard ? 0.25 : 0.12;
    h.thumpFreq = 90.0 + 10.0 * strings.thumpOffset;
    h.thumpDecay = 0.03;
    return note;
}

}  // namespace norv::defaultset
