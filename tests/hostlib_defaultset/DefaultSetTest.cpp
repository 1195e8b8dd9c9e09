// The default sound set as the build lays it out, and the generator that makes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "DefaultSet.h"
#include "PianoModel.h"
#include "Playback.h"
#include "SetFiles.h"
#include "support/SignalMeasures.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using norv::test::Profile;
using norv::test::WaveContents;

namespace {

const fs::path kBuiltSet = NORV_BUILD_DIR "/NorvKeys/WavTables";
constexpr int kRate = 44100;

struct Entry {
    std::string name;
    int root;
    int high;
};

Profile Definition() { return norv::test::ParseProfile(norv::test::ReadText(kBuiltSet / "NorvGrand.wti")); }

std::vector<Entry> Entries(const Profile& def) {
    std::vector<Entry> entries;
    const int count = std::atoi(def.at("info").at("samples").c_str());
    for (int i = 0; i < count; ++i) {
        const auto& s = def.at("sample" + std::to_string(i));
        entries.push_back({s.at("name"), std::atoi(s.at("root").c_str()), std::atoi(s.at("high").c_str())});
    }
    return entries;
}

int LayerCount(const Profile& def) { return std::atoi(def.at("velocitylayers").at("count").c_str()); }

WaveContents Sample(const Entry& e) {
    auto wave = norv::test::ReadWave(kBuiltSet / "NorvGrand" / e.name);
    if (!wave) throw std::runtime_error("unreadable sample " + e.name);
    return *wave;
}

double KeyHz(int key) { return 440.0 * std::exp2((key - 69) / 12.0); }

// The set's own files under a WavTables folder, by relative path: other
// sets may share the folder.
std::map<std::string, std::string> SetFiles(const fs::path& wavTables) {
    std::map<std::string, std::string> files;
    if (fs::exists(wavTables / "NorvGrand.wti")) files["NorvGrand.wti"] = norv::test::ReadText(wavTables / "NorvGrand.wti");
    if (fs::is_directory(wavTables / "NorvGrand")) {
        for (const auto& e : fs::recursive_directory_iterator(wavTables / "NorvGrand")) {
            if (e.is_regular_file()) files[fs::relative(e.path(), wavTables).string()] = norv::test::ReadText(e.path());
        }
    }
    return files;
}

}  // namespace

TEST(DefaultSet, Definition) {
    const Profile def = Definition();
    const auto& info = def.at("info");
    EXPECT_EQ(info.at("name"), "Norv Grand");
    EXPECT_EQ(info.at("shortname"), "Grand");
    EXPECT_FALSE(info.at("author").empty());
    EXPECT_EQ(info.at("path"), "NorvGrand");
    EXPECT_EQ(info.at("filetype"), "riff");
    EXPECT_EQ(info.at("resample"), "true");
    EXPECT_EQ(info.at("samplerate"), "44100");
    EXPECT_EQ(info.at("isstandard"), "1");
    EXPECT_FALSE(info.count("samplefile"));  // one file per entry

    // Velocity limits rise within what MIDI 1..127 gives (engine velocities
    // 4..109), so every layer plays.
    const auto& layers = def.at("velocitylayers");
    EXPECT_EQ(layers.at("0"), "0");
    int previous = 3;
    for (int i = 1; i < LayerCount(def); ++i) {
        const int limit = std::atoi(layers.at(std::to_string(i)).c_str());
        EXPECT_GT(limit, previous) << "limit " << i;
        previous = limit;
    }
    EXPECT_LT(previous, 109);
}

TEST(DefaultSet, ZonesCoverTheKeyboard) {
    const Profile def = Definition();
    const std::vector<Entry> entries = Entries(def);
    const size_t layers = static_cast<size_t>(LayerCount(def));
    ASSERT_GE(entries.size(), layers * 30);  // at most 3 semitones apart over 21..108
    ASSERT_EQ(entries.size() % layers, 0u);

    int previousRoot = -1, previousHigh = -1;
    std::set<std::string> names;
    for (size_t i = 0; i < entries.size(); i += layers) {
        const Entry& zone = entries[i];
        SCOPED_TRACE(zone.name);
        for (size_t j = i; j < i + layers; ++j) {
            // The engine reads the zone's first entry only; the others must agree.
            EXPECT_EQ(entries[j].root, zone.root);
            EXPECT_EQ(entries[j].high, zone.high);
            EXPECT_TRUE(names.insert(entries[j].name).second) << entries[j].name;
            const auto& section = def.at("sample" + std::to_string(j));
            // The loader takes start, end and loop from the file.
            EXPECT_FALSE(section.count("pos") || section.count("end") || section.count("loop"));
            EXPECT_TRUE(fs::is_regular_file(kBuiltSet / "NorvGrand" / entries[j].name));
        }
        EXPECT_GT(zone.high, previousHigh);
        EXPECT_GT(zone.root, previousHigh);  // the root plays from its own zone
        EXPECT_LE(zone.root, zone.high);
        if (previousRoot >= 0) {
            EXPECT_LE(zone.root - previousRoot, 3);
        }
        previousRoot = zone.root;
        previousHigh = zone.high;
    }
    EXPECT_EQ(entries.back().high, 999);
    EXPECT_EQ(entries.front().root, 21);
    EXPECT_EQ(entries.back().root, 108);

    // Every key of the piano is found the engine's way (first zone whose
    // high reaches it) and plays a root at most one semitone away.
    for (int key = 21; key <= 108; ++key) {
        auto zone = std::find_if(entries.begin(), entries.end(), [key](const Entry& e) { return e.high >= key; });
        ASSERT_NE(zone, entries.end()) << key;
        EXPECT_LE(std::abs(zone->root - key), 1) << key;
    }
}

TEST(DefaultSet, SamplesAreMono16BitWithALoopToTheLastFrame) {
    for (const Entry& e : Entries(Definition())) {
        SCOPED_TRACE(e.name);
        const WaveContents w = Sample(e);
        EXPECT_EQ(w.formatTag, 1);
        EXPECT_EQ(w.channels, 1);
        EXPECT_EQ(w.sampleRate, kRate);
        EXPECT_EQ(w.bitsPerSample, 16);
        EXPECT_EQ(w.blockAlign, 2);
        ASSERT_EQ(w.loopCount, 1);
        EXPECT_EQ(w.loopType, 0u);  // forward
        EXPECT_EQ(w.unityNote, static_cast<uint32_t>(e.root));
        EXPECT_EQ(w.loopEnd, w.frames.size() - 1);
        // A natural attack and early decay before the loop, and a loop long
        // enough not to buzz.
        EXPECT_GE(w.loopStart, 0.5 * kRate);
        EXPECT_GE(w.loopEnd - w.loopStart + 1, 0.3 * kRate);
        // No clipping, and not buried in the noise floor.
        int peak = 0;
        for (int16_t v : w.frames) peak = std::max(peak, std::abs(int(v)));
        EXPECT_LT(peak, 32000);
        EXPECT_GT(peak, 32768 / 10);
    }
}

TEST(DefaultSet, WholeSetFitsTheSizeBudget) {
    uintmax_t total = 0;
    for (const auto& [name, content] : SetFiles(kBuiltSet)) total += content.size();
    EXPECT_LT(total, 32u * 1000 * 1000);
    EXPECT_GT(total, 1u * 1000 * 1000);  // a real set, not a placeholder
}

TEST(DefaultSet, LoopsJoinWithoutAClick) {
    for (const Entry& e : Entries(Definition())) {
        SCOPED_TRACE(e.name);
        const WaveContents w = Sample(e);
        const auto& x = w.frames;
        const size_t s = w.loopStart, end = w.loopEnd;
        // Playback runs ... end-1, end, s, s+1 ...: the step and the bend
        // across the seam must look like those inside the loop.
        int maxStep = 0, maxBend = 0;
        for (size_t i = s + 1; i < end; ++i) {
            maxStep = std::max(maxStep, std::abs(x[i + 1] - x[i]));
            maxBend = std::max(maxBend, std::abs(x[i + 1] - 2 * x[i] + x[i - 1]));
        }
        const int seamStep = std::abs(x[s] - x[end]);
        const int bendBefore = std::abs(x[s] - 2 * x[end] + x[end - 1]);
        const int bendAfter = std::abs(x[s + 1] - 2 * x[s] + x[end]);
        EXPECT_LE(seamStep, maxStep * 5 / 4 + 2);
        EXPECT_LE(bendBefore, maxBend + 2);
        EXPECT_LE(bendAfter, maxBend + 2);
    }
}

// Stiff strings make a piano's upper partials sharp, and a tuner stretches
// its octaves to match: the bass's first partials end up flat, the
// treble's sharp, smoothly. Every layer of a key is tuned alike.
TEST(DefaultSet, FirstPartialsFollowAStretchedTuning) {
    const Profile def = Definition();
    const std::vector<Entry> entries = Entries(def);
    const size_t layers = static_cast<size_t>(LayerCount(def));
    std::map<int, double> cents;
    for (size_t i = 0; i < entries.size(); i += layers) {
        const int root = entries[i].root;
        auto tuning = [&](const Entry& e) {
            const WaveContents w = Sample(e);
            return norv::test::Cents(
                norv::test::LoopComponentFrequency(w.frames, w.loopStart, w.loopEnd + 1, kRate, KeyHz(root)),
                KeyHz(root));
        };
        cents[root] = tuning(entries[i]);
        EXPECT_NEAR(tuning(entries[i + layers - 1]), cents[root], 0.2) << "root " << root;
    }
    EXPECT_GE(cents[21], -40.0);
    EXPECT_LE(cents[21], -15.0);
    EXPECT_GE(cents[108], 20.0);
    EXPECT_LE(cents[108], 45.0);
    EXPECT_NEAR(cents[69], 0.0, 1.0);
    double previous = -1e9;
    for (const auto& [root, c] : cents) {
        EXPECT_GT(c, previous - 0.2) << "root " << root;
        previous = c;
    }
}

// Each layer's blow makes it sound its step darker than the layer above
// where the two meet, by the measure that steps more (each through the
// muffle filter at its own velocity), down from the hardest blow; only the
// softest blow may stop it short. Through the middle of the keyboard every
// layer from velocity 30 up takes its full step.
TEST(DefaultSet, LayerBlowsStepTheBrightnessDownFromTheHardest) {
    namespace ds = norv::defaultset;
    for (int key : {21, 60, 84, 108}) {
        SCOPED_TRACE(key);
        const auto blows = ds::LayerBlows(key);
        EXPECT_EQ(blows.back(), 1.0);
        auto played = [key](double blow, int velocity) {
            const double coefficient = ds::MuffleCoefficient(ds::EngineVelocity(velocity), key, ds::kSampleRate);
            return ds::PlayedBrightness(ds::EarlyTone(ds::BuildNoteModel(key, blow)), coefficient);
        };
        for (int layer = ds::kLayerCount - 2; layer >= 0; --layer) {
            SCOPED_TRACE(layer);
            const auto i = static_cast<size_t>(layer);
            EXPECT_LE(blows[i], blows[i + 1]);
            const int m = ds::HighestMidiVelocity(layer);
            const ds::Brightness above = played(blows[i + 1], m + 1), here = played(blows[i], m);
            const double centroidStep = above.centroid - here.centroid;
            const double rmsStep = above.rmsFrequency - here.rmsFrequency;
            EXPECT_GE(std::min(centroidStep, rmsStep), 0.0);
            if (blows[i] > 0) {
                EXPECT_NEAR(std::max(centroidStep, rmsStep), ds::kLayers[i].brightnessStep, 10.0);
            } else {
                EXPECT_LE(std::max(centroidStep, rmsStep), ds::kLayers[i].brightnessStep + 10.0);
            }
        }
        if (key == 60 || key == 84) {
            EXPECT_GT(blows[static_cast<size_t>(ds::LayerOf(ds::EngineVelocity(30)))], 0.0);
        }
    }
}

TEST(DefaultSet, GeneratorWritesTheSameBytesOnEveryRun) {
    norv::test::TempDir first, second;
    // A sample of some older layout goes; other files stay.
    second.Write("NorvGrand/n000_old.wav", std::string("RIFF"));
    second.Write("NorvGrand/notes.txt", std::string("kept"));

    const auto report = norv::defaultset::GenerateDefaultSet(first.path());
    norv::defaultset::GenerateDefaultSet(second.path());
    EXPECT_FALSE(fs::exists(second.path() / "NorvGrand/n000_old.wav"));
    EXPECT_TRUE(fs::exists(second.path() / "NorvGrand/notes.txt"));
    fs::remove(second.path() / "NorvGrand/notes.txt");

    const auto a = SetFiles(first.path());
    const auto b = SetFiles(second.path());
    ASSERT_EQ(a.size(), report.samples.size() + 1);
    EXPECT_TRUE(a == b);

    // The build's own run, in another process, made the same set.
    EXPECT_TRUE(a == SetFiles(kBuiltSet));

    uintmax_t bytes = 0;
    for (const auto& [name, content] : a) bytes += content.size();
    EXPECT_EQ(report.totalBytes, bytes);
}

TEST(DefaultSet, GeneratorNamesAFolderItCannotWrite) {
    norv::test::TempDir dir;
    const fs::path blocker = dir.Write("WavTables", std::string("a file, not a folder"));
    try {
        norv::defaultset::GenerateDefaultSet(blocker);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(blocker.string()), std::string::npos) << e.what();
    }
}
