// Whole imports into a folder: the set the instrument loads, its levels,
// and the folder never left half-written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "support/TempDir.h"
#include "support/TestPiano.h"
#include "support/WaveWriter.h"
#include "import/ErrorOf.h"
#include "tools/import/ImportError.h"
#include "tools/import/Importer.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;
using namespace norv::import;
using P = TestPiano;

std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Level in dB of record `i`'s first channel over its first `frames` frames.
double LevelDb(const TPianoWaveTable& t, size_t i, int frames) {
    const TWaveTableSample& s = t.Samples[i];
    const int ch = t.Stereo ? 2 : 1;
    double sum = 0;
    for (int f = 0; f < frames; ++f) {
        const double v = t.SampleData[static_cast<size_t>((s.StartFrame + f) * ch)];
        sum += v * v;
    }
    return 10 * std::log10(sum / frames);
}

TEST(ImportSet, SoundFontBecomesASetTheInstrumentLoadsWithItsLevels) {
    TempDir dir;
    const fs::path source = dir.Write("piano.sf2", BuildSoundFont(TestPianoRecipe()));
    ImportOptions o;
    o.Source = source.string();
    o.Folder = (dir.path() / "sets").string();
    double last = 0;
    const ImportSummary s = ImportSet(o, [&](double f) {
        EXPECT_GE(f, last);
        last = f;
        return true;
    });
    EXPECT_EQ(last, 1.0);
    EXPECT_EQ(s.Name, "Test Piano");
    EXPECT_EQ(s.Zones, 2);
    ASSERT_EQ(s.Layers.size(), 2u);
    EXPECT_EQ(s.Layers[1].LoVel, 80);  // MIDI 80 and 81 share the instrument's velocity 92
    EXPECT_EQ(s.Layers[1].Limit, 91);  // the instrument's velocity of MIDI 79
    EXPECT_EQ(s.Channels, 2);
    EXPECT_EQ(s.Rate, 44100);
    EXPECT_EQ(s.Files, 4);
    EXPECT_EQ(Entries(dir.path() / "sets"), (std::vector<std::string>{"Test Piano", "Test Piano.wti"}));

    TPianoWaveTable t((dir.path() / "sets").string() + "/", 15);
    ASSERT_TRUE(t.LoadFromFile(44100, (dir.path() / "sets" / "Test Piano.wti").string()));
    EXPECT_EQ(t.Name, "Test Piano");
    EXPECT_EQ(t.Author, "Test Engineer");
    EXPECT_EQ(t.VelocityLimits, (std::vector<int32_t>{0, 91}));
    ASSERT_EQ(t.Samples.size(), 4u);
    EXPECT_EQ(t.Samples[0].High, 59);
    EXPECT_EQ(t.Samples[2].High, 999);
    EXPECT_EQ(t.Samples[0].Root, 48);
    EXPECT_EQ(t.Samples[2].Root, 72);  // +37 cents baked into the data
    EXPECT_EQ(t.Samples[0].LoopLength, P::kLoopEnd - P::kLoopStart);
    EXPECT_EQ(t.Samples[2].LoopLength, 0);  // unlooped
    EXPECT_EQ(t.Samples[2].EndFrame - t.Samples[2].StartFrame + 1, std::lround(P::kUnloopedFrames / std::exp2(37 / 1200.0)));

    // Relative levels as the source plays them (0.4 of the attenuation, as
    // players apply it; its velocity curve is the instrument's at the fitted
    // sensitivity); the loudest at -1 dBFS.
    const double lowSoft = LevelDb(t, 0, 8820);
    EXPECT_NEAR(LevelDb(t, 1, 8820) - lowSoft, 20 * std::log10(P::kLowLoudPeak / P::kLowSoftPeak) - 0.4 * P::kAttenuationDb, 0.5);
    EXPECT_NEAR(LevelDb(t, 2, 8820) - lowSoft, 20 * std::log10(P::kHighPeak / P::kLowSoftPeak), 0.5);
    int peak = 0;
    for (int i = 0; i < t.SampleDataSize / 2; ++i) peak = std::max(peak, std::abs(int{t.SampleData[i]}));
    EXPECT_NEAR(20 * std::log10(peak / 32768.0), kPeakDbfs, 0.01);
}

TEST(ImportSet, ExistingSetsAreReplacedOnlyWhenAskedAndFailuresLeaveNothing) {
    TempDir dir;
    const fs::path sets = dir.path() / "sets";
    ImportOptions o;
    o.Source = dir.Write("piano.sf2", BuildSoundFont(TestPianoRecipe())).string();
    o.Folder = sets.string();
    o.Name = "My/Piano";
    o.Bits = 24;
    EXPECT_EQ(ImportSet(o).Definition, (sets / "My_Piano.wti").string());
    const std::vector<std::string> set = {"My_Piano", "My_Piano.wti"};
    std::ifstream wave(sets / "My_Piano" / "k048_1.wav", std::ios::binary);
    char head[36] = {};
    wave.read(head, sizeof head);
    EXPECT_EQ(head[34], 24);  // bits per sample

    dir.Write("sets/My_Piano/marker", "the old set");
    EXPECT_EQ(ErrorOf([&] { ImportSet(o); }), (sets / "My_Piano.wti").string() + ": exists already (--force replaces it)");
    EXPECT_TRUE(fs::exists(sets / "My_Piano" / "marker"));

    o.Force = true;
    const std::string interrupted = ErrorOf([&] { ImportSet(o, [](double) { return false; }); });
    EXPECT_NE(interrupted.find("import interrupted"), std::string::npos) << interrupted;
    EXPECT_TRUE(fs::exists(sets / "My_Piano" / "marker"));
    EXPECT_EQ(Entries(sets), set);

    o.Source = dir.Write("broken.sfz", "<region> sample=gone.wav").string();
    EXPECT_NE(ErrorOf([&] { ImportSet(o); }).find("broken.sfz: region 1 (line 1): sample 'gone.wav': no such file"),
              std::string::npos);
    o.Source = dir.Write("drums.sf2", BuildSoundFont([] {
                           SoundFontRecipe recipe = TestPianoRecipe();
                           recipe.Presets.pop_back();
                           return recipe;
                       }())).string();
    EXPECT_NE(ErrorOf([&] { ImportSet(o); }).find("preset 128:0 'Drums' has no piano-like regions"), std::string::npos);
    EXPECT_EQ(Entries(sets), set);
    EXPECT_TRUE(fs::exists(sets / "My_Piano" / "marker"));

    // An SFZ piano replaces the set: one recording, its upper layer retuned and softer.
    const std::vector<int16_t> sine = SinePoints(441, 44100, 4400, 16000);
    dir.Write("sfz/a.wav", WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data(Pcm16(sine))
                               .Sampler(SamplerInfo().Unity(60).Loop(2200, 4399)).Bytes());
    o.Source = dir.Write("sfz/piano.sfz", "<region> sample=a.wav hivel=64 ampeg_release=0.5\n"
                                          "<region> sample=a.wav lovel=65 volume=-6 tune=37\n").string();
    o.Name = "My/Piano";
    const ImportSummary s = ImportSet(o);
    EXPECT_EQ(Entries(sets), set);
    EXPECT_FALSE(fs::exists(sets / "My_Piano" / "marker"));
    EXPECT_EQ(s.Kind, "SFZ");
    EXPECT_EQ(s.Channels, 1);
    EXPECT_TRUE(s.LeftOut.empty());
    TPianoWaveTable t(sets.string() + "/", 15);
    ASSERT_TRUE(t.LoadFromFile(44100, (sets / "My_Piano.wti").string()));
    ASSERT_EQ(t.Samples.size(), 2u);
    EXPECT_EQ(t.Samples[1].Root, 60);
    EXPECT_EQ(t.Samples[0].LoopLength, 2200);
    EXPECT_GE(t.Samples[1].LoopLength, 4096);
    EXPECT_NEAR(LevelDb(t, 1, 2200) - LevelDb(t, 0, 2200), -6.0, 0.5);
}

}  // namespace
}  // namespace norv::test
