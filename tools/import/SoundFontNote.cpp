#include "tools/import/SoundFontNote.h"

#include <algorithm>
#include <cmath>

namespace norv::import {
namespace {

// Source words: bits 0-6 the index, bit 7 a MIDI controller, bit 8
// negative, bit 9 bipolar, bits 10-15 the curve.
constexpr uint16_t kVelocitySource = 2, kKeySource = 3, kPitchWheelSource = 14, kWheelSensitivitySource = 16;
constexpr uint16_t kNegative = 0x100, kBipolar = 0x200, kConcave = 1 << 10, kSwitch = 3 << 10;

// The format's default modulators that bear on a note's level and filter
// by its velocity (those of volume and expression add the same to every note).
const SfModulator kDefaultModulators[] = {
    {kVelocitySource | kNegative | kConcave, kInitialAttenuation, 960, 0, 0},
    {kVelocitySource | kNegative, kInitialFilterFc, -2400, kVelocitySource | kSwitch, 0},
};

// The format's defaults of the generators read here (timecents, cents, centibels).
double DefaultGenerator(int g) {
    switch (g) {
        case kInitialFilterFc: return 13500;
        case kDelayModEnv: case kAttackModEnv: case kHoldModEnv: case kDecayModEnv: case kReleaseModEnv:
        case kDelayVolEnv: case kAttackVolEnv: case kHoldVolEnv: case kDecayVolEnv: case kReleaseVolEnv:
            return -12000;
        case kKeynum: case kVelocity: case kOverridingRootKey: return -1;
        case kScaleTuning: return 100;
        default: return 0;
    }
}

// Generators that only an instrument zone may hold.
bool InstrumentOnly(int g) {
    return g <= 4 || g == 12 || g == 45 || g == 46 || g == 47 || g == 50 || g == kSampleModes || g == 57 ||
           g == kOverridingRootKey || g == kSampleId;
}

// A player applies this share of a zone's initialAttenuation generator.
constexpr double kAttenuationShare = 0.4;

void Merge(std::vector<SfModulator>& into, const std::vector<SfModulator>& mods, bool add) {
    for (const SfModulator& m : mods) {
        auto same = std::find_if(into.begin(), into.end(), [&](const SfModulator& o) { return o.SameAs(m); });
        if (same == into.end())
            into.push_back(m);
        else
            same->Amount = static_cast<int16_t>(std::clamp(add ? same->Amount + m.Amount : int{m.Amount}, -32768, 32767));
    }
}

// A zone's own modulators replace its global zone's identical ones.
std::vector<SfModulator> ZoneModulators(const SfZone* global, const SfZone& local) {
    std::vector<SfModulator> mods = global ? global->Mods : std::vector<SfModulator>{};
    Merge(mods, local.Mods, false);
    return mods;
}

// The curves as players tabulate them over 0..127 and read between entries:
// 960 cB of the concave one give 40 log10(v / 127) dB.
double CurveEntry(int i, bool concave) {
    if (i <= 0) return 0.0;
    if (i >= 127) return 1.0;
    const int j = concave ? 127 - i : i;
    const double x = -(200.0 / 960.0) * std::log10(static_cast<double>(j * j) / (127.0 * 127.0));
    return concave ? x : 1.0 - x;
}
double Curve(double x, bool concave) {
    if (x <= 0) return 0.0;
    const int i = static_cast<int>(x);
    if (i >= 127) return 1.0;
    return CurveEntry(i, concave) + (CurveEntry(i + 1, concave) - CurveEntry(i, concave)) * (x - i);
}

struct Controls {
    int Key, Velocity;
};

// The source's raw value and range, as a player reads it at a note-on.
double SourceNormal(uint16_t source, const Controls& c, bool& known) {
    known = true;
    const int index = source & 0x7F;
    if (source & 0x80) {
        switch (index) {
            case 7: return 100.0 / 128.0;   // channel volume at its reset value
            case 10: return 64.0 / 128.0;   // pan, centred
            case 11: return 127.0 / 128.0;  // expression, full
            default: return 0.0;            // every other controller at rest
        }
    }
    switch (index) {
        case 0: return 1.0;  // no controller: as if at full
        case kVelocitySource: return c.Velocity / 128.0;
        case kKeySource: return c.Key / 128.0;
        case kPitchWheelSource: return 8192.0 / 16384.0;
        case kWheelSensitivitySource: return 2.0 / 128.0;
        case 10: case 13: return 0.0;  // pressures
        default: known = false; return 0.0;
    }
}

double Transformed(uint16_t source, const Controls& c, bool& known) {
    const double x = SourceNormal(source, c, known);
    const bool negative = source & kNegative, bipolar = source & kBipolar;
    const int curve = source >> 10;
    const double u = negative ? 1.0 - x : x;  // unipolar, direction applied
    switch (curve) {
        case 0: return bipolar ? 2.0 * u - 1.0 : u;
        case 1:
        case 2: {
            const bool concave = curve == 1;
            if (!bipolar) return Curve(127.0 * u, concave);
            return u > 0.5 ? Curve(127.0 * 2.0 * (u - 0.5), concave) : -Curve(127.0 * 2.0 * (0.5 - u), concave);
        }
        case 3: {
            const bool on = negative ? x < 0.5 : x >= 0.5;
            return on ? 1.0 : (bipolar ? -1.0 : 0.0);
        }
        default: known = false; return 0.0;
    }
}

double Seconds(double timecents) { return std::exp2(timecents / 1200.0); }

double CentsToHz(double cents) { return 8.176 * std::exp2(cents / 1200.0); }

// An envelope's value at `t` seconds after the start, 1 at its peak: delay,
// a linear attack, hold, then a fall of 1 per decay time to the sustain.
double EnvelopeAt(double t, double delay, double attack, double hold, double decay, double sustain) {
    if (t < delay) return 0.0;
    t -= delay;
    if (t < attack) return t / attack;
    t -= attack + hold;
    if (t < 0) return 1.0;
    return std::max(sustain, 1.0 - t / decay);
}

}  // namespace

SfVoiceRecipe CombineZones(const SfZone* presetGlobal, const SfZone& presetZone, const SfZone* instrumentGlobal,
                           const SfZone& instrumentZone) {
    SfVoiceRecipe r;
    for (int g = 0; g < kGeneratorCount; ++g) {
        double v = instrumentZone.Set[g]                       ? instrumentZone.Amount[g]
                   : instrumentGlobal && instrumentGlobal->Set[g] ? instrumentGlobal->Amount[g]
                                                                  : DefaultGenerator(g);
        if (g == kInitialAttenuation) v *= kAttenuationShare;
        double p = 0;
        if (!InstrumentOnly(g)) {
            p = presetZone.Set[g] ? presetZone.Amount[g] : presetGlobal && presetGlobal->Set[g] ? presetGlobal->Amount[g] : 0;
            if (g == kInitialAttenuation) p *= kAttenuationShare;
        }
        r.Gen[static_cast<size_t>(g)] = v + p;
    }
    r.Mods.assign(std::begin(kDefaultModulators), std::end(kDefaultModulators));
    Merge(r.Mods, ZoneModulators(instrumentGlobal, instrumentZone), false);
    Merge(r.Mods, ZoneModulators(presetGlobal, presetZone), true);
    return r;
}

NoteShape ShapeSoundFontNote(const SfVoiceRecipe& recipe, int key, int velocity) {
    std::array<double, kGeneratorCount> gen = recipe.Gen;
    Controls c{key, velocity};
    if (gen[kKeynum] >= 0 && gen[kKeynum] <= 127) c.Key = static_cast<int>(gen[kKeynum]);
    if (gen[kVelocity] >= 1 && gen[kVelocity] <= 127) c.Velocity = static_cast<int>(gen[kVelocity]);
    for (const SfModulator& m : recipe.Mods) {
        if (m.Dest >= kGeneratorCount) continue;
        bool known = true, knownAmount = true;
        const double v = Transformed(m.Source, c, known) * (m.AmountSource ? Transformed(m.AmountSource, c, knownAmount) : 1.0);
        // Modulators fed by links or by sources a piano note never has add nothing.
        if (!known || !knownAmount) continue;
        gen[m.Dest] += m.Amount * (m.Transform == 2 ? std::fabs(v) : v);
    }

    NoteShape s;
    s.GainDb = -std::clamp(gen[kInitialAttenuation], 0.0, 1440.0) / 10.0;

    // The filter as it stands through the note's opening: the modulation
    // envelope's share taken at a quarter second.
    const double keySteps = 60.0 - c.Key;
    const double modEnv =
        EnvelopeAt(0.25, Seconds(gen[kDelayModEnv]), Seconds(gen[kAttackModEnv]),
                   Seconds(std::min(gen[kHoldModEnv] + gen[kKeynumToModEnvHold] * keySteps, 5000.0)),
                   Seconds(std::min(gen[kDecayModEnv] + gen[kKeynumToModEnvDecay] * keySteps, 8000.0)),
                   std::clamp(1.0 - gen[kSustainModEnv] / 1000.0, 0.0, 1.0));
    const double cutoffCents = std::clamp(gen[kInitialFilterFc] + modEnv * gen[kModEnvToFilterFc], 1500.0, 13500.0);
    s.CutoffHz = CentsToHz(cutoffCents);
    const double qDb = std::clamp(gen[kInitialFilterQ], 0.0, 960.0) / 10.0 - 3.01;
    s.Q = std::pow(10.0, qDb / 20.0);
    s.FilterGain = 1.0 / std::sqrt(s.Q);

    const double delay = Seconds(gen[kDelayVolEnv]), attack = Seconds(gen[kAttackVolEnv]);
    s.HoldSeconds = delay + attack + Seconds(std::min(gen[kHoldVolEnv] + gen[kKeynumToVolEnvHold] * keySteps, 5000.0));
    // The volume envelope falls linearly in dB: 96 dB per decay or release time.
    s.DecayDbPerSecond = 96.0 / Seconds(std::min(gen[kDecayVolEnv] + gen[kKeynumToVolEnvDecay] * keySteps, 8000.0));
    s.FloorDb = 96.0 * std::clamp(gen[kSustainVolEnv], 0.0, 1440.0) / 1000.0;
    s.ReleaseDbPerSecond = 96.0 / Seconds(std::clamp(gen[kReleaseVolEnv], -7200.0, 8000.0));
    return s;
}

}  // namespace norv::import
