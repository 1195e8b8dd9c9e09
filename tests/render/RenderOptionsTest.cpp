// norvkeys render options, run as a user runs them: standard output, gain,
// quiet, channels, polyphony, sets from anywhere, and where a song ends.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "host/MidiWriter.h"
#include "render/RenderSupport.h"
#include "support/TempDir.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return v;
}

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// The number after `label` in norvkeys' summary, or NaN.
double Figure(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? std::nan("") : std::strtod(text.c_str() + at + label.size(), nullptr);
}

class RenderOptions : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directory(tmp()); }

    std::string Out(const std::string& name) const { return (dir.path() / name).string(); }
    // The folder norvkeys gets as TMPDIR: it must be empty after every run.
    fs::path tmp() const { return dir.path() / "tmp"; }
    std::string TmpEnv() const { return "TMPDIR=" + tmp().string(); }

    fs::path WriteSong() { return WriteOneNoteSong(dir.path()); }

    TempDir dir;
};

TEST_F(RenderOptions, StandardOutputGetsTheFileAWaveWouldHold) {
    const std::string song = WriteSong().string();
    // Integer samples: a float WAVE's PEAK chunk holds the time of writing,
    // so two renders differ in it.
    const std::vector<std::string> common = {"render", song, "--tail", "0.5", "--bits", "24"};
    auto args = [&](std::vector<std::string> extra) {
        std::vector<std::string> a = common;
        a.insert(a.end(), extra.begin(), extra.end());
        return a;
    };
    ASSERT_EQ(RunNorvkeys(args({"-o", Out("a.wav")})).exitCode, 0);
    const std::string file = Slurp(Out("a.wav"));

    // Through a pipe, which cannot be rewound to fill in the sizes.
    SplitResult r = RunNorvkeysPiped(args({"-o", "-"}), {TmpEnv()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(r.out.size(), file.size());
    EXPECT_TRUE(r.out == file);
    EXPECT_EQ(r.out.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(r.out, 4), r.out.size() - 8);
    EXPECT_EQ(r.out.size(), 44u + 48000u * 6u);  // 1 s of 24-bit stereo
    EXPECT_NE(r.err.find("set:     Norv Grand"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("length:  1.00 s"), std::string::npos) << r.err;
    EXPECT_TRUE(FilesIn(tmp()).empty());

    r = RunNorvkeysPiped(args({"-o", "-", "--quiet"}), {TmpEnv()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.out == file);
    EXPECT_EQ(r.err, "");

    // A failure writes nothing to standard output and leaves nothing behind.
    r = RunNorvkeysPiped(args({"-o", "-", "--set", "Harpsichord"}), {TmpEnv()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--set Harpsichord: no such set"), std::string::npos) << r.err;
    EXPECT_TRUE(FilesIn(tmp()).empty());
}

TEST_F(RenderOptions, GainAndQuiet) {
    const std::string song = WriteSong().string();
    auto render = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> a = {"render", song, "-o", Out(out), "--tail", "0.5"};
        a.insert(a.end(), extra.begin(), extra.end());
        return RunNorvkeysPiped(a);
    };
    const SplitResult plain = render("plain.wav", {"--bits", "32f"});
    const SplitResult loud = render("loud.wav", {"--bits", "32f", "--gain", "20"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    ASSERT_EQ(loud.exitCode, 0) << loud.err;
    const Audio p = ReadAudio(Out("plain.wav")), l = ReadAudio(Out("loud.wav"));
    ASSERT_EQ(l.samples.size(), p.samples.size());
    for (size_t i = 0; i < p.samples.size(); ++i) ASSERT_EQ(l.samples[i], p.samples[i] * 10.0f) << i;
    // The summary's peak is of what was written.
    EXPECT_NEAR(Figure(loud.out, "peak:    ") - Figure(plain.out, "peak:    "), 20.0, 0.011);
    EXPECT_NEAR(Figure(loud.out, "dBFS ("), 10 * Figure(plain.out, "dBFS ("), 0.0011);

    // Quiet: nothing at all for a clean render, only the warning for one that clips.
    SplitResult r = render("q.wav", {"--quiet"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    r = render("q.wav", {"-q", "--gain", "40"});
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("norvkeys: warning: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("clipped at full scale"), std::string::npos) << r.err;

    for (const char* bad : {"nan", "101"}) {
        r = render("bad.wav", {"--gain", bad});
        EXPECT_NE(r.exitCode, 0) << bad;
        EXPECT_NE(r.err.find("--gain"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(Out("bad.wav")));
}

// Channel 1: two notes until 0.5 s; channel 3: one until 0.25 s; channel 10:
// three drum hits until 1 s, with a controller at 1.25 s. 120 beats a minute.
fs::path WriteBand(const TempDir& dir) {
    host::MidiWriter w(1, 480);
    const size_t piano = w.AddTrack(), drums = w.AddTrack();
    w.Note(piano, 0, 480, 0, 60, 100);
    w.Note(piano, 240, 240, 0, 64, 100);
    w.Note(piano, 0, 240, 2, 67, 90);
    w.Control(piano, 0, 2, 7, 100);
    for (int i = 0; i < 3; ++i) w.Note(drums, 320 * static_cast<uint64_t>(i), 320, 9, 36 + i, 110);
    w.Control(drums, 1200, 9, 7, 90);
    w.EndTrack(piano, 4800);
    const fs::path p = dir.path() / "band.mid";
    w.Save(p);
    return p;
}

TEST_F(RenderOptions, ChannelsChooseWhatPlaysAndWhereTheSongEnds) {
    const std::string song = WriteBand(dir).string();
    auto render = [&](std::vector<std::string> extra) {
        std::vector<std::string> a = {"render", song, "-o", Out("x.wav"), "--tail", "0"};
        a.insert(a.end(), extra.begin(), extra.end());
        return RunNorvkeys(a);
    };
    struct Case {
        std::vector<std::string> options;
        int voices;
        int64_t frames;  // the last note or controller that plays, at 48 kHz
        const char* skipped;
    };
    const Case cases[] = {
        {{}, 3, 24000, "skipped: 3 notes on channel 10; channel 10 is the drum channel"},
        {{"--channels", "all"}, 6, 60000, nullptr},
        {{"--channels", "10"}, 3, 60000, "skipped: 3 notes on channels 1 (2), 3 (1);"},
        {{"--channels", "3,5-9"}, 1, 12000, "skipped: 5 notes on channels 1 (2), 10 (3);"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.empty() ? "default" : c.options[1]);
        const CommandResult r = render(c.options);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("voices:  " + std::to_string(c.voices) + " "), std::string::npos) << r.output;
        EXPECT_EQ(ReadAudio(Out("x.wav")).Frames(), c.frames);
        if (c.skipped)
            EXPECT_NE(r.output.find(c.skipped), std::string::npos) << r.output;
        else
            EXPECT_EQ(r.output.find("skipped:"), std::string::npos) << r.output;
    }
    fs::remove(Out("x.wav"));

    for (const char* bad : {"17", "9-2", "drums"}) {
        const CommandResult r = render({"--channels", bad});
        EXPECT_NE(r.exitCode, 0) << bad;
        EXPECT_NE(r.output.find(std::string("--channels ") + bad + ": "), std::string::npos) << r.output;
    }
    EXPECT_FALSE(fs::exists(Out("x.wav")));
}

// 48 keys struck 10 ms apart and all held until 1.5 s.
fs::path WriteDenseChord(const TempDir& dir) {
    host::MidiWriter w(0, 480);
    const size_t t = w.AddTrack();
    for (int i = 0; i < 48; ++i) {
        const auto at = static_cast<uint64_t>(i) * 96 / 10;  // 9.6 ticks: 10 ms
        w.Note(t, at, 1440 - at, 0, 36 + i, 100);
    }
    const fs::path p = dir.path() / "dense.mid";
    w.Save(p);
    return p;
}

TEST_F(RenderOptions, PolyphonyLimitsTheVoicesSoundingAtOnce) {
    const std::string song = WriteDenseChord(dir).string();
    auto render = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> a = {"render", song, "-o", Out(out), "--tail", "0", "--bits", "32f"};
        a.insert(a.end(), extra.begin(), extra.end());
        return RunNorvkeys(a);
    };
    struct Case {
        std::vector<std::string> options;
        const char* voices;
    };
    const Case cases[] = {
        {{"--polyphony", "256"}, "voices:  48 (at most 48 at once; polyphony 256)"},
        {{}, "voices:  48 (at most 32 at once; polyphony 32)"},
        {{"--polyphony", "0"}, "voices:  48 (at most 48 at once; no polyphony limit)"},
        {{"--polyphony", "8"}, "voices:  48 (at most 8 at once; polyphony 8)"},
    };
    for (const Case& c : cases) {
        const std::string out = (c.options.empty() ? "default" : c.options[1]) + ".wav";
        SCOPED_TRACE(out);
        const CommandResult r = render(out, c.options);
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find(c.voices), std::string::npos) << r.output;
    }
    // With every chord note sounding the last quarter second carries more
    // energy than with 16 of them stolen.
    auto energy = [&](const std::string& out) {
        const Audio a = ReadAudio(Out(out));
        double sum = 0;
        for (float x : a.Left(a.Frames() - 12000, 12000)) sum += static_cast<double>(x) * x;
        return sum;
    };
    EXPECT_GT(energy("256.wav"), 1.2 * energy("default.wav"));
    EXPECT_EQ(ReadAudio(Out("256.wav")).samples, ReadAudio(Out("0.wav")).samples);

    const CommandResult r = render("bad.wav", {"--polyphony", "-1"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("--polyphony"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(Out("bad.wav")));
}

TEST_F(RenderOptions, SetFromAFolderOutsideTheLibrary) {
    const std::string song = WriteSong().string();
    const fs::path builtTables = BundleFolder() / "WavTables";
    const std::string grand = Slurp(builtTables / "NorvGrand.wti");
    auto renamed = [&grand](const std::string& name) {
        std::string text = grand;
        return text.replace(text.find("name=Norv Grand"), std::strlen("name=Norv Grand"), "name=" + name);
    };
    // Tune +500 and muffle 250 as the set's preset. An earlier set of the
    // same name and a default.wti pointing at it must not get in the way.
    const fs::path elsewhere = dir.path() / "elsewhere";
    dir.Write("elsewhere/Upright.wti", WithPreset(renamed("Upright"), {{8, "0.75"}, {4, "0.25"}}));
    dir.Write("elsewhere/A.wti", renamed("UPRIGHT"));
    dir.Write("elsewhere/default.wti", "[default]\nfile=A.wti\n");
    dir.Write("elsewhere/Broken.wti", "[info]\nname=Broken\nsamples=1\n[sample0]\nname=none.wav\n");
    fs::create_directory_symlink(builtTables / "NorvGrand", elsewhere / "NorvGrand");

    auto render = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> a = {"render", song, "-o", Out(out), "--tail", "0.5", "--bits", "32f"};
        a.insert(a.end(), extra.begin(), extra.end());
        return RunNorvkeysPiped(a, {TmpEnv()});
    };
    const std::string upright = (elsewhere / "Upright.wti").string();
    SplitResult r = render("upright.wav", {"--set", upright});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("set:     Upright (" + upright + ")"), std::string::npos) << r.out;
    EXPECT_TRUE(FilesIn(tmp()).empty());
    // The same samples with the same knobs, from the installed set.
    r = render("grand.wav", {"--param", "tune=500", "--param", "muffle=250"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Audio a = ReadAudio(Out("upright.wav")), b = ReadAudio(Out("grand.wav"));
    ASSERT_EQ(a.samples.size(), b.samples.size());
    ASSERT_GT(a.Peak(), 0.01f);
    EXPECT_EQ(std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)), 0);

    const std::set<std::string> before = FilesIn(dir.path());
    struct Bad {
        std::string set;
        std::string error;
    };
    const Bad bads[] = {
        {(elsewhere / "Broken.wti").string(), "could not load set \"Broken\""},
        {(elsewhere / "none.wti").string(), "none.wti: no such set definition"},
        {elsewhere.string(), "elsewhere: is a folder"},
        {(elsewhere / "NorvGrand" / "n060_v11.wav").string(), "n060_v11.wav: not a set definition (.wti)"},
        {"no-such-set.wti", "--set no-such-set.wti: no such set"},
    };
    for (const Bad& bad : bads) {
        SCOPED_TRACE(bad.set);
        r = render("bad.wav", {"--set", bad.set});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find(bad.error), std::string::npos) << r.err;
        EXPECT_TRUE(FilesIn(tmp()).empty());
    }
    EXPECT_EQ(FilesIn(dir.path()), before);
}

}  // namespace
}  // namespace norv::test
