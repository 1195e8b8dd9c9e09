// The default sound set as the build lays it out, and the generator that makes it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "DefaultSet.h"
#include "SetFiles.h"
#include "SignalMeasures.h"
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

WaveContents Sample(const Entry& e) {
    auto wave = norv::test::ReadWave(kBuiltSet / "NorvGrand" / e.name);
    if (!wave) throw std::runtime_error("unreadable sample " + e.name);
    return *wave;
}

// Entry of the given layer in the zone whose root is `root`.
Entry Find(const std::vector<Entry>& entries, int root, int layer) {
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i].root == root) return entries[i + layer];
    }
    throw std::runtime_error("no zone at root " + std::to_string(root));
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

    const auto& layers = def.at("velocitylayers");
    EXPECT_EQ(layers.at("count"), "2");
    EXPECT_EQ(layers.at("0"), "0");
    // Host level 1.0 is velocity 100, MIDI 127 about 109: the split must lie
    // well inside that range for both layers to be played.
    const int split = std::atoi(layers.at("1").c_str());
    EXPECT_GE(split, 60);
    EXPECT_LE(split, 95);
}

TEST(DefaultSet, ZonesCoverTheKeyboard) {
    const Profile def = Definition();
    const std::vector<Entry> entries = Entries(def);
    ASSERT_GE(entries.size(), 2u * 30);  // at most 3 semitones apart over 21..108
    ASSERT_EQ(entries.size() % 2, 0u);

    int previousRoot = -1, previousHigh = -1;
    for (size_t i = 0; i < entries.size(); i += 2) {
        const Entry& soft = entries[i];
        const Entry& hard = entries[i + 1];
        SCOPED_TRACE(soft.name);
        EXPECT_EQ(soft.root, hard.root);
        EXPECT_EQ(soft.high, hard.high);
        EXPECT_NE(soft.name, hard.name);
        EXPECT_GT(soft.high, previousHigh);
        EXPECT_GT(soft.root, previousHigh);  // the root plays from its own zone
        EXPECT_LE(soft.root, soft.high);
        if (previousRoot >= 0) {
            EXPECT_LE(soft.root - previousRoot, 3);
        }
        previousRoot = soft.root;
        previousHigh = soft.high;
        for (size_t j : {i, i + 1}) {
            const auto& section = def.at("sample" + std::to_string(j));
            // The loader takes start, end and loop from the file.
            EXPECT_FALSE(section.count("pos") || section.count("end") || section.count("loop"));
            EXPECT_TRUE(fs::is_regular_file(kBuiltSet / "NorvGrand" / entries[j].name));
        }
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
    const std::vector<Entry> entries = Entries(Definition());
    for (size_t i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
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

        // Levels: no clipping, and the hard layer louder than the soft one.
        const auto peak = [](const WaveContents& s) {
            int p = 0;
            for (int16_t v : s.frames) p = std::max(p, std::abs(int(v)));
            return p;
        };
        EXPECT_LT(peak(w), 32000);
        if (i % 2 == 1) {
            const WaveContents soft = Sample(entries[i - 1]);
            EXPECT_GT(peak(w), peak(soft));
            EXPECT_GT(norv::test::Rms(w.frames, 0, kRate / 2), 1.2 * norv::test::Rms(soft.frames, 0, kRate / 2));
            EXPECT_GT(peak(soft), 32768 / 10);  // not buried in the noise floor
        }
    }
}

TEST(DefaultSet, WholeSetFitsTheSizeBudget) {
    uintmax_t total = 0;
    for (const auto& [name, content] : SetFiles(kBuiltSet)) total += content.size();
    EXPECT_LT(total, 12u * 1000 * 1000);
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

TEST(DefaultSet, LoopsSoundAtTheRootKey) {
    const std::vector<Entry> entries = Entries(Definition());
    // The period the ear hears: the brighter hard layer a little sharper,
    // the soft one a little flatter, the key between them.
    for (int root : {21, 33, 45, 60, 69, 84, 96, 108}) {
        double cents[2];
        for (int layer : {0, 1}) {
            const WaveContents w = Sample(Find(entries, root, layer));
            const double f =
                norv::test::AutocorrelationPitch(w.frames, w.loopStart, w.loopEnd + 1, kRate, KeyHz(root));
            cents[layer] = norv::test::Cents(f, KeyHz(root));
            EXPECT_NEAR(cents[layer], 0.0, 8.0) << root << " layer " << layer;
        }
        EXPECT_NEAR((cents[0] + cents[1]) / 2, 0.0, 3.0) << root;
    }
}

TEST(DefaultSet, HardLayerIsBrighterAndTrebleIsShorter) {
    const std::vector<Entry> entries = Entries(Definition());
    const size_t from = kRate / 20, to = kRate / 2;  // past the first knock, the early tone
    for (int root : {33, 60, 84}) {
        const WaveContents soft = Sample(Find(entries, root, 0));
        const WaveContents hard = Sample(Find(entries, root, 1));
        const double softHz = norv::test::RmsFrequency(soft.frames, from, to, kRate);
        const double hardHz = norv::test::RmsFrequency(hard.frames, from, to, kRate);
        EXPECT_GT(hardHz, 1.3 * softHz) << root;
    }
    // What is left at the loop, relative to the start: most in the bass.
    auto sustain = [&](int root) {
        const WaveContents w = Sample(Find(entries, root, 1));
        return norv::test::Rms(w.frames, w.loopStart, w.loopEnd + 1) / norv::test::Rms(w.frames, 0, kRate / 5);
    };
    EXPECT_GT(sustain(33), sustain(60));
    EXPECT_GT(sustain(60), sustain(96));
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
