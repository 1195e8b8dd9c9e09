// The library of installed sets: order, labels and sizes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

class LibraryTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().string() + "/"; }
    void Text(const std::string& relative, const std::string& text) const { dir.Write(relative, text); }
    void Bytes(const std::string& relative, size_t count) const { dir.Write(relative, std::string(count, '\0')); }
    std::vector<TLibraryEntry> Scan() const { return ScanLibrary(TPianoWaveTable(Folder(), 15)); }

    TempDir dir;
};

std::vector<std::string> Labels(const std::vector<TLibraryEntry>& entries) {
    std::vector<std::string> labels;
    for (const TLibraryEntry& e : entries) labels.push_back(e.Label);
    return labels;
}

TEST_F(LibraryTest, TheRedirectedSetComesFirstAndTheRedirectionIsNotListed) {
    Text("default.wti", "[default]\nfile=b.wti\n");
    Text("a.wti", "[info]\nname=Set A\n");
    Text("b.wti", "[info]\nname=Set B\n");
    auto entries = Scan();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].Name, "Set B");
    EXPECT_EQ(entries[0].File, Folder() + "b.wti");
    EXPECT_EQ(entries[1].Name, "Set A");
    EXPECT_EQ(entries[1].File, Folder() + "a.wti");

    // Any letter case, on both sides of the redirection.
    fs::remove(dir.path() / "default.wti");
    Text("Default.Wti", "[default]\nfile=B.WTI\n");
    Text("C.WTI", "[info]\nname=Set C\n");
    entries = Scan();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Name, "Set B");
    EXPECT_EQ(entries[1].Name + entries[2].Name, "Set CSet A");  // byte order: "C.WTI" < "a.wti"

    // A redirection to a missing file changes nothing.
    fs::remove(dir.path() / "Default.Wti");
    Text("DEFAULT.WTI", "[default]\nfile=gone.wti\n");
    entries = Scan();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Name, "Set C");
}

TEST_F(LibraryTest, LabelsShowTheShortNameAndTheSampleSize) {
    struct Case {
        const char* file;
        size_t bytes;
        const char* label;
    };
    const Case cases[] = {{"s1023.raw", 1023, "a (1023 bytes)"}, {"s1024.raw", 1024, "b (1 KB)"},
                          {"s1536.raw", 1536, "c (1 KB)"},       {"s1048575.raw", 1048575, "d (1023 KB)"},
                          {"s1048576.raw", 1048576, "e (1 MB)"}};
    for (const Case& c : cases) {
        Bytes(std::string("samples/") + c.file, c.bytes);
        const std::string base(1, c.label[0]);
        Text(base + ".wti", std::string("[info]\nname=Named ") + base + "\npath=samples\nfiletype=raw\nsamples=1\n"
                                "[sample0]\nname=" + c.file + "\n");
    }
    auto entries = Scan();
    EXPECT_EQ(Labels(entries), (std::vector<std::string>{"a (1023 bytes)", "b (1 KB)", "c (1 KB)", "d (1023 KB)",
                                                         "e (1 MB)"}));
    // The name is kept apart from the label's short name.
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0].Name, "Named a");
    EXPECT_EQ(FormatSize(0), "0 bytes");
    EXPECT_EQ(FormatSize(2047), "1 KB");
    EXPECT_EQ(FormatSize(5 * 1048576 + 1048575), "5 MB");
}

TEST_F(LibraryTest, SizeCountsEveryFileOnce) {
    Bytes("piano.wav", 500);
    Bytes("Other/forte.wav", 300);
    Bytes("one.raw", 700);
    // Two spellings of one file, a folder in a backslash path, a missing file.
    Text("case.wti", "[info]\nshortname=Case\nsamples=4\n[sample0]\nname=Piano.wav\n[sample1]\nname=piano.WAV\n"
                     "[sample2]\nname=other\\FORTE.wav\n[sample3]\nname=gone.wav\n");
    // One sample file: the entries' names do not count.
    Text("single.wti", "[info]\nshortname=Single\nsamples=2\nsamplefile=one.raw\n[sample0]\nname=piano.wav\n");
    // No entries: nothing counts.
    Text("zero.wti", "[info]\nshortname=Zero\nsamples=0\n[sample0]\nname=piano.wav\n");
    auto entries = Scan();
    EXPECT_EQ(Labels(entries), (std::vector<std::string>{"Case (800 bytes)", "Single (700 bytes)", "Zero (0 bytes)"}));
}

TEST_F(LibraryTest, StandardSets) {
    Bytes("x.raw", 5000);
    const std::string samples = "samples=1\n[sample0]\nname=x.raw\n";
    Text("one.wti", "[info]\nshortname=One\nisstandard=1\n" + samples);
    Text("two.wti", "[info]\nshortname=Two\nisstandard=2\n" + samples);
    Text("hex.wti", "[info]\nshortname=Hex\nisstandard=0x1\n" + samples);
    Text("word.wti", "[info]\nshortname=Word\nisstandard=yes\n" + samples);
    EXPECT_EQ(Labels(Scan()), (std::vector<std::string>{"Hex (Norv)", "One (Norv)", "Two (4 KB)", "Word (4 KB)"}));
}

TEST_F(LibraryTest, EntriesThatCannotBeReadAreStillListed) {
    fs::create_directories(dir.path() / "folder.wti");
    fs::create_symlink(dir.path() / "nowhere.wti", dir.path() / "broken.wti");
    Text("empty.wti", "");
    Text("notes.txt", "[info]\nname=Not a set\n");
    Text("x.wti.bak", "[info]\nname=Not a set\n");
    Text("Upper.WTI", "[info]\nname=Upper\n");
    Text("locked.wti", "[info]\nname=Locked\nshortname=Locked\n");
    const bool canLock = geteuid() != 0;  // root reads any file
    if (canLock) fs::permissions(dir.path() / "locked.wti", fs::perms::none);
    auto entries = Scan();
    if (canLock) fs::permissions(dir.path() / "locked.wti", fs::perms::owner_all);

    std::vector<std::string> names, files;
    for (const TLibraryEntry& e : entries) {
        names.push_back(e.Name);
        files.push_back(e.File.substr(Folder().size()));
    }
    EXPECT_EQ(files, (std::vector<std::string>{"Upper.WTI", "broken.wti", "empty.wti", "folder.wti", "locked.wti"}));
    EXPECT_EQ(names, (std::vector<std::string>{"Upper", "broken", "empty", "folder", canLock ? "locked" : "Locked"}));
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[1].Label, "broken (0 bytes)");
    EXPECT_EQ(entries[3].Label, "folder (0 bytes)");
    if (canLock) {
        EXPECT_EQ(entries[4].Label, "locked (0 bytes)");
    }
}

TEST_F(LibraryTest, MissingFolderGivesAnEmptyLibrary) {
    EXPECT_TRUE(ScanLibrary(TPianoWaveTable(Folder() + "none/", 15)).empty());
    EXPECT_TRUE(Scan().empty());
}

TEST_F(LibraryTest, TheUserLibraryFollowsTheBundlesAndNeverShadowsIt) {
    Text("bundle/default.wti", "[default]\nfile=z.wti\n");
    Text("bundle/z.wti", "[info]\nname=Zed\n");
    Text("bundle/a.wti", "[info]\nname=Grand\n");
    Text("user/default.wti", "[default]\nfile=m.wti\n");  // says nothing in the user library
    Text("user/m.wti", "[info]\nname=Mine\n");
    Text("user/b.wti", "[info]\nname=GRAND\n");  // the bundle's Grand plays
    Text("user/c.wti", "[info]\nname=Upright\n");
    const TPianoWaveTable bundle(Folder() + "bundle/", 15);
    auto names = [&] {
        std::string all;
        for (const TLibraryEntry& e : ScanLibrary(bundle)) all += e.Name + ";";
        return all;
    };
    {
        ScopedEnv user("NORVKEYS_USER_SETS", (Folder() + "user").c_str());
        EXPECT_EQ(UserLibraryFolder(), Folder() + "user/");
        EXPECT_EQ(names(), "Zed;Grand;Upright;Mine;");
        EXPECT_EQ(ScanLibrary(bundle).back().File, Folder() + "user/m.wti");
    }
    {
        ScopedEnv off("NORVKEYS_USER_SETS", "");
        EXPECT_EQ(UserLibraryFolder(), "");
        EXPECT_EQ(names(), "Zed;Grand;");
    }
    ScopedEnv unset("NORVKEYS_USER_SETS", nullptr);
    {
        ScopedEnv data("XDG_DATA_HOME", (Folder() + "data").c_str());
        EXPECT_EQ(UserLibraryFolder(), Folder() + "data/norvkeys/WavTables/");
        EXPECT_EQ(names(), "Zed;Grand;");  // no such folder: nothing more
    }
    ScopedEnv relative("XDG_DATA_HOME", "data");  // not absolute: not used
    ScopedEnv home("HOME", "/home/pianist");
    EXPECT_EQ(UserLibraryFolder(), "/home/pianist/.local/share/norvkeys/WavTables/");
}

}  // namespace
}  // namespace norv::test
