#include "tools/import/PresetFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <limits>
#include <map>
#include <numbers>

#include "engine/Parameters.h"
#include "engine/VoiceShape.h"
#include "engine/WorkingValues.h"
#include "tools/import/SampleBaker.h"
#include "tools/import/VelocityMeasure.h"

namespace norv::import {
namespace {

using Complex = std::complex<double>;

// The muffle filter's cutoff numbers a voice can get (the key floor starts
// at 55, the ceiling is 210), tabulated every second one.
constexpr int kLowestCut = 50, kHighestCut = 210, kCutStep = 2, kCuts = (kHighestCut - kLowestCut) / kCutStep + 1;
constexpr double kInv = 1.0 / kFitRate;
// A layer split weighs as much as this many probes.
constexpr double kSplitWeight = 30.0;
// The figures the summary reports are taken at these MIDI velocities.
constexpr int kReportVelocities[] = {30, 64, 100, 127};
// A release faster than this is as good as a cut; both sides are held here.
constexpr double kMostReleaseDb = 60.0;

double Db(double power) { return 10.0 * std::log10(std::max(power, 1e-30)); }

double Level(int parameter, int value) { return ParamLevelOf(parameter, value); }

double Radians(double hz, double rate) { return 2.0 * std::numbers::pi * hz / rate; }

// |H|^2 of a one-pole low-pass baked into the data, at `hz`.
double BakedPower(double cutoffHz, double rate, double hz) {
    if (cutoffHz <= 0) return 1.0;
    const double a = OnePoleCoefficient(cutoffHz, rate), b = 1.0 - a, w = Radians(hz, rate);
    return a * a / (1.0 + b * b - 2.0 * b * std::cos(w));
}

// |H|^2 of the engine's muffle filter with coefficient a at angular frequency w.
double MufflePower(double a, double w) {
    const double b = 1.0 - a;
    return a * a * (2.0 + 2.0 * std::cos(w)) / (1.0 + b * b - 2.0 * b * std::cos(w));
}

// |H|^2 of the source's low-pass at w, its level correction included.
double SourceFilterPower(const NoteShape& s, double hz) {
    if (s.CutoffHz <= 0) return 1.0;
    const double w = Radians(hz, kFitRate);
    const double fc = std::min(s.CutoffHz, 0.45 * kFitRate);
    const double w0 = 2.0 * std::numbers::pi * fc / kFitRate;
    const double alpha = std::sin(w0) / (2.0 * s.Q);
    const double a0 = 1.0 + alpha, c = std::cos(w0);
    const double b1 = (1.0 - c) / a0 * s.FilterGain, b0 = b1 / 2.0;
    const double a1 = -2.0 * c / a0, a2 = (1.0 - alpha) / a0;
    const Complex z1 = std::polar(1.0, -w), z2 = z1 * z1;
    return std::norm((b0 + b1 * z1 + b0 * z2) / (1.0 + a1 * z1 + a2 * z2));
}

struct Weighed {
    float LevelDb = 0, LogCentroid = 0;
};

// The level (dB) and log2 centroid of a spectrum through a filter.
template <class Filter>
Weighed Weigh(const BandSpectrum& spectrum, double shift, Filter&& power) {
    double sum = 0, moment = 0;
    for (int b = 0; b < kSpectrumBands; ++b) {
        const double hz = BandHz(b) * shift;
        if (hz >= 0.5 * kFitRate) break;
        const double p = spectrum.Power[static_cast<size_t>(b)] * power(hz);
        sum += p;
        moment += p * hz;
    }
    return {static_cast<float>(Db(sum)), static_cast<float>(std::log2(std::max(moment / std::max(sum, 1e-30), 1.0)))};
}

// How one sample sounds played at one key: through each low-pass the data
// may carry, then the muffle filter at each cutoff number.
struct OursTable {
    std::array<std::array<Weighed, kCuts>, kBakedCutoffs.size()> At;
};

struct Probe {
    int Key = 60, Midi = 1, Output = 0;
    float Velocity = 0;  // the engine's
    NoteShape Source;
    NoteShape Carried;   // what of the source's envelope the data already carries
    double LoopSeconds = 1e300;
    Weighed Heard;       // the source's level and brightness
    const OursTable* Ours = nullptr;
};

// Neighbouring velocities of one key that play different samples. A split
// may sit a velocity off the source's own, so the step it should make is
// the source's largest within a velocity of it.
struct Split {
    size_t Down = 0, Up = 0;  // probes
    double LevelStep = 0, LogCentroidStep = 0;
};

// Our brightness and level at a fractional cutoff number.
Weighed OursAt(const Probe& p, size_t baked, float cut) {
    const double x = (std::clamp(static_cast<double>(cut), double{kLowestCut}, double{kHighestCut}) - kLowestCut) / kCutStep;
    const size_t i = std::min(static_cast<size_t>(x), static_cast<size_t>(kCuts - 2));
    const float u = static_cast<float>(x - static_cast<double>(i));
    const Weighed& a = p.Ours->At[baked][i];
    const Weighed& b = p.Ours->At[baked][i + 1];
    return {a.LevelDb + u * (b.LevelDb - a.LevelDb), a.LogCentroid + u * (b.LogCentroid - a.LogCentroid)};
}

// How much a velocity counts: the velocities of ordinary playing ten times
// as much as the faintest and the hardest blows.
double Weight(const Probe& p) { return p.Midi >= 20 && p.Midi <= 120 ? 1.0 : 0.1; }

// The source's fall by `seconds` that the instrument still has to make.
double FallLeft(const Probe& p, double seconds) {
    return p.Source.FallDb(seconds) - CarriedFallDb(p.Carried, p.LoopSeconds, seconds);
}

// The working values a knob value drives.
TWorkingValues Derived(int parameter, int value) {
    TWorkingValues w;
    kParams[static_cast<size_t>(parameter)].Derive(w, Level(parameter, value));
    return w;
}

float CutFor(const Probe& p, int muffle, int velMuffle) {
    return MuffleCutoff(static_cast<float>(p.Key), p.Velocity, Level(kMuffle, muffle),
                        Derived(kVelMuffle, velMuffle).VelMuffleScale, kMuffleScale);
}

double VelSensExponent(int value) { return Derived(kVelSens, value).VelSensExponent; }

// dB per second of a per-sample level multiplier at the fit's rate.
double DbPerSecond(float coefficient) { return -20.0 * std::log10(static_cast<double>(coefficient)) * kFitRate; }

std::string Fixed(double v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

class Fitter {
public:
    explicit Fitter(const PresetFitInput& in) : in_(in) {}
    PresetFit Run();

private:
    void MakeProbes();
    void FitDecay();
    void FitRelease();
    void FitBrightness();
    void FitLevels();
    std::vector<double> GainsWithSplits(const std::vector<double>& target) const;
    size_t Baked(const Probe& p) const { return baked_[static_cast<size_t>(p.Output)]; }
    std::string ByVelocity(const std::function<double(const Probe&)>& ours, const std::function<double(const Probe&)>& source,
                           const std::function<std::string(double)>& text) const;
    void Choose(int parameter, int value, std::string from) { out_.Choices.push_back({parameter, value, std::move(from)}); }

    const PresetFitInput& in_;
    std::vector<Probe> probes_;
    std::map<std::pair<int, int>, OursTable> tables_;  // by output and key
    std::vector<Split> splits_;
    std::vector<size_t> baked_;  // per output, into kBakedCutoffs
    PresetFit out_;
    int muffle_ = 0, velMuffle_ = 0, decay_ = 0;
};

void Fitter::MakeProbes() {
    for (const FitZone& zone : in_.Zones) {
        for (int midi = 1; midi <= 127; ++midi) {
            const std::optional<PresetFitInput::SourceNote> source = in_.Source(zone.Key, midi);
            if (!source) continue;
            Probe p;
            p.Key = zone.Key;
            p.Midi = midi;
            p.Velocity = static_cast<float>(InstrumentVelocity(midi));
            p.Output = zone.Outputs.at(static_cast<size_t>(LayerFor(in_.Limits, midi)));
            p.Source = source->Shape;
            const FitOutput& out = in_.Outputs.at(static_cast<size_t>(p.Output));
            const FitOutput& heard = in_.Outputs.at(static_cast<size_t>(source->Output >= 0 ? source->Output : p.Output));
            p.Carried = out.Envelope;
            p.LoopSeconds = out.LoopSeconds;
            const double shift = std::exp2((zone.Key - out.Root) / 12.0);
            p.Heard = Weigh(heard.Spectrum, std::exp2((zone.Key - heard.Root) / 12.0),
                            [&](double hz) { return SourceFilterPower(p.Source, hz); });
            p.Heard.LevelDb += static_cast<float>(p.Source.GainDb);
            auto [table, added] = tables_.try_emplace({p.Output, p.Key});
            if (added) {
                for (size_t b = 0; b < kBakedCutoffs.size(); ++b) {
                    for (int c = 0; c < kCuts; ++c) {
                        const double a = MuffleCoefficient(static_cast<float>(kLowestCut + c * kCutStep), static_cast<float>(kInv));
                        table->second.At[b][static_cast<size_t>(c)] = Weigh(out.Spectrum, shift, [&](double hz) {
                            return BakedPower(kBakedCutoffs[b], in_.Rate, hz) * MufflePower(a, Radians(hz, kFitRate));
                        });
                    }
                }
            }
            p.Ours = &table->second;
            probes_.push_back(p);
        }
    }
    std::map<std::pair<int, int>, size_t> byNote;
    for (size_t i = 0; i < probes_.size(); ++i) byNote[{probes_[i].Key, probes_[i].Midi}] = i;
    const auto step = [&](int key, int from, float Weighed::*what) -> std::optional<double> {
        const auto a = byNote.find({key, from}), b = byNote.find({key, from + 1});
        if (a == byNote.end() || b == byNote.end()) return std::nullopt;
        return static_cast<double>(probes_[b->second].Heard.*what - probes_[a->second].Heard.*what);
    };
    const auto largest = [&](int key, int down, float Weighed::*what) {
        double best = 0;
        for (int from : {down - 1, down, down + 1})
            if (const auto d = step(key, from, what); d && std::fabs(*d) > std::fabs(best)) best = *d;
        return best;
    };
    for (size_t i = 0; i < probes_.size(); ++i) {
        const auto below = byNote.find({probes_[i].Key, probes_[i].Midi - 1});
        if (below == byNote.end() || probes_[below->second].Output == probes_[i].Output) continue;
        const int key = probes_[i].Key, down = probes_[i].Midi - 1;
        splits_.push_back({below->second, i, largest(key, down, &Weighed::LevelDb), largest(key, down, &Weighed::LogCentroid)});
    }
}

// Mean of a figure over the probes at each reported velocity, ours / the source's.
std::string Fitter::ByVelocity(const std::function<double(const Probe&)>& ours,
                               const std::function<double(const Probe&)>& source,
                               const std::function<std::string(double)>& text) const {
    std::string o, s;
    for (int v : kReportVelocities) {
        double sumOurs = 0, sumSource = 0;
        int n = 0;
        for (const Probe& p : probes_)
            if (p.Midi == v) sumOurs += ours(p), sumSource += source(p), ++n;
        const std::string sep = o.empty() ? "" : "/";
        o += sep + (n ? text(sumOurs / n) : "-");
        s += sep + (n ? text(sumSource / n) : "-");
    }
    return "at velocity 30/64/100/127 " + o + " against the source's " + s;
}

// The fall from 0.1 s to 1.0 s after the start, as the ear judges decay;
// errors count as they are heard, in dB, not squared.
void Fitter::FitDecay() {
    const TParamInfo& info = kParams[kDecay];
    std::vector<double> left(probes_.size());
    for (size_t i = 0; i < probes_.size(); ++i) left[i] = FallLeft(probes_[i], 1.0) - FallLeft(probes_[i], 0.1);
    const auto ours = [](int key, int value) {
        return DbPerSecond(HoldCoefficient(static_cast<float>(key), Level(kDecay, value), kInv)) * 0.9;
    };
    double best = std::numeric_limits<double>::max();
    for (int v = info.Min; v <= info.Max; ++v) {
        std::map<int, double> byKey;
        double err = 0;
        for (size_t i = 0; i < probes_.size(); ++i) {
            auto [it, added] = byKey.try_emplace(probes_[i].Key, 0.0);
            if (added) it->second = ours(probes_[i].Key, v);
            err += std::fabs(it->second - left[i]);
        }
        if (err < best - 1e-9) best = err, decay_ = v;
    }
    double sumOurs = 0, sumSource = 0, carried = 0;
    for (size_t i = 0; i < probes_.size(); ++i) {
        sumOurs += ours(probes_[i].Key, decay_);
        sumSource += probes_[i].Source.FallDb(1.0) - probes_[i].Source.FallDb(0.1);
        carried += left[i];
    }
    const double n = static_cast<double>(std::max<size_t>(probes_.size(), 1));
    carried = sumSource - carried;
    Choose(kDecay, decay_,
           std::string(decay_ == info.Min ? "none added: the recording decays by itself" : "the source's envelope") +
               "; from 0.1 s to 1 s the source's envelope falls " + Fixed(sumSource / n, 1) + " dB, the data carries " +
               Fixed(carried / n, 1) + " dB of it and the instrument adds " + Fixed(sumOurs / n, 1) + " dB (mean)");
}

void Fitter::FitRelease() {
    std::vector<const Probe*> known;
    for (const Probe& p : probes_)
        if (p.Source.ReleaseDbPerSecond > 0) known.push_back(&p);
    if (known.empty()) return;
    const TParamInfo& info = kParams[kRelease];
    const auto drop = [](float key, int value, bool high) {
        return std::min(DbPerSecond(ReleaseCoefficient(key, Level(kRelease, value), high, static_cast<float>(kInv))) * 0.1,
                        kMostReleaseDb);
    };
    double best = std::numeric_limits<double>::max();
    int release = info.Initial;
    for (bool high : {false, true}) {
        for (int v = info.Min; v <= info.Max; ++v) {
            std::map<int, double> byKey;
            double err = 0;
            for (const Probe* p : known) {
                auto [it, added] = byKey.try_emplace(p->Key, 0.0);
                if (added) it->second = drop(static_cast<float>(p->Key), v, high);
                err += std::fabs(it->second - std::min(p->Source.ReleaseDbPerSecond * 0.1, kMostReleaseDb));
            }
            if (err < best - 1e-9) best = err, release = v, out_.ReleaseHighNotes = high;
        }
    }
    double ours = 0, source = 0;
    for (const Probe* p : known) {
        ours += drop(static_cast<float>(p->Key), release, out_.ReleaseHighNotes);
        source += std::min(p->Source.ReleaseDbPerSecond * 0.1, kMostReleaseDb);
    }
    const double n = static_cast<double>(known.size());
    Choose(kRelease, release,
           "falls " + Fixed(ours / n, 1) + " dB in the first 100 ms after the note-off where the source's release falls " +
               Fixed(source / n, 1) + " dB (mean)" +
               (out_.ReleaseHighNotes ? "; every key takes the treble's release rule" : ""));
}

// Brightness by velocity comes from the muffle knobs; a sample whose source
// is darker than the knobs can make it, at every velocity it plays, carries a
// low-pass of its own.
void Fitter::FitBrightness() {
    const size_t outputs = in_.Outputs.size();
    constexpr size_t kBakes = kBakedCutoffs.size();
    const std::vector<Split>& splits = splits_;
    std::vector<std::array<double, kBakes>> perOutput(outputs);
    std::vector<size_t> choice(outputs, 0);
    const auto error = [&](int m, int vm, bool keep) {
        for (auto& e : perOutput) e.fill(0.0);
        for (const Probe& p : probes_) {
            const float cut = CutFor(p, m, vm);
            for (size_t b = 0; b < kBakes; ++b) {
                const double d = OursAt(p, b, cut).LogCentroid - p.Heard.LogCentroid;
                perOutput[static_cast<size_t>(p.Output)][b] += Weight(p) * d * d;
            }
        }
        for (size_t o = 0; o < outputs; ++o)
            choice[o] = static_cast<size_t>(std::min_element(perOutput[o].begin(), perOutput[o].end()) - perOutput[o].begin());
        const auto splitError = [&](const Split& sp, size_t down, size_t up) {
            const Probe& a = probes_[sp.Down];
            const Probe& b = probes_[sp.Up];
            const double d = (OursAt(b, up, CutFor(b, m, vm)).LogCentroid - OursAt(a, down, CutFor(a, m, vm)).LogCentroid) -
                             sp.LogCentroidStep;
            return kSplitWeight * d * d;
        };
        // The splits tie neighbouring layers' choices: settle them in turn.
        for (int pass = 0; pass < 2 && !splits.empty(); ++pass) {
            std::vector<std::array<double, kBakes>> cost = perOutput;
            for (const Split& sp : splits) {
                const size_t down = static_cast<size_t>(probes_[sp.Down].Output), up = static_cast<size_t>(probes_[sp.Up].Output);
                for (size_t b = 0; b < kBakes; ++b) {
                    cost[down][b] += splitError(sp, b, choice[up]);
                    cost[up][b] += splitError(sp, choice[down], b);
                }
            }
            for (size_t o = 0; o < outputs; ++o)
                choice[o] = static_cast<size_t>(std::min_element(cost[o].begin(), cost[o].end()) - cost[o].begin());
        }
        double err = 0;
        for (size_t o = 0; o < outputs; ++o) err += perOutput[o][choice[o]];
        for (const Split& sp : splits)
            err += splitError(sp, choice[static_cast<size_t>(probes_[sp.Down].Output)], choice[static_cast<size_t>(probes_[sp.Up].Output)]);
        if (keep) baked_ = choice;
        return err;
    };
    const TParamInfo& mi = kParams[kMuffle];
    const TParamInfo& vi = kParams[kVelMuffle];
    double best = std::numeric_limits<double>::max();
    const auto consider = [&](int m, int vm) {
        if (m < mi.Min || m > mi.Max || vm < vi.Min || vm > vi.Max) return;
        const double err = error(m, vm, false);
        if (err < best - 1e-12) best = err, muffle_ = m, velMuffle_ = vm;
    };
    // Coarse to fine: the error is smooth in both knobs.
    for (int m = mi.Min; m <= mi.Max; m += 25)
        for (int vm = vi.Min; vm <= vi.Max; vm += 50) consider(m, vm);
    for (int step : {5, 1}) {
        const int cm = muffle_, cvm = velMuffle_;
        for (int dm = -5; dm <= 5; ++dm)
            for (int dv = -5; dv <= 5; ++dv) consider(cm + dm * step, cvm + dv * 2 * step);
    }
    error(muffle_, velMuffle_, true);
    out_.OutputCutoffHz.resize(outputs);
    size_t carrying = 0;
    for (size_t o = 0; o < outputs; ++o) {
        out_.OutputCutoffHz[o] = kBakedCutoffs[baked_[o]];
        carrying += baked_[o] != 0;
    }
    const std::string from =
        "brightness fitted to the source's filter and its velocity and key tracking: centroid " +
        ByVelocity([this](const Probe& p) { return std::exp2(OursAt(p, Baked(p), CutFor(p, muffle_, velMuffle_)).LogCentroid); },
                   [](const Probe& p) { return std::exp2(p.Heard.LogCentroid); }, [](double hz) { return Fixed(hz, 0); }) +
        " Hz (mean)" +
        (carrying ? "; " + std::to_string(carrying) + " of " + std::to_string(outputs) +
                        " samples carry a low-pass where the source is darker than the knobs reach"
                  : "");
    Choose(kMuffle, muffle_, from);
    Choose(kVelMuffle, velMuffle_, "with muffle");
}

void Fitter::FitLevels() {
    const size_t outputs = in_.Outputs.size();
    // Each side's level through the opening, its envelope's fall counted.
    std::vector<double> ours(probes_.size()), heard(probes_.size()), x(probes_.size());
    for (size_t i = 0; i < probes_.size(); ++i) {
        const Probe& p = probes_[i];
        double fall = 0;
        for (int t = 1; t <= 10; ++t) fall += FallLeft(p, 0.05 * t) / 10.0;
        heard[i] = p.Heard.LevelDb - fall;
        ours[i] = OursAt(p, Baked(p), CutFor(p, muffle_, velMuffle_)).LevelDb -
                  DbPerSecond(HoldCoefficient(static_cast<float>(p.Key), Level(kDecay, decay_), kInv)) * 0.275;
        x[i] = 20.0 * std::log10(p.Midi / 100.0);
    }
    const auto gains = [&](double e) {
        std::vector<double> sum(outputs, 0.0), count(outputs, 0.0);
        for (size_t i = 0; i < probes_.size(); ++i) {
            sum[static_cast<size_t>(probes_[i].Output)] += Weight(probes_[i]) * (heard[i] - e * x[i] - ours[i]);
            count[static_cast<size_t>(probes_[i].Output)] += Weight(probes_[i]);
        }
        for (size_t o = 0; o < outputs; ++o) sum[o] = count[o] > 0 ? sum[o] / count[o] : 0.0;
        return sum;
    };
    const TParamInfo& info = kParams[kVelSens];
    double best = std::numeric_limits<double>::max();
    int velSens = info.Initial;
    for (int v = info.Min; v <= info.Max; ++v) {
        const double e = VelSensExponent(v);
        const std::vector<double> g = gains(e);
        double err = 0;
        for (size_t i = 0; i < probes_.size(); ++i) {
            const double d = heard[i] - g[static_cast<size_t>(probes_[i].Output)] - e * x[i] - ours[i];
            err += Weight(probes_[i]) * d * d;
        }
        if (err < best - 1e-9) best = err, velSens = v;
    }
    const double e = VelSensExponent(velSens);
    std::vector<double> target(probes_.size());
    for (size_t i = 0; i < probes_.size(); ++i) target[i] = heard[i] - e * x[i] - ours[i];
    out_.OutputGainDb = GainsWithSplits(target);
    // Relative to the same zone's loudest velocity.
    std::vector<double> oursAt(probes_.size()), heardAt(probes_.size());
    for (size_t i = 0; i < probes_.size(); ++i) {
        oursAt[i] = ours[i] + out_.OutputGainDb[static_cast<size_t>(probes_[i].Output)] + e * x[i];
        heardAt[i] = heard[i];
    }
    std::map<int, size_t> loudest;  // key -> its probe at velocity 127
    for (size_t i = 0; i < probes_.size(); ++i)
        if (probes_[i].Midi == 127) loudest[probes_[i].Key] = i;
    std::vector<double> oursTop(probes_.size(), 0), heardTop(probes_.size(), 0);
    for (size_t i = 0; i < probes_.size(); ++i)
        if (auto it = loudest.find(probes_[i].Key); it != loudest.end())
            oursTop[i] = oursAt[it->second], heardTop[i] = heardAt[it->second];
    const auto index = [this](const Probe& p) { return static_cast<size_t>(&p - probes_.data()); };
    Choose(kVelSens, velSens,
           "level fitted to the source's velocity curve: " +
               ByVelocity([&](const Probe& p) { return oursAt[index(p)] - oursTop[index(p)]; },
                          [&](const Probe& p) { return heardAt[index(p)] - heardTop[index(p)]; },
                          [](double db) { return Fixed(db, 1); }) +
               " dB re velocity 127 (mean)");
}

// Each sample's gain: the mean of what its probes ask for, and, weighing as
// much as many probes, a step at each layer split as large as the source's,
// so that no split jumps where the source's does not.
std::vector<double> Fitter::GainsWithSplits(const std::vector<double>& target) const {
    const size_t n = in_.Outputs.size();
    std::vector<double> normal(n * n, 0.0), rhs(n, 0.0);
    const auto at = [&](size_t r, size_t c) -> double& { return normal[r * n + c]; };
    for (size_t i = 0; i < probes_.size(); ++i) {
        const size_t o = static_cast<size_t>(probes_[i].Output);
        at(o, o) += Weight(probes_[i]);
        rhs[o] += Weight(probes_[i]) * target[i];
    }
    for (const Split& sp : splits_) {
        const size_t up = static_cast<size_t>(probes_[sp.Up].Output), down = static_cast<size_t>(probes_[sp.Down].Output);
        // G_up - G_down should make the source's step out of ours.
        const double want = sp.LevelStep - (probes_[sp.Up].Heard.LevelDb - probes_[sp.Down].Heard.LevelDb) +
                            (target[sp.Up] - target[sp.Down]);
        at(up, up) += kSplitWeight, at(down, down) += kSplitWeight;
        at(up, down) -= kSplitWeight, at(down, up) -= kSplitWeight;
        rhs[up] += kSplitWeight * want, rhs[down] -= kSplitWeight * want;
    }
    // A sample no probe reaches keeps gain 0; a touch of ridge keeps the system solvable.
    for (size_t o = 0; o < n; ++o) at(o, o) += 1e-6;
    // Cholesky: the system is symmetric and positive definite.
    for (size_t c = 0; c < n; ++c) {
        double d = at(c, c);
        for (size_t k = 0; k < c; ++k) d -= at(c, k) * at(c, k);
        at(c, c) = std::sqrt(std::max(d, 1e-12));
        for (size_t r = c + 1; r < n; ++r) {
            double v = at(r, c);
            for (size_t k = 0; k < c; ++k) v -= at(r, k) * at(c, k);
            at(r, c) = v / at(c, c);
        }
    }
    std::vector<double> g(rhs);
    for (size_t r = 0; r < n; ++r) {
        for (size_t k = 0; k < r; ++k) g[r] -= at(r, k) * g[k];
        g[r] /= at(r, r);
    }
    for (size_t r = n; r-- > 0;) {
        for (size_t k = r + 1; k < n; ++k) g[r] -= at(k, r) * g[k];
        g[r] /= at(r, r);
    }
    return g;
}

PresetFit Fitter::Run() {
    MakeProbes();
    out_.OutputGainDb.assign(in_.Outputs.size(), 0.0);
    out_.OutputCutoffHz.assign(in_.Outputs.size(), 0.0);
    baked_.assign(in_.Outputs.size(), 0);
    if (!probes_.empty()) {
        FitDecay();
        FitRelease();
        FitBrightness();
        FitLevels();
    }
    Choose(kDetune, 0, "the recording carries its own tuning");
    if (in_.Stereo) Choose(kStereo, 0, "the recording carries its own stereo image");
    return out_;
}

}  // namespace

int PresetFit::KnobValue(int parameter) const {
    for (const PresetChoice& c : Choices)
        if (c.Parameter == parameter) return c.Value;
    return kParams[static_cast<size_t>(parameter)].Initial;
}

int LayerFor(const std::vector<int>& limits, int midi) {
    const int vel = InstrumentVelocity(midi);
    int layer = 0;
    for (size_t i = 1; i < limits.size(); ++i) {
        if (limits[i] >= vel) break;
        ++layer;
    }
    return layer;
}

PresetFit FitPreset(const PresetFitInput& input) { return Fitter(input).Run(); }

}  // namespace norv::import
