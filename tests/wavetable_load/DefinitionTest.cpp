// What the loader takes from a definition's own keys: redirection, names,
// flags, layers, the parameter preset and the root and high keys.
#include <gtest/gtest.h>

#include <filesystem>

#include "wavetable_load/LoadFixture.h"

namespace norv::test {
namespace {

using DefinitionTest = LoadFixture;

// One-entry set around a.wav with extra [info] lines.
std::string OneEntrySet(const std::string& infoLines, const std::string& more = "") {
    return "[info]\nsamples=1\n" + infoLines + "\n[sample0]\nname=a.wav\n" + more;
}

TEST_F(DefinitionTest, EmptyFileNameLoadsTheRedirectedSetAndRedirectsOnlyOnce) {
    Wave("a.wav", {1, 2, 3, 4});
    Text("default.wti", "[default]\nfile=c.wti\n");
    Text("c.wti", "[default]\nfile=d.wti\n" + OneEntrySet("name=Set C"));
    Text("d.wti", OneEntrySet("name=Set D"));

    auto t = Load("");
    ASSERT_TRUE(t->Loaded);
    EXPECT_EQ(t->Name, "Set C");  // c.wti's own redirection is not followed

    // Loaded directly, every definition honours its [default] section.
    t = Load("c.wti");
    ASSERT_TRUE(t->Loaded);
    EXPECT_EQ(t->Name, "Set D");
    t = Load(Folder() + "d.wti");
    ASSERT_TRUE(t->Loaded);
    EXPECT_EQ(t->Name, "Set D");
}

TEST_F(DefinitionTest, NamesFallBackAsTheLoaderReadsThem) {
    Wave("a.wav", {1, 2, 3, 4});
    Text("none.wti", OneEntrySet(""));
    Text("short.wti", OneEntrySet("shortname=Short"));
    Text("name.wti", OneEntrySet("name=Long Name\nauthor=Someone"));

    auto t = Load("none.wti");
    ASSERT_TRUE(t->Loaded);
    EXPECT_EQ(t->Name, "");
    EXPECT_EQ(t->ShortName, "");
    EXPECT_EQ(t->Author, "");

    t = Load("short.wti");
    EXPECT_EQ(t->Name, "");
    EXPECT_EQ(t->ShortName, "Short");

    t = Load("name.wti");
    EXPECT_EQ(t->Name, "Long Name");
    EXPECT_EQ(t->ShortName, "Long Name");
    EXPECT_EQ(t->Author, "Someone");
}

TEST_F(DefinitionTest, InfoFlagsAndNumbers) {
    Wave("a.wav", {1, 2, 3, 4});
    Text("defaults.wti", OneEntrySet(""));
    auto t = Load("defaults.wti");
    ASSERT_TRUE(t->Loaded);
    EXPECT_EQ(t->SampleRate, 44100.0f);
    EXPECT_EQ(t->VelocityFactor, 1.0f);
    EXPECT_FALSE(t->ReleaseHighNotes);
    EXPECT_FALSE(t->IsStandard);

    Text("words.wti", OneEntrySet("releasehighnotes=true\nisstandard=2\nvelocityfactor=1,5\nsamplerate=22050"));
    t = Load("words.wti");
    ASSERT_TRUE(t->Loaded);
    EXPECT_FALSE(t->ReleaseHighNotes);
    EXPECT_FALSE(t->IsStandard);
    EXPECT_EQ(t->VelocityFactor, 1.0f);
    EXPECT_EQ(t->SampleRate, 22050.0f);

    Text("numbers.wti", OneEntrySet("releasehighnotes=2\nisstandard=0x1\nvelocityfactor=1.5\nsamplerate=4.8e4"));
    t = Load("numbers.wti");
    ASSERT_TRUE(t->Loaded);
    EXPECT_TRUE(t->ReleaseHighNotes);
    EXPECT_TRUE(t->IsStandard);
    EXPECT_EQ(t->VelocityFactor, 1.5f);
    EXPECT_EQ(t->SampleRate, 48000.0f);

    // A factor no float can hold is held where the voices stay finite.
    for (auto [text, factor] : {std::pair{"1e39", 1000.0f}, {"-1e300", -1000.0f}, {"999.5", 999.5f}}) {
        Text("loud.wti", OneEntrySet(std::string("velocityfactor=") + text));
        t = Load("loud.wti");
        ASSERT_TRUE(t->Loaded);
        EXPECT_EQ(t->VelocityFactor, factor) << text;
    }
}

TEST_F(DefinitionTest, LayerCountKeepsItsLowEightBits) {
    Wave("a.wav", {1, 2, 3, 4});
    struct Case {
        std::string layers;
        std::vector<int32_t> limits;
    };
    const Case cases[] = {
        {"", {0}},
        {"[velocitylayers]\ncount=0\n", {0}},
        {"[velocitylayers]\ncount=256\n1=5\n", {0}},
        {"[velocitylayers]\ncount=257\n1=5\n", {0}},
        {"[velocitylayers]\ncount=258\n0=50\n1=64\n", {0, 64}},
        {"[velocitylayers]\ncount=3\n0=50\n1=$40\n", {0, 64, 128}},
        {"[velocitylayers]\ncount=2\n1=abc\n", {0, 128}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layers);
        Text("layers.wti", OneEntrySet("", c.layers));
        auto t = Load("layers.wti");
        ASSERT_TRUE(t->Loaded);
        EXPECT_EQ(t->LayerCount, c.limits.size());
        EXPECT_EQ(t->VelocityLimits, c.limits);
    }
}

TEST_F(DefinitionTest, ParametersAreKeptAsRead) {
    Wave("a.wav", {1, 2, 3, 4});
    // Values outside 0..1 are the instance's business (it applies the
    // parameter's default); the table keeps them.
    Text("params.wti", OneEntrySet("", "[parameters]\n0=1.0\n1=1.01\n2=-0.01\n3=0.5\n5=half\n14=0\n15=0.75\n"));
    auto t = Load("params.wti");
    ASSERT_TRUE(t->Loaded);
    ASSERT_EQ(t->Parameters.size(), 15u);
    EXPECT_EQ(t->Parameters[0], 1.0f);
    EXPECT_EQ(t->Parameters[1], 1.01f);
    EXPECT_EQ(t->Parameters[2], -0.01f);
    EXPECT_EQ(t->Parameters[3], 0.5f);
    EXPECT_EQ(t->Parameters[4], -1.0f);
    EXPECT_EQ(t->Parameters[5], -1.0f);
    for (int i = 6; i < 14; ++i) EXPECT_EQ(t->Parameters[static_cast<size_t>(i)], -1.0f) << i;
    EXPECT_EQ(t->Parameters[14], 0.0f);
}

TEST_F(DefinitionTest, RootAndHighFollowThePreviousEntry) {
    Wave("a.wav", {1, 2, 3, 4});
    Text("keys.wti",
         "[info]\nsamples=7\n"
         "[sample0]\nname=a.wav\nhigh=-1\n"    // root absent: 60; high -1: 999
         "[sample1]\nroot=-1\nhigh=-1\n"       // both from entry 0
         "[sample2]\nroot=200\nhigh=1500\n"    // clamped
         "[sample3]\nroot=-1\n"                // previous root before the clamp; high absent: 0
         "[sample4]\nroot=-5\nhigh=-2\n"       // only -1 means "previous"
         "[sample5]\nroot=-1\nhigh=-1\n"       // -5 and -2, then clamped
         "[sample6]\nroot=x\nhigh=40\n");      // not a number: -1, the previous root
    auto t = Load("keys.wti");
    ASSERT_TRUE(t->Loaded);
    ExpectPlayable(*t);
    const int32_t roots[] = {60, 60, 127, 127, 0, 0, 0};
    const int32_t highs[] = {999, 999, 999, 0, 0, 0, 40};
    ASSERT_EQ(t->Samples.size(), 7u);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(t->Samples[i].Root, roots[i]) << i;
        EXPECT_EQ(t->Samples[i].High, highs[i]) << i;
    }
}

TEST_F(DefinitionTest, RejectedWithoutMessage) {
    Wave("a.wav", {1, 2, 3, 4});
    for (const char* samples : {"samples=0", "samples=-1", "samples=many", ""}) {
        SCOPED_TRACE(samples);
        Text("empty.wti", std::string("[info]\nname=Empty\n") + samples + "\n[sample0]\nname=a.wav\n");
        auto t = Load("empty.wti");
        EXPECT_FALSE(t->Loaded);
        EXPECT_TRUE(events.empty());
        EXPECT_EQ(t->SampleDataSize, 0);
    }
    // A redirection to a file that is not there reads as an empty definition.
    Text("lost.wti", "[default]\nfile=gone.wti\n[info]\nsamples=1\n[sample0]\nname=a.wav\n");
    auto t = Load("lost.wti");
    EXPECT_FALSE(t->Loaded);
    EXPECT_TRUE(events.empty());
}

TEST_F(DefinitionTest, MissingDefinitionIsAnError) {
    std::filesystem::create_directories(dir.path() / "x.wti");
    for (const char* name : {"x.wti", "nothere.wti"}) {
        SCOPED_TRACE(name);
        auto t = Load(name);
        EXPECT_FALSE(t->Loaded);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].rfind("error ", 0), 0u);
        EXPECT_NE(events[0].find(name), std::string::npos);
        EXPECT_TRUE(t->Samples.empty());
        EXPECT_EQ(t->SampleData, nullptr);
        EXPECT_EQ(t->SampleRate, 22050.0f);  // never got as far as reading the definition
    }
    // Nor is there a default set to fall back on.
    auto t = Load("");
    EXPECT_FALSE(t->Loaded);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("default.wti"), std::string::npos);
}

TEST_F(DefinitionTest, NamesInAnotherLetterCaseThanOnDisk) {
    Wave("Samples/Inner/PIANO.wav", {5, 6, 7});
    Text("Set.WTI", "[info]\nname=Cased\nsamples=2\npath=samples\\INNER\n[sample0]\nname=Piano.WAV\n"
                    "[sample1]\nname=piano.wav\n");
    Text("default.WTI", "[default]\nfile=SET.wti\n");
    for (const char* file : {"set.wti", ""}) {
        SCOPED_TRACE(file);
        auto t = Load(file);
        ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
        EXPECT_EQ(t->Name, "Cased");
        EXPECT_EQ(t->FileSize, SizeOf("Samples/Inner/PIANO.wav"));  // once: entry 1 repeats entry 0
        ASSERT_EQ(t->Samples.size(), 2u);
        EXPECT_EQ(t->Samples[0].FileName, "piano.wav");
        EXPECT_TRUE(t->Samples[0].OwnsData);
        EXPECT_FALSE(t->Samples[1].OwnsData);
        EXPECT_EQ(FrameTotal(*t), 4);
        EXPECT_EQ(FrameAt(*t, 2), 7);
    }
}

}  // namespace
}  // namespace norv::test
