// Pianos imported with norvkeys import and played through the built
// plug-in with norvkeys render, as a user does it.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "host/MidiWriter.h"
#include "render/RenderSupport.h"
#include "support/TempDir.h"
#include "support/TestPiano.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;
using P = TestPiano;

double Rms(const std::vector<float>& x) {
    double sum = 0;
    for (float v : x) sum += static_cast<double>(v) * v;
    return x.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(x.size()));
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

std::vector<float> Channel(const Audio& a, int channel, double from, double seconds) {
    std::vector<float> x;
    const int64_t begin = static_cast<int64_t>(from * a.rate), n = static_cast<int64_t>(seconds * a.rate);
    for (int64_t i = begin; i < begin + n && i < a.Frames(); ++i) x.push_back(a.samples[static_cast<size_t>(2 * i + channel)]);
    return x;
}

// Three notes, one at a time: the low zone's soft layer held past its
// sample's end, the high zone's unlooped soft layer, its stereo loud layer.
fs::path WriteNotes(const fs::path& folder) {
    host::MidiWriter w(0, 480);  // 120 beats a minute: 960 ticks a second
    const size_t t = w.AddTrack();
    w.Note(t, 0, 1200, 0, 48, 60);
    w.Note(t, 1440, 768, 0, 72, 60);
    w.Note(t, 2400, 768, 0, 74, 120);
    w.EndTrack(t, 3360);
    const fs::path p = folder / "notes.mid";
    w.Save(p);
    return p;
}

TEST(ImportRender, ImportedSoundFontPlaysAtItsPitchLoopsAndEndsWithoutClick) {
    TempDir dir;
    for (bool vorbis : {false, true}) {
        SCOPED_TRACE(vorbis ? "SF3" : "SF2");
        const fs::path source = dir.Write(vorbis ? "piano.sf3" : "piano.sf2", BuildSoundFont(TestPianoRecipe(vorbis)));
        const fs::path sets = dir.path() / (vorbis ? "sets3" : "sets2");
        const CommandResult imported = RunNorvkeys({"import", source.string(), "-o", sets.string(), "--quiet"});
        ASSERT_EQ(imported.exitCode, 0) << imported.output;
        const fs::path set = sets / "Test Piano.wti";
        ASSERT_TRUE(fs::exists(set));

        for (int rate : {44100, 48000}) {
            SCOPED_TRACE(rate);
            const fs::path out = dir.path() / "out.wav";
            const CommandResult r = RunNorvkeys({"render", WriteNotes(dir.path()).string(), "--set", set.string(), "-o",
                                                 out.string(), "--rate", std::to_string(rate), "--param", "detune=0",
                                                 "--param", "decay=-1000", "--param", "stereo=0", "--param", "release=-1000",
                                                 "--tail", "0.5"});
            ASSERT_EQ(r.exitCode, 0) << r.output;
            const Audio a = ReadAudio(out);

            // Played 0.55 s to 1.2 s, well past its 0.3 s of data: the loop holds pitch and level.
            const std::vector<float> early = Channel(a, 0, 0.15, 0.1), late = Channel(a, 0, 1.0, 0.1);
            EXPECT_NEAR(Cents(PeakFrequency(Channel(a, 0, 0.5, 0.6), a.rate, P::kLowHz, 50), P::kLowHz), 0.0, 1.0);
            EXPECT_NEAR(Db(Rms(late) / Rms(early)), 0.0, 0.2);

            // Tuned +37 cents, unlooped: sounds until its data ends at 1.9 s, faded, then silence.
            const double tuned = P::kHighHz * std::exp2(P::kTuneCents / 1200);
            EXPECT_NEAR(Cents(PeakFrequency(Channel(a, 0, 1.55, 0.3), a.rate, tuned, 100), tuned), 0.0, 1.0);
            const std::vector<float> body = Channel(a, 0, 1.80, 0.05);
            const std::vector<float> around = Channel(a, 0, 1.85, 0.1);
            size_t end = around.size();
            while (end > 0 && std::fabs(around[end - 1]) < 1e-3 * Rms(body)) --end;
            ASSERT_GT(end, 0u);
            const size_t ms = static_cast<size_t>(a.rate / 1000);
            const std::vector<float> last(around.begin() + static_cast<long>(end - std::min(end, ms)), around.begin() + static_cast<long>(end));
            EXPECT_LT(Rms(last), 0.3 * Rms(body)) << "the end of the data clicks";
            EXPECT_LT(Rms(Channel(a, 0, 1.95, 0.1)), 1e-3 * Rms(body));

            // The stereo pair keeps its sides: right 6 dB below left.
            const double left = Rms(Channel(a, 0, 2.7, 0.2)), right = Rms(Channel(a, 1, 2.7, 0.2));
            EXPECT_NEAR(Db(right / left), Db(P::kHighRightPeak / P::kHighPeak), vorbis ? 0.3 : 0.1);
            EXPECT_NEAR(Cents(PeakFrequency(Channel(a, 1, 2.6, 0.3), a.rate, tuned * std::exp2(2 / 12.0), 100),
                              tuned * std::exp2(2 / 12.0)),
                        0.0, 1.0);
        }
    }
}

TEST(ImportRender, CommandListsPresetsAndFailsNamingTheFile) {
    TempDir dir;
    const fs::path source = dir.Write("piano.sf2", BuildSoundFont(TestPianoRecipe()));
    CommandResult r = RunNorvkeys({"import", source.string(), "--list"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("0:0       4        Test Piano  (imported without --preset)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("128:0     0        Drums"), std::string::npos) << r.output;

    r = RunNorvkeys({"import", source.string(), "-o", (dir.path() / "sets").string(), "--preset", "128:0"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("piano.sf2: preset 128:0 'Drums' has no piano-like regions"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(dir.path() / "sets" / "Drums.wti"));
    EXPECT_TRUE(!fs::exists(dir.path() / "sets") || fs::is_empty(dir.path() / "sets"));

    const fs::path cut = dir.Write("cut.sf2", BuildSoundFont(TestPianoRecipe()).substr(0, 3000));
    r = RunNorvkeys({"import", cut.string(), "-o", (dir.path() / "sets").string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("cut.sf2: the RIFF header claims"), std::string::npos) << r.output;
}

// Without -o a set goes to the bundle's library when it may be written, else
// to the user library, which every instance then lists after the bundle's.
TEST(ImportRender, WithoutAFolderTheUserLibraryTakesTheSet) {
    TempDir dir;
    const fs::path source = dir.Write("piano.sf2", BuildSoundFont(TestPianoRecipe()));
    const std::string user = "NORVKEYS_USER_SETS=" + (dir.path() / "user").string();
    const std::string home = "HOME=" + dir.path().string();
    const SplitResult imported = RunNorvkeysPiped(
        {"import", source.string(), "--plugin", (dir.path() / "no-bundle" / "NorvKeys.so").string(), "-q"}, {user, home});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_TRUE(fs::exists(dir.path() / "user" / "Test Piano.wti"));
    // An LV2 host's preset menu offers it, from the user's own LV2 folder.
    // A set the bundle's name hides gets no preset of its own.
    const SplitResult hidden = RunNorvkeysPiped(
        {"import", source.string(), "-o", (dir.path() / "user").string(), "--name", "norv grand", "-q"}, {user, home});
    ASSERT_EQ(hidden.exitCode, 0) << hidden.err;
    std::ifstream presets(dir.path() / ".lv2" / "norv-keys-user-sets.lv2" / "presets.ttl");
    const std::string text((std::istreambuf_iterator<char>(presets)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("rdfs:label \"Test Piano\""), std::string::npos) << text;
    EXPECT_EQ(text.find("norv grand"), std::string::npos) << text;
    const SplitResult listed = RunNorvkeysPiped({"list"}, {user});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_LT(listed.out.find("Norv Grand"), listed.out.find("Test Piano")) << listed.out;
    EXPECT_EQ(RunNorvkeysPiped({"list"}, {"NORVKEYS_USER_SETS="}).out.find("Test Piano"), std::string::npos);
}

// The packaged public-domain grand: two recorded dynamics, stereo, 44.1 kHz.
TEST(ImportRender, MuseScoreGrandImportsAndPlays) {
    const fs::path source = "/usr/share/sounds/sf3/MuseScore_General_Lite.sf3";
    ASSERT_TRUE(fs::exists(source)) << source << " is missing: scripts/install-deps installs it";
    TempDir dir;
    const CommandResult imported =
        RunNorvkeys({"import", source.string(), "-o", dir.path().string(), "--name", "MuseScore Grand", "--json"});
    ASSERT_EQ(imported.exitCode, 0) << imported.output;
    // Its loud layer starts at 108, which shares the instrument's velocity
    // with 107: the split lands a velocity lower. The recording decays by
    // itself, carries its own tuning and stereo image.
    for (const char* fact : {"\"Layers\": [{\"LoVel\": 3, \"HiVel\": 106, \"Limit\": 0}, {\"LoVel\": 107, \"HiVel\": 127,",
                             "\"Rate\": 44100", "\"Channels\": 2", "\"Kind\": \"SF3\"", "\"LowKey\": 12",
                             "\"HighKey\": 108", "{\"Parameter\": \"decay\", \"Value\": -1000,",
                             "{\"Parameter\": \"detune\", \"Value\": 0,", "{\"Parameter\": \"stereo\", \"Value\": 0,"})
        EXPECT_NE(imported.output.find(fact), std::string::npos) << fact << "\n" << imported.output;
    EXPECT_EQ(imported.output.find("have no region"), std::string::npos) << imported.output;

    // Every key of the piano plays a zone whose root lies near it.
    std::ifstream in(dir.path() / "MuseScore Grand.wti");
    std::string line;
    int lowest = 999, previousHigh = -1, highest = 0;
    while (std::getline(in, line)) {
        if (line.rfind("high=", 0) == 0) {
            const int high = std::stoi(line.substr(5));
            EXPECT_GE(high, previousHigh);
            previousHigh = high;
        }
        if (line.rfind("root=", 0) == 0) {
            lowest = std::min(lowest, std::stoi(line.substr(5)));
            highest = std::max(highest, std::stoi(line.substr(5)));
        }
    }
    EXPECT_LE(lowest, 24);
    EXPECT_GE(highest, 100);
    EXPECT_EQ(previousHigh, 999);

    host::MidiWriter w(0, 480);
    const size_t t = w.AddTrack();
    for (int key : {21, 60, 64, 67, 108}) w.Note(t, 0, 960, 0, key, 90);
    w.EndTrack(t, 1440);
    w.Save(dir.path() / "chord.mid");
    const fs::path out = dir.path() / "chord.wav";
    const CommandResult r = RunNorvkeys({"render", (dir.path() / "chord.mid").string(), "--set",
                                         (dir.path() / "MuseScore Grand.wti").string(), "-o", out.string()});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const Audio a = ReadAudio(out);
    EXPECT_GT(Rms(Channel(a, 0, 0.1, 0.5)), 0.01);
    EXPECT_GT(Rms(Channel(a, 1, 0.1, 0.5)), 0.01);
}

}  // namespace
}  // namespace norv::test
