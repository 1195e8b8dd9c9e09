// The installed instrument: a staged `make install`, the Debian package of
// it, make uninstall, and the manual and completion against --help.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "tools/MiniJson.h"
#include "tools/ToolRunner.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

// Every file and link under `root`, as absolute paths with `root` taken off.
std::set<std::string> FilesUnder(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (!e.is_directory() || e.is_symlink()) files.insert("/" + fs::relative(e.path(), root).string());
    return files;
}

// The build installed under `stage` with prefix /usr; returns what it wrote,
// as the manifest lists it. A component of its own keeps the manifest of a
// real `make install` in the build folder untouched.
std::set<std::string> StageInstall(const fs::path& stage, const TempDir& scratch) {
    const ToolResult r = RunProgram({NORV_CMAKE, "--install", NORV_BUILD_DIR, "--prefix", "/usr", "--component",
                                     "Unspecified"},
                                    {"DESTDIR=" + stage.string(), "PATH=/usr/bin:/bin"}, scratch);
    EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
    const auto lines = Lines(Slurp(fs::path(NORV_BUILD_DIR) / "install_manifest_Unspecified.txt"));
    return {lines.begin(), lines.end()};
}

// A format 0 file: middle C, velocity 100, for half a second.
const std::string kOneNote{
    "MThd\0\0\0\x06\0\0\0\x01\x01\xE0"
    "MTrk\0\0\0\x0D"
    "\x00\x90\x3C\x64"
    "\x83\x60\x80\x3C\x40"
    "\x00\xFF\x2F\x00",
    35};

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scratch_ = new TempDir;
        stage_ = new fs::path(scratch_->path() / "stage");
        installed_ = new std::set<std::string>(StageInstall(*stage_, *scratch_));
    }
    static void TearDownTestSuite() {
        delete installed_;
        delete stage_;
        delete scratch_;
    }

    static TempDir* scratch_;
    static fs::path* stage_;
    static std::set<std::string>* installed_;
};
TempDir* InstallTest::scratch_ = nullptr;
fs::path* InstallTest::stage_ = nullptr;
std::set<std::string>* InstallTest::installed_ = nullptr;

// The staged program with a bare environment: no build tree, no
// $NORVKEYS_PLUGIN, a home of its own.
TEST_F(InstallTest, StagedInstallPlaysWithNoBuildTreeInReach) {
    ASSERT_EQ(FilesUnder(*stage_), *installed_);
    for (const char* file : {"/usr/bin/norvkeys", "/usr/lib/lv2/norv-keys.lv2/NorvKeys.so",
                             "/usr/lib/lv2/norv-keys.lv2/NorvKeysLv2.so", "/usr/lib/lv2/norv-keys.lv2/manifest.ttl",
                             "/usr/lib/lv2/norv-keys.lv2/presets.ttl", "/usr/lib/lv2/norv-keys.lv2/WavTables/default.wti",
                             "/usr/lib/lv2/norv-keys.lv2/WavTables/NorvGrand.wti",
                             "/usr/share/man/man1/norvkeys.1.gz", "/usr/share/bash-completion/completions/norvkeys",
                             "/usr/share/applications/norvkeys-play.desktop", "/usr/share/doc/norv-keys/copyright"})
        EXPECT_TRUE(installed_->count(file)) << file;
    for (const std::string& file : *installed_) EXPECT_EQ(file.find("/."), std::string::npos) << file;

    TempDir run;
    fs::create_directories(run.path() / "home");
    const fs::path lv2 = *stage_ / "usr/lib/lv2";
    const std::vector<std::string> env{"HOME=" + (run.path() / "home").string(), "PATH=/usr/bin:/bin",
                                       "LV2_PATH=" + lv2.string()};
    const std::string norvkeys = (*stage_ / "usr/bin/norvkeys").string();

    ToolResult r = RunProgram({norvkeys, "--version"}, env, run);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Out.find("plug-in: " + stage_->string()), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("(the install prefix)"), std::string::npos) << r.Out;

    r = RunProgram({norvkeys, "list", "--json"}, env, run);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const JsonValue sets = ParseJson(r.Out)["Sets"];
    ASSERT_GE(sets.size(), 1u);

    const fs::path song = run.Write("song.mid", kOneNote);
    const fs::path wav = run.path() / "song.wav";
    r = RunProgram({norvkeys, "render", song.string(), "-o", wav.string(), "--set", "Grand (Norv)", "--tail", "1"},
                   env, run);
    ASSERT_EQ(r.Exit, 0) << r.Out << r.Err;
    SF_INFO info{};
    SNDFILE* file = sf_open(wav.c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    float peak = 0;
    for (float s : samples) peak = std::max(peak, std::abs(s));
    EXPECT_GT(info.frames, info.samplerate);
    EXPECT_GT(peak, 0.01f);

    // LV2 hosts find the staged bundle, with a preset for every set it lists.
    r = RunProgram({"lv2ls"}, env, run);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(r.Out, "urn:norvkeys:norv-keys\n");
    r = RunProgram({"lv2info", "urn:norvkeys:norv-keys"}, env, run);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const std::string presets = r.Out.substr(r.Out.find("Presets:"));
    for (size_t i = 0; i < sets.size(); ++i)
        EXPECT_NE(presets.find(" " + sets[i]["Name"].Text() + "\n"), std::string::npos)
            << sets[i]["Name"].Text() << " has no preset:\n" << presets;
}

// make deb packs what make install stages, and lintian finds no error in it.
TEST_F(InstallTest, PackageHoldsTheStagedFiles) {
    TempDir out;
    ToolResult r = RunProgram({NORV_CPACK, "-G", "DEB", "--config", NORV_BUILD_DIR "/CPackConfig.cmake", "-B",
                               out.path().string()},
                              {"PATH=/usr/bin:/bin"}, out);
    ASSERT_EQ(r.Exit, 0) << r.Out << r.Err;
    std::vector<fs::path> debs;
    for (const auto& e : fs::directory_iterator(out.path()))
        if (e.path().extension() == ".deb") debs.push_back(e.path());
    ASSERT_EQ(debs.size(), 1u);
    EXPECT_TRUE(std::regex_match(debs[0].filename().string(), std::regex(R"(norv-keys_\d+\.\d+\.\d+\.\d+_amd64\.deb)")))
        << debs[0];

    r = RunProgram({"dpkg-deb", "-c", debs[0].string()}, {"PATH=/usr/bin:/bin"}, out);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    std::set<std::string> packed;
    // "-rw-r--r-- root/root 1234 2026-12-07 12:00 ./usr/bin/norvkeys", links with " -> target".
    const std::regex entry(R"(^[-l]\S+ \S+ +\d+ \S+ \S+ \.(/\S.*?)(?: -> .*)?$)");
    for (const std::string& line : Lines(r.Out)) {
        std::smatch m;
        if (std::regex_match(line, m, entry)) packed.insert(m[1]);
    }
    EXPECT_EQ(packed, *installed_);

    r = RunProgram({"dpkg-deb", "-f", debs[0].string(), "Package", "Depends", "Recommends", "Section"},
                   {"PATH=/usr/bin:/bin"}, out);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_NE(r.Out.find("Package: norv-keys\n"), std::string::npos) << r.Out;
    for (const char* dependency : {"libsndfile1", "libcairo2", "libjack"})
        EXPECT_NE(r.Out.find(dependency), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Recommends: musescore-general-soundfont-small"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("Section: sound"), std::string::npos) << r.Out;

    if (!fs::exists("/usr/bin/lintian")) GTEST_SKIP() << "lintian is not installed";
    r = RunProgram({"lintian", debs[0].string()}, {"PATH=/usr/bin:/bin", "HOME=" + out.path().string()}, out);
    EXPECT_EQ(r.Out.find("E: "), std::string::npos) << r.Out;
    EXPECT_EQ(r.Exit, 0) << r.Out << r.Err;
}

// make uninstall takes away what was installed and leaves what was not,
// even inside the instrument's own folders.
TEST_F(InstallTest, UninstallRemovesExactlyWhatWasInstalled) {
    TempDir scratch;
    const fs::path stage = scratch.path() / "stage";
    const std::set<std::string> installed = StageInstall(stage, scratch);
    const std::set<std::string> foreign{"/usr/bin/other", "/usr/lib/lv2/other.lv2/manifest.ttl",
                                        "/usr/lib/lv2/norv-keys.lv2/WavTables/Mine.wti"};
    for (const std::string& file : foreign) scratch.Write("stage" + file, "not ours");

    const ToolResult r = RunProgram({NORV_CMAKE, "-DMANIFEST=" NORV_BUILD_DIR "/install_manifest_Unspecified.txt", "-P",
                                     NORV_SOURCE_DIR "/packaging/Uninstall.cmake"},
                                    {"DESTDIR=" + stage.string(), "PATH=/usr/bin:/bin"}, scratch);
    ASSERT_EQ(r.Exit, 0) << r.Out << r.Err;
    EXPECT_EQ(FilesUnder(stage), foreign);
    EXPECT_FALSE(fs::exists(stage / "usr/share/doc/norv-keys"));
    EXPECT_FALSE(fs::exists(stage / "usr/lib/lv2/norv-keys.lv2/WavTables/NorvGrand"));
    EXPECT_TRUE(fs::exists(stage / "usr/share/man/man1")) << "a shared folder went";
}

// The options of every command's --help, as "--name".
std::vector<std::string> Options(const std::string& help) {
    std::vector<std::string> options;
    const std::regex option(R"(^\s+(?:-\w,)?(--[a-z][a-z-]*))");
    for (const std::string& line : Lines(help)) {
        std::smatch m;
        if (std::regex_search(line, m, option) && m[1] != "--help") options.push_back(m[1]);
    }
    return options;
}

// The manual describes every option of every command under that command's
// heading; the completion offers it; `help COMMAND` is `COMMAND --help`.
TEST(ManualTest, ManualAndCompletionNameEveryOption) {
    TempDir scratch;
    const std::string manual = Slurp(NORV_SOURCE_DIR "/packaging/norvkeys.1");
    // Quotes as blanks, so every word of a list stands between blanks.
    const std::string completion =
        std::regex_replace(Slurp(NORV_SOURCE_DIR "/packaging/norvkeys.bash-completion"), std::regex("\""), " ");
    ToolResult r = RunTool({"--help"}, scratch);
    ASSERT_EQ(r.Exit, 0);
    const std::string list = r.Out.substr(r.Out.find("Subcommands:"));
    std::vector<std::string> commands;
    const std::regex command(R"(^  ([a-z-]+)\s)");
    for (const std::string& line : Lines(list)) {
        std::smatch m;
        if (std::regex_search(line, m, command)) commands.push_back(m[1]);
    }
    ASSERT_GE(commands.size(), 8u) << list;
    const size_t words = completion.find("local commands=");
    ASSERT_NE(words, std::string::npos);
    const std::string commandWords = completion.substr(words + 15, completion.find('\n', words) - words - 15);

    for (const std::string& name : commands) {
        SCOPED_TRACE(name);
        const std::string roffName = std::regex_replace(name, std::regex("-"), "\\-");
        const size_t begin = manual.find(".SS " + roffName);
        const size_t begin2 = manual.find(".SS \"" + roffName);
        const size_t start = std::min(begin, begin2);
        ASSERT_NE(start, std::string::npos) << "no section for " << name;
        const std::string section = manual.substr(start, manual.find("\n.S", start + 1) - start);
        EXPECT_NE(commandWords.find(" " + name + " "), std::string::npos) << "not completed";

        const ToolResult own = RunTool({name, "--help"}, scratch);
        const ToolResult asked = RunTool({"help", name}, scratch);
        EXPECT_EQ(own.Exit, 0);
        EXPECT_EQ(asked.Out, own.Out);
        const std::string completed = completion.substr(completion.find("        " + name + ")"));
        const std::string options = completed.substr(0, completed.find(";;"));
        for (const std::string& option : Options(own.Out)) {
            EXPECT_NE(section.find(std::regex_replace(option, std::regex("-"), "\\-")), std::string::npos)
                << option << " is not in the manual's " << name;
            EXPECT_NE(options.find(" " + option + " "), std::string::npos)
                << option << " is not completed for " << name;
        }
    }

    // --param completes the parameters' short names, all of them.
    r = RunTool({"params", "--json"}, scratch);
    ASSERT_EQ(r.Exit, 0);
    const JsonValue params = ParseJson(r.Out);
    const size_t at = completion.find("--param)");
    const std::string paramLine = completion.substr(at, completion.find(";;", at) - at);
    for (size_t i = 0; i < params.size(); ++i)
        EXPECT_NE(paramLine.find(" " + params[i]["short_name"].Text() + " "), std::string::npos)
            << params[i]["short_name"].Text();
}

}  // namespace
}  // namespace norv::test
