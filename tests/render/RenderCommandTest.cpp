// norvkeys render, run as a user runs it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>

#include "engine/Parameters.h"
#include "render/RenderSupport.h"
#include "support/TempDir.h"
#include "base/IniFile.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class RenderCommand : public ::testing::Test {
protected:
    fs::path WriteSong() { return WriteOneNoteSong(dir.path()); }

    std::string Out(const std::string& name) const { return (dir.path() / name).string(); }

    TempDir dir;
};

TEST_F(RenderCommand, WritesTheSongAsWave) {
    const fs::path song = WriteSong();
    // Release at its slowest: the note rings for seconds, so the tail limit ends it.
    CommandResult r = RunNorvkeys({"render", song.string(), "-o", Out("a.wav"), "--rate", "44100", "--tail", "1",
                                   "--param", "release=1000"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Norv Grand"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("voices:  1"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("dBFS"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("x real time"), std::string::npos) << r.output;
    const Audio a = ReadAudio(Out("a.wav"));
    EXPECT_EQ(a.rate, 44100);
    // The song ends at its note-off, half a second before its end of track.
    EXPECT_EQ(a.Frames(), 22050 + 44100);
    EXPECT_GT(a.Peak(), 0.01f);
    EXPECT_LE(a.Peak(), 1.0f);
    // The note sounds from the start.
    float early = 0;
    for (float x : a.Left(0, 22050)) early = std::max(early, std::fabs(x));
    EXPECT_GT(early, 0.01f);
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"song.mid", "a.wav"}));

    // With the default limit the render stops once the note has died away,
    // at a block boundary after the song's end.
    r = RunNorvkeys({"render", song.string(), "-o", Out("b.wav"), "--rate", "44100", "--block", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const Audio b = ReadAudio(Out("b.wav"));
    EXPECT_GT(b.Frames(), 22050);
    EXPECT_LT(b.Frames(), 22050 + 30 * 44100);
    EXPECT_EQ((b.Frames() - 22050) % 100, 0);
    // The last block holds the voice's last samples; it has faded to nothing.
    float last = 0;
    for (float x : b.Left(b.Frames() - 100, 100)) last = std::max(last, std::fabs(x));
    EXPECT_LT(last, 1e-3f);
}

TEST_F(RenderCommand, FlacAndSampleFormats) {
    const fs::path song = WriteSong();
    const std::vector<std::string> base = {"render", song.string(), "--tail", "0.5"};
    auto run = [&](const std::string& out, const std::string& bits) {
        std::vector<std::string> args = base;
        args.insert(args.end(), {"-o", Out(out), "--bits", bits});
        return RunNorvkeys(args);
    };
    ASSERT_EQ(run("f.wav", "32f").exitCode, 0);
    ASSERT_EQ(run("i.flac", "24").exitCode, 0);
    ASSERT_EQ(run("s.FLAC", "16").exitCode, 0);
    const Audio f = ReadAudio(Out("f.wav")), i = ReadAudio(Out("i.flac")), s = ReadAudio(Out("s.FLAC"));
    EXPECT_EQ(f.rate, 48000);
    EXPECT_EQ(f.Frames(), 48000);
    ASSERT_EQ(i.samples.size(), f.samples.size());
    ASSERT_EQ(s.samples.size(), f.samples.size());
    double worst24 = 0, worst16 = 0;
    for (size_t k = 0; k < f.samples.size(); ++k) {
        worst24 = std::max(worst24, std::fabs(double(i.samples[k]) - f.samples[k]));
        worst16 = std::max(worst16, std::fabs(double(s.samples[k]) - f.samples[k]));
    }
    EXPECT_LT(worst24, 1.5 / 8388608.0);
    EXPECT_LT(worst16, 1.5 / 32768.0);

    // FLAC has no float samples; unknown types and bit depths are refused. Nothing is left behind.
    const std::set<std::string> before = FilesIn(dir.path());
    CommandResult r = run("x.flac", "32f");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("FLAC holds 16- or 24-bit"), std::string::npos) << r.output;
    r = run("x.mp3", "16");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("x.mp3"), std::string::npos) << r.output;
    r = run("x.wav", "20");
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("--bits"), std::string::npos) << r.output;
    EXPECT_EQ(FilesIn(dir.path()), before);
}

TEST_F(RenderCommand, MalformedMidiLeavesNothingBehind) {
    const fs::path song = WriteSong();
    std::string bytes;
    {
        std::ifstream in(song, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The track chunk claims more bytes than the file holds.
    bytes[18] = 0x7F;
    const fs::path bad = dir.Write("bad.mid", bytes);
    CommandResult r = RunNorvkeys({"render", bad.string(), "-o", Out("bad.wav")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find(bad.string() + ": offset "), std::string::npos) << r.output;
    r = RunNorvkeys({"render", Out("missing.mid"), "-o", Out("bad.wav")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("missing.mid"), std::string::npos) << r.output;
    // The output folder does not exist.
    r = RunNorvkeys({"render", song.string(), "-o", Out("no/such/folder/x.wav")});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("x.wav"), std::string::npos) << r.output;
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"song.mid", "bad.mid"}));
}

TEST_F(RenderCommand, SavedStateRendersTheSame) {
    const fs::path song = WriteSong();
    const std::string state = Out("tuned.state");
    CommandResult r = RunNorvkeys({"render", song.string(), "-o", Out("a.wav"), "--bits", "32f", "--tail", "0.5",
                                   "--param", "tune=300", "--param", "调谐=300", "--param", "7=1500",
                                   "--param", "LFO 速率=20000", "--save-state", state});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_TRUE(fs::exists(state));
    EXPECT_EQ(fs::file_size(state), 65u + std::strlen("Norv Grand"));
    r = RunNorvkeys({"render", song.string(), "-o", Out("b.wav"), "--bits", "32f", "--tail", "0.5", "--state", state});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    r = RunNorvkeys({"render", song.string(), "-o", Out("c.wav"), "--bits", "32f", "--tail", "0.5"});
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const Audio a = ReadAudio(Out("a.wav")), b = ReadAudio(Out("b.wav")), c = ReadAudio(Out("c.wav"));
    ASSERT_EQ(a.samples.size(), b.samples.size());
    EXPECT_EQ(std::memcmp(a.samples.data(), b.samples.data(), a.samples.size() * sizeof(float)), 0);
    ASSERT_EQ(a.samples.size(), c.samples.size());
    EXPECT_NE(std::memcmp(a.samples.data(), c.samples.data(), a.samples.size() * sizeof(float)), 0);

    // A file that is no saved state is refused, naming it.
    const fs::path junk = dir.Write("junk.state", std::string("\x01\x00\x00\x00\x09Norv", 9));
    r = RunNorvkeys({"render", song.string(), "-o", Out("d.wav"), "--state", junk.string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find(junk.string() + ": not a saved state"), std::string::npos) << r.output;
    const fs::path newer = dir.Write("newer.state", std::string("\x02\x00\x00\x00\x00", 5) + std::string(60, '\0'));
    r = RunNorvkeys({"render", song.string(), "-o", Out("d.wav"), "--state", newer.string()});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("version 2"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(Out("d.wav")));
}

TEST_F(RenderCommand, SetsAndParametersAreChecked) {
    const fs::path song = WriteSong();
    auto render = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {"render", song.string(), "-o", Out("x.wav"), "--tail", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunNorvkeys(args);
    };
    for (const char* set : {"0", "norv grand", "NORV GRAND", "Grand (Norv)"}) {
        CommandResult r = render({"--set", set});
        EXPECT_EQ(r.exitCode, 0) << set << ": " << r.output;
        EXPECT_NE(r.output.find("set:     Norv Grand"), std::string::npos) << r.output;
    }
    fs::remove(Out("x.wav"));

    CommandResult r = render({"--set", "Harpsichord"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("no such set"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("0  Norv Grand"), std::string::npos) << r.output;
    r = render({"--set", "7"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("no such set"), std::string::npos) << r.output;

    r = render({"--param", "loudness=3"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("no such parameter"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("overdrive"), std::string::npos) << r.output;
    r = render({"--param", "tune=1001"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("--param tune=1001: tune (调谐) takes -1000 to 1000"), std::string::npos) << r.output;
    r = render({"--param", "15=0"});
    EXPECT_NE(r.exitCode, 0);
    r = render({"--param", "tune=1.5"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("whole number"), std::string::npos) << r.output;
    r = render({"--param", "tune"});
    EXPECT_NE(r.exitCode, 0);
    r = RunNorvkeys({"render", song.string(), "-o", Out("x.wav"), "--tail=-1"});
    EXPECT_NE(r.exitCode, 0);
    EXPECT_NE(r.output.find("--tail"), std::string::npos) << r.output;
    EXPECT_EQ(FilesIn(dir.path()), (std::set<std::string>{"song.mid"}));
}

// A bundle of our own: the built plug-in, the default set, and two more
// definitions over the same samples, one with a preset.
TEST_F(RenderCommand, SetsAreChosenThroughTheSavedState) {
    const fs::path song = WriteSong();
    const fs::path bundle = dir.path() / "bundle";
    const fs::path tables = bundle / "WavTables";
    fs::create_directories(tables);
    fs::create_symlink(NORV_PLUGIN_PATH, bundle / "NorvKeys.so");
    const fs::path builtTables = BundleFolder() / "WavTables";
    fs::create_directory_symlink(builtTables / "NorvGrand", tables / "NorvGrand");
    fs::copy_file(builtTables / "default.wti", tables / "default.wti");
    std::string grand;
    {
        std::ifstream in(builtTables / "NorvGrand.wti", std::ios::binary);
        grand.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    fs::copy_file(builtTables / "NorvGrand.wti", tables / "NorvGrand.wti");
    auto renamed = [&grand](const std::string& name) {
        std::string text = grand;
        const size_t at = text.find("name=Norv Grand");
        return text.replace(at, std::strlen("name=Norv Grand"), "name=" + name);
    };
    // Tune at three quarters (+500), muffle at a quarter (250); 1.5 is no preset value.
    dir.Write("bundle/WavTables/Upright.wti", WithPreset(renamed("Upright"), {{8, "0.75"}, {4, "0.25"}, {0, "1.5"}}));
    dir.Write("bundle/WavTables/Zither.wti", renamed("UPRIGHT"));
    const std::string plugin = (bundle / "NorvKeys.so").string();

    auto savedState = [&](std::vector<std::string> extra) {
        std::vector<std::string> args = {"--plugin", plugin, "render", song.string(), "-o", Out("x.wav"),
                                         "--tail", "0", "--save-state", Out("s.state")};
        args.insert(args.end(), extra.begin(), extra.end());
        CommandResult r = RunNorvkeys(args);
        EXPECT_EQ(r.exitCode, 0) << r.output;
        std::ifstream in(Out("s.state"), std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::vector<uint8_t> plain = savedState({});
    ASSERT_EQ(plain.size(), 75u);
    EXPECT_EQ(std::string(plain.begin() + 5, plain.begin() + 15), "Norv Grand");
    auto value = [](const std::vector<uint8_t>& state, size_t name, int index) {
        const size_t at = 5 + name + 4 * static_cast<size_t>(index);
        return static_cast<int32_t>(state[at] | state[at + 1] << 8 | state[at + 2] << 16 | uint32_t(state[at + 3]) << 24);
    };

    // Upright's preset (Norv Grand's, with tune and muffle set and decay's
    // 1.5 no value), and every other parameter at its default, as the
    // selector gives them: not what the first set's preset made of them.
    const TIniFile upright(tables / "Upright.wti");
    auto preset = [&](int i) -> std::optional<int32_t> {
        const double x = upright.ReadFloat("parameters", std::to_string(i), -1.0);
        if (x < 0 || x > 1) return std::nullopt;
        return ParamFromHostScale(i, static_cast<int32_t>(std::nearbyint(x * 65536)));
    };
    ASSERT_EQ(preset(8), 500);
    ASSERT_EQ(preset(4), 250);
    ASSERT_FALSE(preset(0));
    for (const char* choice : {"upright", "1"}) {
        SCOPED_TRACE(choice);
        const std::vector<uint8_t> chosen = savedState({"--set", choice});
        ASSERT_EQ(chosen.size(), 72u);
        EXPECT_EQ(std::string(chosen.begin() + 5, chosen.begin() + 12), "Upright");
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(value(chosen, 7, i), preset(i).value_or(kParams[static_cast<size_t>(i)].Initial)) << "parameter " << i;
    }
    // After a state, the others keep the state's values.
    dir.Write("tuned.state", std::string(plain.begin(), plain.end()));
    const std::vector<uint8_t> kept = savedState({"--state", Out("tuned.state"), "--set", "Upright"});
    for (int i = 0; i < 15; ++i) EXPECT_EQ(value(kept, 7, i), preset(i).value_or(value(plain, 10, i))) << i;
    // Parameters given on the command line come after the set's preset.
    EXPECT_EQ(value(savedState({"--set", "Upright", "--param", "tune=-20"}), 7, 8), -20);

    // The third set has the second one's name in other letters: a state
    // naming it finds the second, so it is played from a bundle of its own.
    // A state saved from it says what it would restore.
    for (const char* choice : {"2", "zither.WTI"}) {
        SCOPED_TRACE(choice);
        CommandResult r = RunNorvkeys({"--plugin", plugin, "render", song.string(), "-o", Out("z.wav"), "--tail", "0",
                                       "--set", choice, "--save-state", Out("z.state")});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("set:     UPRIGHT\n"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("z.state: this state names set \"UPRIGHT\"; restoring it loads \"Upright\""),
                  std::string::npos)
            << r.output;
        std::ifstream in(Out("z.state"), std::ios::binary);
        const std::vector<uint8_t> zither((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(zither.size(), 72u);
        EXPECT_EQ(std::string(zither.begin() + 5, zither.begin() + 12), "UPRIGHT");
        // Its preset, Norv Grand's, has no tuning: the tuning stays as it was.
        EXPECT_EQ(value(zither, 7, 8), value(plain, 10, 8));
    }

    // A definition without a name is listed, and chosen, under its file's
    // base name; the instance plays it under none, so its state names none.
    std::string bare = grand;
    bare.erase(bare.find("name=Norv Grand\n"), std::strlen("name=Norv Grand\n"));
    dir.Write("bundle/WavTables/bare.wti", bare);
    for (const char* choice : {"3", "bare", "BARE", "bare.wti"}) {
        SCOPED_TRACE(choice);
        CommandResult r = RunNorvkeys({"--plugin", plugin, "render", song.string(), "-o", Out("b.wav"), "--tail", "0",
                                       "--set", choice, "--save-state", Out("b.state")});
        ASSERT_EQ(r.exitCode, 0) << r.output;
        EXPECT_NE(r.output.find("set:     bare\n"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("voices:  1 "), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("set \"bare\" has no name of its own"), std::string::npos) << r.output;
        EXPECT_EQ(fs::file_size(Out("b.state")), 65u);
    }
}

}  // namespace
}  // namespace norv::test
