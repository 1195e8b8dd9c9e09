// norvkeys list on library folders written here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"
#include "tools/MiniJson.h"
#include "tools/ToolRunner.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(ToolPath())) GTEST_FAIL() << ToolPath() << " is missing: build the norvkeys target first";
    }
    ToolResult Run(const std::vector<std::string>& args) { return RunTool(args, scratch); }

    TempDir scratch;
};

// A library: default.wti naming b.wti; a standard set; a set with 1536 bytes
// of samples; a set whose names are code page 936 bytes.
void WriteLibrary(const fs::path& folder) {
    fs::create_directories(folder);
    auto write = [&folder](const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    write("default.wti", "[default]\nfile=b.wti\n");
    write("a.wti", "[info]\nname=Alpha Set\nshortname=Alpha\nisstandard=1\nsamples=1\n[sample0]\nname=x.raw\n");
    write("b.wti", "[info]\nname=Beta Set\nsamples=2\nfiletype=raw\n[sample0]\nname=x.raw\n[sample1]\nname=X.RAW\n");
    // "钢琴" (piano) in code page 936.
    write("c.wti", "[info]\nname=\xB8\xD6\xC7\xD9\nshortname=\xB8\xD6\xC7\xD9\n");
    write("x.raw", std::string(1536, '\0'));
}

TEST_F(ListTest, JsonListsTheDefaultSetFirstWithUtf8Texts) {
    TempDir lib;
    WriteLibrary(lib.path());
    const ToolResult r = Run({"list", "--folder", lib.path().string(), "--json"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const JsonValue j = ParseJson(r.Out);
    const JsonValue& sets = j["Sets"];
    ASSERT_EQ(sets.size(), 3u);
    const std::string folder = lib.path().string() + "/";
    EXPECT_EQ(j["Folder"].Text(), folder);
    struct Row {
        const char* label;
        const char* name;
        const char* file;
    };
    const Row rows[] = {{"b (1 KB)", "Beta Set", "b.wti"},
                        {"Alpha (Norv)", "Alpha Set", "a.wti"},
                        {"\xE9\x92\xA2\xE7\x90\xB4 (0 bytes)", "\xE9\x92\xA2\xE7\x90\xB4", "c.wti"}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sets[i]["Index"].Int(), static_cast<long long>(i));
        EXPECT_EQ(sets[i]["Label"].Text(), rows[i].label);
        EXPECT_EQ(sets[i]["Name"].Text(), rows[i].name);
        EXPECT_EQ(sets[i]["File"].Text(), folder + rows[i].file);
    }
}

TEST_F(ListTest, TableAndTheBundleFolderAsDefault) {
    TempDir bundle;
    WriteLibrary(bundle.path() / "WavTables");
    // The plug-in itself is not needed to list its library.
    const ToolResult r = Run({"--plugin", (bundle.path() / "NorvKeys.so").string(), "list"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const size_t b = r.Out.find("b (1 KB)");
    const size_t a = r.Out.find("Alpha (Norv)");
    const size_t c = r.Out.find("\xE9\x92\xA2\xE7\x90\xB4 (0 bytes)");
    ASSERT_NE(b, std::string::npos) << r.Out;
    ASSERT_NE(a, std::string::npos) << r.Out;
    ASSERT_NE(c, std::string::npos) << r.Out;
    EXPECT_LT(b, a);
    EXPECT_LT(a, c);
    EXPECT_NE(r.Out.find((bundle.path() / "WavTables" / "a.wti").string()), std::string::npos) << r.Out;
    EXPECT_EQ(r.Out.find("default.wti"), std::string::npos) << r.Out;
}

TEST_F(ListTest, EmptyAndMissingFolders) {
    TempDir empty;
    ToolResult r = Run({"list", "--folder", empty.path().string(), "--json"});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    EXPECT_EQ(ParseJson(r.Out)["Sets"].size(), 0u);

    const std::string missing = (empty.path() / "nothing").string();
    r = Run({"list", "--folder", missing});
    EXPECT_NE(r.Exit, 0);
    EXPECT_NE(r.Err.find(missing), std::string::npos) << r.Err;

    r = Run({"list", "--help"});
    EXPECT_EQ(r.Exit, 0);
    EXPECT_NE(r.Out.find("--folder"), std::string::npos);
    EXPECT_NE(r.Out.find("--json"), std::string::npos);
}

}  // namespace
}  // namespace norv::test
