#include "PianoModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <initializer_list>
#include <numbers>

#include "Playback.h"
#include "Prng.h"

namespace norv::defaultset {

namespace {

struct Point {
    double key;
    double value;
};

// Piecewise straight over the key, held flat outside the points.
double Interpolate(double key, std::initializer_list<Point> points) {
    const Point* p = points.begin();
    if (key <= p[0].key) return p[0].value;
    for (size_t i = 1; i < points.size(); ++i) {
        if (key <= p[i].key) {
            const double u = (key - p[i - 1].key) / (p[i].key - p[i - 1].key);
            return p[i - 1].value * (1 - u) + p[i].value * u;
        }
    }
    return p[points.size() - 1].value;
}

// The same, straight in log(value).
double LogInterpolate(double key, std::initializer_list<Point> points) {
    const Point* p = points.begin();
    if (key <= p[0].key) return p[0].value;
    for (size_t i = 1; i < points.size(); ++i) {
        if (key <= p[i].key) {
            const double u = (key - p[i - 1].key) / (p[i].key - p[i - 1].key);
            return std::exp(std::log(p[i - 1].value) * (1 - u) + std::log(p[i].value) * u);
        }
    }
    return p[points.size() - 1].value;
}

constexpr double kPi = std::numbers::pi;
constexpr double kMiddleC = 261.6255653005986;
constexpr int kMaxPartials = 120;
constexpr double kHighestPartial = 15000.0;  // Hz; above this the hammer leaves nothing audible
constexpr double kPartialFloorDb = -70.0;    // partials this far below the strongest are left out
constexpr double kStrikePoint = 0.118;       // hammer at about 1/8.5 of the speaking length
constexpr double kRadiationCorner = 70.0;    // Hz; the soundboard radiates little below it
constexpr double kUnisonFloor = 0.01;        // -40 dB: see BuildNoteModel

// The soundboard is one board for every key: its modes are drawn once.
constexpr int kBoardModes = 40;
struct BoardMode {
    double freq;
    double decay;  // seconds
};

std::vector<BoardMode> DrawBoard() {
    Prng rng(0x534F554E44424F41ull);
    std::vector<BoardMode> modes;
    for (int i = 0; i < kBoardModes; ++i) {
        // Spread evenly in log frequency from 70 Hz to 5 kHz, each jittered
        // within its own slot; low modes ring longer.
        const double u = (i + 0.15 + 0.7 * rng.Uniform()) / kBoardModes;
        const double f = 70.0 * std::pow(5000.0 / 70.0, u);
        modes.push_back({f, 0.22 * std::sqrt(100.0 / f) * (0.7 + 0.6 * rng.Uniform())});
    }
    return modes;
}

// The strings and the bridge position of one key: the same draw for every
// layer, so that a change of layer keeps the unison's beating, the
// partials' phases and the board's colour.
struct KeyStrings {
    std::vector<double> detuneCents;
    std::vector<double> weight;
    double partialGainDb[kMaxPartials + 1];
    double partialPhase[kMaxPartials + 1];
    double boardGain[kBoardModes];
    double boardPhase[kBoardModes];
    double thumpOffset;
};

KeyStrings DrawStrings(int key) {
    Prng rng(0x4E4F52564752414Eull ^ (static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull));
    KeyStrings s{};
    // Bichords in the wound bass, trichords above. A tuner listens to the
    // beats, not to cents: the higher the string, the closer the unison.
    const double spread = std::min(1.0, 700.0 / KeyFrequency(key));
    if (key < 42) {
        const double d = spread * (0.35 + 0.5 * rng.Uniform());
        s.detuneCents = {-d, d};
    } else {
        const double low = spread * (0.3 + 0.5 * rng.Uniform());
        const double mid = spread * 0.15 * rng.Symmetric();
        const double high = spread * (0.3 + 0.5 * rng.Uniform());
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
        s.partialPhase[n] = 2 * kPi * rng.Uniform();
    }
    for (int i = 0; i < kBoardModes; ++i) {
        s.boardGain[i] = 0.2 + rng.Uniform();
        s.boardPhase[i] = 2 * kPi * rng.Uniform();
    }
    s.thumpOffset = rng.Symmetric();
    return s;
}

// The felt's low-pass on the blow: flat up to a corner, then falling. A
// harder blow reaches higher and falls more gently; so do the smaller,
// harder hammers of the treble.
double HammerFilter(double f, int key, double blow) {
    const double corner = 600.0 * std::pow(4.5, blow) * std::pow(KeyFrequency(key) / kMiddleC, 0.35);
    const double order = 7.0 - 3.5 * blow;
    return 1.0 / std::sqrt(1.0 + std::pow(f / corner, order));
}

// Early tone: from 50 to 300 ms, past the first knock, while the prompt
// sound still rings. The mean over it of e^(-z t) for a complex rate z (a
// decay and, as the imaginary part, a beat):
std::complex<double> EarlyMean(std::complex<double> z) {
    constexpr double from = 0.05, span = 0.25;
    if (std::abs(z) < 1e-9) return 1.0;
    return std::exp(-z * from) * (1.0 - std::exp(-z * span)) / (z * span);
}

// Mean square of s e^(-F t) + (1 - s) e^(-G t), times e^(i w t).
std::complex<double> EarlySquare(double s, double fast, double slow, double w = 0) {
    const std::complex<double> beat(0, -w);
    return s * s * EarlyMean(2 * fast + beat) + 2 * s * (1 - s) * EarlyMean(fast + slow + beat) +
           (1 - s) * (1 - s) * EarlyMean(2 * slow + beat);
}

struct Candidate {
    int n;
    double freq;
    double amp;
};

// Partials at their initial amplitudes; those far below the strongest are left out.
std::vector<Candidate> Spectrum(int key, double blow, double f1, const KeyStrings& strings) {
    const double b = Inharmonicity(key);
    std::vector<Candidate> all;
    double strongest = 0;
    for (int n = 1; n <= kMaxPartials; ++n) {
        const double f = PartialFrequency(f1, b, n);
        if (f > kHighestPartial) break;
        const double strike = 0.25 + 0.75 * std::abs(std::sin(kPi * n * kStrikePoint));
        const double r = (f / kRadiationCorner) * (f / kRadiationCorner);
        const double radiation = r / (1.0 + r);
        const double amp = HammerFilter(f, key, blow) * strike * radiation * std::pow(n, -0.35) *
                           std::pow(10.0, strings.partialGainDb[n] / 20);
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

// Aftersound of a partial in nepers per second, as a held string dies: the
// fundamental at the key's own rate, higher partials faster (losses in the
// string and the soundboard). The engine's decay is applied to everything a
// voice plays, so the sample keeps only what goes beyond it.
double SampleSlowRate(int key, double f1, double f) {
    const double fundamental = LogInterpolate(key, {{21, 0.25}, {44, 0.32}, {60, 0.5}, {84, 1.2}, {108, 3.0}});
    const double fk = f / 1000, f1k = f1 / 1000;
    const double total = fundamental + 0.3 * (fk - f1k) + 0.15 * (fk * fk - f1k * f1k);
    return std::max(0.0, total - EngineDecayRate(key));
}

// The prompt sound: the part of the tone that dies within the first moments,
// as the strings' vertical motion hands its energy to the soundboard.
double FastRate(int key) { return LogInterpolate(key, {{21, 2.0}, {60, 4.0}, {84, 7.0}, {100, 9.0}, {108, 7.0}}); }
double FastShare(int key) {
    return Interpolate(key, {{21, 0.25}, {45, 0.5}, {66, 0.8}, {84, 0.88}, {100, 0.85}, {108, 0.5}});
}

// Partial m of the upper note of an octave matched against partial 2m of
// the lower: the wide octaves a tuner sets on stiff strings. The bass is
// judged on its higher partials; the treble between 2:1 and 4:2, widening
// to 4:2 toward the top.
double OctaveStretchCents(int lower) {
    const double m = Interpolate(lower, {{21, 5.0}, {45, 2.0}, {60, 1.5}, {84, 2.0}});
    auto ratio = [](double b, double n) { return std::sqrt((1 + b * n * n) / (1 + b)); };
    return 1200 * std::log2(ratio(Inharmonicity(lower), 2 * m) / ratio(Inharmonicity(lower + 12), m));
}

}  // namespace

double KeyFrequency(double key) { return 440.0 * std::exp2((key - 69.0) / 12.0); }

double Inharmonicity(int key) {
    return LogInterpolate(key, {{21, 3.5e-4}, {40, 1.2e-4}, {69, 6e-4}, {108, 1.8e-2}});
}

double PartialFrequency(double f1, double b, int n) {
    return n * f1 * std::sqrt((1.0 + b * n * n) / (1.0 + b));
}

double StretchCents(int key) {
    // Out from A4 a semitone at a time, each taking a twelfth of the
    // stretch of the octave it closes.
    double cents = 0;
    for (int k = 70; k <= key; ++k) cents += OctaveStretchCents(k - 12) / 12;
    for (int k = 68; k >= key; --k) cents -= OctaveStretchCents(k) / 12;
    return cents;
}

NoteModel BuildNoteModel(int key, double blow) {
    const double nominal = KeyFrequency(key);
    const double across = std::clamp((key - kLowestKey) / double(kHighestKey - kLowestKey), 0.0, 1.0);
    const KeyStrings strings = DrawStrings(key);

    NoteModel note;
    note.key = key;
    note.blow = blow;
    note.onsetFrames = static_cast<int>(std::lround((0.004 - 0.0025 * blow) * kSampleRate));

    // The prompt sound is over sooner in the treble, so its loop can start sooner.
    const double attackSeconds = 0.8 - 0.3 * across;
    const double loopSeconds = 0.35 - 0.05 * across;
    note.loopStart = static_cast<int>(std::ceil(attackSeconds * kSampleRate / kRenderBlock)) * kRenderBlock;
    note.settleFrames =
        static_cast<int>(std::lround(0.4 * attackSeconds * kSampleRate / kRenderBlock)) * kRenderBlock;

    const double f1 = nominal * std::exp2(StretchCents(key) / 1200);
    note.fundamental = f1;
    const long cycles = std::max(1L, static_cast<long>(std::ceil(loopSeconds * f1)));
    note.loopLength = static_cast<int>(std::lround(cycles * kSampleRate / f1));

    auto loopCyclesOf = [&note](double freq) {
        return std::max(1, static_cast<int>(std::lround(freq * note.loopLength / kSampleRate)));
    };

    const double fastRate = FastRate(key), fastShare = FastShare(key);
    const std::vector<Candidate> spectrum = Spectrum(key, blow, f1, strings);
    double strongest = 0;
    for (const Candidate& c : spectrum) strongest = std::max(strongest, c.amp);
    double power = 0;
    for (const Candidate& c : spectrum) {
        const double slow = SampleSlowRate(key, f1, c.freq);
        power += c.amp * c.amp / 2 * EarlySquare(fastShare, fastRate + slow, slow).real();
        // Where a partial is this far below the strongest, its beating is
        // lost under the others: one string stands for the unison.
        const bool unison = c.amp < strongest * kUnisonFloor;
        const size_t count = unison ? 1 : strings.detuneCents.size();
        for (size_t s = 0; s < count; ++s) {
            Partial p;
            p.number = c.n;
            p.freq = unison ? c.freq : c.freq * std::exp2(strings.detuneCents[s] / 1200);
            // The unison settles on one frequency: the loop holds no beat.
            p.loopCycles = loopCyclesOf(c.freq);
            p.amp = unison ? c.amp : c.amp * strings.weight[s];
            // One hammer strikes all strings of the unison: nearly the same phase.
            p.phase = strings.partialPhase[c.n] + 0.15 * double(s);
            p.slowRate = slow;
            p.fastRate = fastRate + slow;
            p.fastShare = fastShare;
            note.partials.push_back(p);
        }
    }
    // The strings' early tone at RMS 1.0, so the levels below are relative
    // to it: the high partials a hard blow adds die before they could cover
    // the knocks.
    const double norm = power > 0 ? 1.0 / std::sqrt(power) : 0.0;
    for (Partial& p : note.partials) p.amp *= norm;

    // The board answers the blow with its own modes, a harder blow reaching
    // higher ones; a trace of the low ones rings on with the strings. Up the
    // treble the short strings give ever less to cover it, and a soft blow
    // less than a hard one: a soft high note is half a knock of wood, which
    // the muffle filter, closing on soft notes, leaves standing.
    static const std::vector<BoardMode> board = DrawBoard();
    const double treble = Interpolate(key, {{72, 0.0}, {108, 1.0}});
    const double boardLevel = 0.07 * (0.8 + 0.6 * across) * (1.0 + (4.0 + 8.0 * (1.0 - blow)) * treble);
    const double boardCorner = 800.0 + 1600.0 * blow;
    for (int i = 0; i < kBoardModes; ++i) {
        const BoardMode& m = board[static_cast<size_t>(i)];
        Partial p;
        p.number = -1 - i;
        p.freq = m.freq;
        p.loopCycles = loopCyclesOf(m.freq);
        p.amp = boardLevel * strings.boardGain[i] * std::sqrt(2.0 / kBoardModes) /
                std::sqrt(1.0 + (m.freq / boardCorner) * (m.freq / boardCorner));
        p.phase = strings.boardPhase[i];
        p.fastRate = 1.0 / m.decay;
        p.slowRate = SampleSlowRate(key, f1, m.freq) + 0.5;
        p.fastShare = m.freq < 500 ? 0.97 : 1.0;
        note.partials.push_back(p);
    }

    Hammer& h = note.hammer;
    // The felt's knock on the string: brighter and louder with the blow, and
    // louder in the treble, where the strings give less to cover it.
    h.felt.seed =
        0x48414D4D4552ull + static_cast<uint64_t>(key) * 4096 + static_cast<uint64_t>(std::lround(blow * 1000));
    h.felt.level = (0.05 + 0.10 * blow) * (0.7 + 1.8 * across);
    h.felt.centre = std::min(9000.0, (1000.0 + 2000.0 * blow) * std::pow(nominal / kMiddleC, 0.25));
    h.felt.q = 0.7;
    h.felt.decay = (0.010 - 0.004 * blow) * std::pow(kMiddleC / nominal, 0.2);
    // The key lands on the keybed a moment after the hammer leaves it.
    h.keybed.seed = h.felt.seed ^ 0x4B455942454Dull;
    h.keybed.level = 0.05 + 0.02 * blow;
    h.keybed.centre = 180.0 + 40.0 * strings.thumpOffset;
    h.keybed.q = 1.5;
    h.keybed.delay = 0.004 - 0.002 * blow;
    h.keybed.decay = 0.025;
    h.thumpLevel = 0.12 + 0.03 * blow;
    h.thumpFreq = 90.0 + 10.0 * strings.thumpOffset;
    h.thumpDecay = 0.03;
    return note;
}

std::vector<EarlyComponent> EarlyTone(const NoteModel& note) {
    // The strings of a unison (neighbours in the list) drift apart, the
    // faster the higher the partial.
    std::vector<EarlyComponent> tone;
    const auto& ps = note.partials;
    for (size_t begin = 0, end = 0; begin < ps.size(); begin = end) {
        end = begin + 1;
        while (end < ps.size() && ps[begin].number > 0 && ps[end].number == ps[begin].number) ++end;
        for (size_t i = begin; i < end; ++i) {
            double power = 0;
            for (size_t j = begin; j < end; ++j) {
                const auto square = EarlySquare(ps[i].fastShare, ps[i].fastRate, ps[i].slowRate,
                                                2 * kPi * (ps[i].freq - ps[j].freq));
                power += 0.5 * ps[i].amp * ps[j].amp * (square * std::polar(1.0, ps[i].phase - ps[j].phase)).real();
            }
            tone.push_back({ps[i].freq, power});
        }
    }
    return tone;
}

Brightness PlayedBrightness(const std::vector<EarlyComponent>& tone, double coefficient) {
    double first = 0, second = 0, total = 0;
    for (const EarlyComponent& c : tone) {
        const double gain = MuffleGain(c.freq, coefficient, kSampleRate);
        const double power = c.power * gain * gain;
        first += c.freq * power;
        second += c.freq * c.freq * power;
        total += power;
    }
    if (total <= 0) return {};
    return {1200 * std::log2(first / total), 1200 * std::log2(std::sqrt(second / total))};
}

std::array<double, kLayerCount> LayerBlows(int key) {
    // Early tones on a grid of blows; brightness rises with the blow, and
    // between the points it is taken as straight in cents.
    constexpr int kSteps = 32;
    std::vector<std::vector<EarlyComponent>> grid;
    for (int i = 0; i <= kSteps; ++i) grid.push_back(EarlyTone(BuildNoteModel(key, double(i) / kSteps)));
    auto played = [key](const std::vector<EarlyComponent>& tone, int midiVelocity) {
        return PlayedBrightness(tone, MuffleCoefficient(EngineVelocity(midiVelocity), key, kSampleRate));
    };
    // The softest blow of the grid that sounds at least `target` at this
    // velocity, by one of the two measures.
    auto blowFor = [&](double target, int midiVelocity, double Brightness::*measure) {
        double previous = played(grid[0], midiVelocity).*measure;
        if (target <= previous) return 0.0;
        for (int i = 1; i <= kSteps; ++i) {
            const double cents = played(grid[static_cast<size_t>(i)], midiVelocity).*measure;
            if (target <= cents) return (i - 1 + (target - previous) / (cents - previous)) / kSteps;
            previous = cents;
        }
        return 1.0;
    };

    std::array<double, kLayerCount> blows{};
    blows.back() = 1.0;
    for (int layer = kLayerCount - 2; layer >= 0; --layer) {
        const int m = HighestMidiVelocity(layer);
        const double above = blows[static_cast<size_t>(layer) + 1];
        const Brightness there = played(EarlyTone(BuildNoteModel(key, above)), m + 1);
        const double step = kLayers[static_cast<size_t>(layer)].brightnessStep;
        const double blow = std::max(blowFor(there.centroid - step, m, &Brightness::centroid),
                                     blowFor(there.rmsFrequency - step, m, &Brightness::rmsFrequency));
        blows[static_cast<size_t>(layer)] = std::min(blow, above);
    }
    return blows;
}

}  // namespace norv::defaultset
