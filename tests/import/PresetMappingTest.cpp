// How the importer reads the way a source plays a note (SoundFont generators
// and modulators, SFZ opcodes), and the preset it fits to it.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/Parameters.h"
#include "engine/VoiceShape.h"
#include "support/TempDir.h"
#include "support/TestPiano.h"
#include "support/WaveWriter.h"
#include "tools/import/Importer.h"
#include "tools/import/SfzReader.h"
#include "tools/import/SfzRegions.h"
#include "tools/import/SoundFontNote.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

using namespace norv::import;

// Modulator source words: velocity, and velocity made negative and concave.
constexpr uint16_t kVel = 2, kVelConcaveNegative = 2 | 0x100 | 0x400;

SfZone Zone(std::initializer_list<std::pair<int, int>> gens, std::vector<SfModulator> mods = {}) {
    SfZone z;
    for (auto [g, v] : gens) z.Amount[g] = static_cast<int16_t>(v), z.Set[g] = true;
    z.Mods = std::move(mods);
    return z;
}

double Hz(double cents) { return 8.176 * std::exp2(cents / 1200.0); }

TEST(SoundFontNote, GeneratorsAndModulatorsGiveLevelFilterAndEnvelope) {
    const SfZone inst = Zone({{kInitialAttenuation, 100}, {kReleaseVolEnv, -1200}, {kHoldVolEnv, 0}, {kDecayVolEnv, 1200},
                              {kSustainVolEnv, 480}, {kKeynumToVolEnvDecay, 100}, {kInitialFilterFc, 6000}});
    // The preset adds to the instrument: attenuation, release, and a velocity-to-cutoff modulator.
    const SfZone preset = Zone({{kInitialAttenuation, 50}, {kReleaseVolEnv, 1200}}, {{kVel, kInitialFilterFc, 1200, 0, 0}});
    const SfVoiceRecipe r = CombineZones(nullptr, preset, nullptr, inst);

    const NoteShape loud = ShapeSoundFontNote(r, 60, 127), mid = ShapeSoundFontNote(r, 60, 64);
    EXPECT_NEAR(loud.GainDb, -0.4 * 150 / 10.0, 0.2);  // players count 0.4 of the attenuation
    EXPECT_NEAR(mid.GainDb - loud.GainDb, 40 * std::log10(64.0 / 127), 0.1);  // the default curve
    EXPECT_DOUBLE_EQ(loud.ReleaseDbPerSecond, 96.0);  // 0 timecents: 96 dB in 1 s
    EXPECT_NEAR(loud.HoldSeconds, 1.0, 0.003);
    EXPECT_DOUBLE_EQ(loud.DecayDbPerSecond, 48.0);   // 1200 timecents: 2 s
    EXPECT_DOUBLE_EQ(ShapeSoundFontNote(r, 72, 127).DecayDbPerSecond, 96.0);  // an octave up, half the time
    EXPECT_NEAR(loud.FallDb(1.5), 24.0, 0.2);
    EXPECT_NEAR(loud.FallDb(9.0), 96.0 * 480 / 1000, 1e-9);  // held at the sustain
    // Below 64 the default velocity-to-cutoff modulator is off; at 96 its
    // -600 cents undo the preset's +600 over 64.
    EXPECT_NEAR(ShapeSoundFontNote(r, 60, 32).CutoffHz, Hz(6300), 1e-6);
    EXPECT_NEAR(ShapeSoundFontNote(r, 60, 96).CutoffHz, Hz(6300), 1e-6);
    EXPECT_NEAR(loud.Q, std::sqrt(0.5), 1e-3);

    // The instrument's identical modulator replaces the default (flat
    // level); the preset's adds to it (half the default curve).
    const SfModulator none{kVelConcaveNegative, kInitialAttenuation, 0, 0, 0};
    const SfModulator half{kVelConcaveNegative, kInitialAttenuation, 480, 0, 0};
    const SfVoiceRecipe flat = CombineZones(nullptr, SfZone{}, nullptr, Zone({}, {none}));
    EXPECT_NEAR(ShapeSoundFontNote(flat, 60, 20).GainDb, ShapeSoundFontNote(flat, 60, 127).GainDb, 1e-9);
    const SfVoiceRecipe halved = CombineZones(nullptr, Zone({}, {half}), nullptr, Zone({}, {none}));
    EXPECT_NEAR(ShapeSoundFontNote(halved, 60, 64).GainDb - ShapeSoundFontNote(halved, 60, 127).GainDb,
                20 * std::log10(64.0 / 127), 0.1);
}

TEST(SfzNote, OpcodesGiveLevelFilterAndEnvelope) {
    TempDir dir;
    dir.Write("a.wav", WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data(Pcm16(SinePoints(441, 44100, 4410, 8000))).Bytes());
    const std::string text =
        "<region> sample=a.wav amp_veltrack=50 ampeg_release=0.5 ampeg_decay=2 ampeg_sustain=50\n"
        "<region> sample=a.wav amp_velcurve_64=0.25 cutoff=1000 fil_veltrack=1200 fil_keytrack=100\n";
    LeftOutList leftOut;
    const SfzRegions r = ConvertSfz(ParseSfz(text, "p.sfz", dir.path().string()), "p.sfz", dir.path().string(), leftOut);
    ASSERT_EQ(r.Regions.size(), 2u);
    EXPECT_TRUE(leftOut.Empty());
    const NoteShape a = r.Regions[0].Shape(60, 64);
    EXPECT_NEAR(a.GainDb, 20 * std::log10(1 - 0.5 * (1 - std::pow(64 / 127.0, 2))), 1e-9);
    EXPECT_NEAR(a.ReleaseDbPerSecond, 9 * 20 / std::log(10.0) / 0.5, 1e-9);  // 9 nepers in the stated time
    EXPECT_NEAR(a.FloorDb, 20 * std::log10(2.0), 1e-9);
    EXPECT_EQ(a.CutoffHz, 0);
    const NoteShape b = r.Regions[1].Shape(72, 127);
    EXPECT_NEAR(r.Regions[1].Shape(60, 64).GainDb, 20 * std::log10(0.25), 1e-9);
    EXPECT_NEAR(r.Regions[1].Shape(60, 96).GainDb, 20 * std::log10(0.25 + 0.75 * 32 / 63.0), 1e-9);
    EXPECT_NEAR(b.CutoffHz, 4000.0, 1e-6);  // +1200 cents of velocity, +1200 of key
}

// A piano whose notes hold a stack of harmonics, so that a filter shows in
// their brightness; `zone` adds to every zone.
std::string HarmonicPiano(const SfZoneRecipe& zone, const SfZoneRecipe& presetZone = {}) {
    SoundFontRecipe recipe;
    std::vector<int16_t> points(44100);
    for (size_t i = 0; i < points.size(); ++i) {
        double v = 0;
        for (int n = 1; n <= 30; ++n) v += std::sin(2 * std::numbers::pi * 220.0 * n * static_cast<double>(i) / 44100) / n;
        points[i] = static_cast<int16_t>(std::lround(6000 * v));
    }
    recipe.Samples = {{"harmonics", points, 44100, 57, 0, 0, 0, 1, 0}};
    SfZoneRecipe z = zone;
    z.Gens.push_back(SfGen::Value(53, 0));
    recipe.Instruments = {{"Piano", {z}}};
    SfZoneRecipe p = presetZone;
    p.Gens.push_back(SfGen::Value(41, 0));
    recipe.Presets = {{"Piano", 0, 0, {p}}};
    return BuildSoundFont(recipe);
}

int Knob(const ImportSummary& s, const std::string& name) {
    for (const PresetLine& l : s.Parameters)
        if (l.Parameter == name) return l.Value;
    return kParams[static_cast<size_t>(std::find_if(kParams.begin(), kParams.end(), [&](const TParamInfo& p) {
                                           return p.ShortName == name;
                                       }) - kParams.begin())].Initial;
}

SfZoneRecipe Gens(std::initializer_list<SfGen> gens) { return {gens, {}}; }

ImportSummary Import(TempDir& dir, const std::string& name, const std::string& bytes) {
    ImportOptions o;
    o.Source = dir.Write(name + ".sf2", bytes).string();
    o.Folder = (dir.path() / "sets").string();
    o.Name = name;
    return ImportSet(o);
}

TEST(PresetFit, FollowsTheSourcesVelocityCurveReleaseBrightnessAndEnvelope) {
    TempDir dir;
    // The SoundFont's default curve, 40 log10(v / 127) dB, is the
    // instrument's at velocity sensitivity 0 (level^2); half of it is level^1.
    const ImportSummary plain = Import(dir, "plain", BuildSoundFont(TestPianoRecipe()));
    EXPECT_NEAR(Knob(plain, "velsens"), 0, 3);
    EXPECT_EQ(Knob(plain, "decay"), kParams[kDecay].Min);  // the recording decays by itself
    EXPECT_EQ(Knob(plain, "detune"), 0);
    EXPECT_EQ(Knob(plain, "stereo"), 0);  // a stereo recording keeps its own image
    SoundFontRecipe halved = TestPianoRecipe();
    halved.Presets[1].Zones[0].Mods = {{kVelConcaveNegative, kInitialAttenuation, -480, 0, 0}};
    EXPECT_NEAR(Knob(Import(dir, "halved", BuildSoundFont(halved)), "velsens"), -700, 5);

    // A one-second release (96 dB/s): the fitted release falls about as fast at the zone's key.
    const ImportSummary released = Import(dir, "released", HarmonicPiano(Gens({SfGen::Value(kReleaseVolEnv, 0)})));
    TPianoWaveTable t((dir.path() / "sets").string() + "/", kParamCount);
    ASSERT_TRUE(t.LoadFromFile(44100, released.Definition));
    const float coef =
        ReleaseCoefficient(64, ParamLevelOf(kRelease, Knob(released, "release")), t.ReleaseHighNotes, 1 / 48000.0f);
    EXPECT_NEAR(-20 * std::log10(coef) * 48000, 96.0, 10.0);
    EXPECT_EQ(Knob(plain, "release"), kParams[kRelease].Min);  // the format's default release is a cut

    // Brightness: a cutoff that opens with velocity asks for a steep
    // velocity-to-muffle, a fixed open one for none.
    const SfZoneRecipe opening{{}, {{kVel, kInitialFilterFc, 4800, 0, 0}}};
    const ImportSummary tracking = Import(dir, "tracking", HarmonicPiano(Gens({SfGen::Value(kInitialFilterFc, 7000)}), opening));
    EXPECT_GE(Knob(tracking, "velmuffle"), 1000);
    EXPECT_LE(Knob(Import(dir, "open", HarmonicPiano({})), "velmuffle"), 100);

    // An unlooped sample carries its source's volume envelope: 24 dB/s from the start.
    const ImportSummary falling = Import(dir, "falling", HarmonicPiano(Gens({SfGen::Value(kDecayVolEnv, 2400),
                                                                             SfGen::Value(kSustainVolEnv, 1000)})));
    EXPECT_EQ(Knob(falling, "decay"), kParams[kDecay].Min);
    ASSERT_TRUE(t.LoadFromFile(44100, falling.Definition));
    const auto rms = [&](int from) {
        double sum = 0;
        for (int i = from; i < from + 2205; ++i) sum += std::pow(t.SampleData[static_cast<size_t>(i)], 2);
        return 10 * std::log10(sum);
    };
    EXPECT_NEAR(rms(4410) - rms(22050), 24.0 * 0.4, 0.3);
}

}  // namespace
}  // namespace norv::test
