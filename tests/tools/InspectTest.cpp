// norvkeys inspect on sets written here, against record fields worked out by
// hand from the definition and the sample files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"
#include "support/WaveWriter.h"
#include "tools/MiniJson.h"
#include "tools/ToolRunner.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

class InspectTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(ToolPath())) GTEST_FAIL() << ToolPath() << " is missing: build the norvkeys target first";
    }

    ToolResult Run(const std::vector<std::string>& args) { return RunTool(args, scratch); }
    std::string Path(const std::string& relative) const { return (sets.path() / relative).string(); }

    // Parses an inspect --json run that must have succeeded.
    JsonValue InspectJson(const std::vector<std::string>& args) {
        ToolResult r = Run(args);
        EXPECT_EQ(r.Exit, 0) << r.Err;
        return ParseJson(r.Out);
    }

    TempDir sets;
    TempDir scratch;
};

struct Record {
    int Root, High, StartFrame, EndFrame, LoopLength;
    bool OwnsData;
    int DataOffset, FrameCount, StartOffset;
    std::string FileName;
};

void ExpectRecords(const JsonValue& samples, const std::vector<Record>& expected) {
    ASSERT_EQ(samples.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("record " + std::to_string(i));
        const JsonValue& s = samples[i];
        const Record& e = expected[i];
        EXPECT_EQ(s.size(), 10u);
        EXPECT_EQ(s["Root"].Int(), e.Root);
        EXPECT_EQ(s["High"].Int(), e.High);
        EXPECT_EQ(s["StartFrame"].Int(), e.StartFrame);
        EXPECT_EQ(s["EndFrame"].Int(), e.EndFrame);
        EXPECT_EQ(s["LoopLength"].Int(), e.LoopLength);
        EXPECT_EQ(s["OwnsData"].Bool(), e.OwnsData);
        EXPECT_EQ(s["DataOffset"].Int(), e.DataOffset);
        EXPECT_EQ(s["FrameCount"].Int(), e.FrameCount);
        EXPECT_EQ(s["StartOffset"].Int(), e.StartOffset);
        EXPECT_EQ(s["FileName"].Text(), e.FileName);
    }
}

std::string Le16Frames(const std::vector<int16_t>& values) { return Pcm16(values); }

std::string ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Two WAVE files, an entry without a file and a repeat, with every [info] key.
void WritePerFileSet(const TempDir& dir) {
    WaveWriter()
        .Format(WaveFormat::Pcm(1, 44100, 16))
        .Data(Pcm16({1000, 2000, 3000, 4000, 5000, 6000}))
        .Sampler(SamplerInfo().Loop(2, 5))
        .Write(dir.path() / "grand" / "a.wav");
    WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data(Pcm16({-1000, -2000, -3000, -4000})).Write(
        dir.path() / "grand" / "b.wav");
    dir.Write("grand.wti",
              "[info]\nname=Test Set\nshortname=TS\nauthor=Me\npath=grand\nsamples=4\nsamplerate=22050\n"
              "velocityfactor=0.75\nreleasehighnotes=1\nisstandard=1\n"
              "[velocitylayers]\ncount=2\n0=10\n1=90\n"
              "[parameters]\n0=0.5\n2=0.25\n14=1\n"
              "[sample0]\nname=a.wav\nroot=48\nhigh=59\n"
              "[sample1]\nname=b.wav\nroot=50\nhigh=-1\n"
              "[sample2]\nroot=72\nhigh=999\npos=1\nend=2\nloop=1\n"
              "[sample3]\nname=A.WAV\nroot=-1\nhigh=-1\n");
}

// The data of that set: a's 6 frames, then its guard frame, which continues
// a's loop (2..5) at frame 2; b's 4 frames and its guard, b's frame 0 (b
// has no loop, so it loops whole).
const std::vector<int16_t> kPerFileData = {1000, 2000, 3000, 4000, 5000, 6000, 3000,
                                           -1000, -2000, -3000, -4000, -1000};

TEST_F(InspectTest, PerFileSetAsTheInstrumentLoadsIt) {
    WritePerFileSet(sets);
    const JsonValue j = InspectJson({"inspect", Path("grand.wti"), "--json"});
    EXPECT_EQ(j["Name"].Text(), "Test Set");
    EXPECT_EQ(j["ShortName"].Text(), "TS");
    EXPECT_EQ(j["Author"].Text(), "Me");
    EXPECT_EQ(j["LayerCount"].Int(), 2);
    EXPECT_FALSE(j["Stereo"].Bool());
    EXPECT_EQ(j["SampleRate"].Number(), 22050.0);
    EXPECT_EQ(j["VelocityFactor"].Number(), 0.75);
    EXPECT_TRUE(j["ReleaseHighNotes"].Bool());
    EXPECT_EQ(j["FileSize"].Int(),
              static_cast<long long>(fs::file_size(sets.path() / "grand/a.wav") + fs::file_size(sets.path() / "grand/b.wav")));
    EXPECT_TRUE(j["IsStandard"].Bool());
    EXPECT_TRUE(j["Loaded"].Bool());
    ASSERT_EQ(j["VelocityLimits"].size(), 2u);
    EXPECT_EQ(j["VelocityLimits"][0].Int(), 0);
    EXPECT_EQ(j["VelocityLimits"][1].Int(), 90);
    ASSERT_EQ(j["Parameters"].size(), 15u);
    for (size_t i = 0; i < 15; ++i) {
        const double expected = i == 0 ? 0.5 : i == 2 ? 0.25 : i == 14 ? 1.0 : -1.0;
        EXPECT_EQ(j["Parameters"][i].Number(), expected) << i;
    }
    ExpectRecords(j["Samples"], {
                                    {48, 59, 0, 5, 4, true, 0, 6, 0, "a.wav"},
                                    {50, 59, 7, 10, 4, true, 7, 4, 0, "b.wav"},
                                    // relative to b (frame 7): frames 8..9
                                    {72, 999, 8, 9, 1, false, 8, 2, 1, ""},
                                    // a repeat of entry 0 with the previous root and high
                                    {72, 999, 0, 5, 4, false, 0, 6, 0, "a.wav"},
                                });
    EXPECT_EQ(j["SampleDataSize"].Int(), 24);
    EXPECT_EQ(j["SampleDataCrc32"].Int(), Crc32(Le16Frames(kPerFileData)));
}

TEST_F(InspectTest, DumpDataWritesExactlyTheSampleData) {
    WritePerFileSet(sets);
    TempDir out;
    const fs::path dump = out.path() / "data.bin";
    std::ofstream(dump) << "old content";
    const JsonValue j = InspectJson({"inspect", Path("grand.wti"), "--json", "--dump-data", dump.string()});
    const std::string bytes = ReadBytes(dump);
    EXPECT_EQ(bytes, Le16Frames(kPerFileData));
    EXPECT_EQ(static_cast<long long>(bytes.size()), j["SampleDataSize"].Int());
    EXPECT_EQ(j["SampleDataCrc32"].Int(), Crc32(bytes));
    // Nothing but the dump is left in its folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1);
}

TEST_F(InspectTest, StereoSingleFileSetAtTheHostRate) {
    std::vector<int16_t> values;
    for (int i = 0; i < 10; ++i) {
        values.push_back(static_cast<int16_t>(100 * i));
        values.push_back(static_cast<int16_t>(-100 * i - 1));
    }
    WaveWriter().Format(WaveFormat::Pcm(2, 48000, 16)).Data(Pcm16(values)).Write(sets.path() / "all.wav");
    sets.Write("single.wti",
               "[info]\nsamples=2\nsamplefile=all.wav\n"
               "[sample0]\nname=X.wav\nroot=60\nhigh=64\npos=0\nend=3\nloop=2\n"
               "[sample1]\nroot=67\nhigh=999\npos=4\nend=9\nloop=6\n");
    // At 48 kHz the file is not converted.
    const JsonValue j = InspectJson({"inspect", Path("single.wti"), "--rate", "48000", "--json"});
    EXPECT_TRUE(j["Stereo"].Bool());
    EXPECT_EQ(j["Name"].Text(), "");
    EXPECT_EQ(j["SampleRate"].Number(), 44100.0);  // the definition's (default) rate, not the file's
    EXPECT_EQ(j["LayerCount"].Int(), 1);
    EXPECT_EQ(j["FileSize"].Int(), static_cast<long long>(fs::file_size(sets.path() / "all.wav")));
    // Each block moved behind the one before and its guard frame.
    ExpectRecords(j["Samples"], {
                                    {60, 64, 0, 3, 2, true, 0, 4, 0, "x.wav"},
                                    {67, 999, 5, 10, 6, true, 5, 6, 4, ""},
                                });
    EXPECT_EQ(j["SampleDataSize"].Int(), 10 * 4 + 2 * 4);
    // Guards: frame 4 repeats frame 2 (loop 2 of 0..3); frame 11 repeats
    // frame 5 (loop 6 of 5..10), the file's frame 4.
    const int source[] = {0, 1, 2, 3, 2, 4, 5, 6, 7, 8, 9, 4};
    std::vector<int16_t> expected;
    for (int f : source) {
        expected.push_back(static_cast<int16_t>(100 * f));
        expected.push_back(static_cast<int16_t>(-100 * f - 1));
    }
    EXPECT_EQ(j["SampleDataCrc32"].Int(), Crc32(Le16Frames(expected)));

    // At the default 44.1 kHz it is: round(10 x 44100 / 48000) = 9 frames.
    const JsonValue k = InspectJson({"inspect", Path("single.wti"), "--json"});
    EXPECT_EQ(k["SampleDataSize"].Int(), 9 * 4 + 2 * 4);
}

TEST_F(InspectTest, TextOutputAndAFolderForItsDefaultSet) {
    WritePerFileSet(sets);
    sets.Write("default.wti", "[default]\nfile=grand.wti\n");
    const ToolResult r = Run({"inspect", sets.path().string()});
    ASSERT_EQ(r.Exit, 0) << r.Err;
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", Crc32(Le16Frames(kPerFileData)));
    for (const std::string field : {"Name              Test Set\n", "LayerCount        2\n",
                                    "VelocityLimits    0 90\n", "SampleDataSize    24 (24 bytes)\n"})
        EXPECT_NE(r.Out.find(field), std::string::npos) << field << "\n" << r.Out;
    EXPECT_NE(r.Out.find(std::string("SampleDataCrc32   ") + crc), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("b.wav"), std::string::npos);
}

TEST_F(InspectTest, SetsThatDoNotLoadAreErrorsNamingTheFile) {
    WaveWriter().Format(WaveFormat::Pcm(1, 44100, 16)).Data(Pcm16({1, 2, 3})).Write(sets.path() / "a.wav");
    sets.Write("nosamples.wti", "[info]\nname=Nothing\n");
    sets.Write("missing.wti", "[info]\nsamples=2\n[sample0]\nname=a.wav\n[sample1]\nname=lost.wav\n");
    sets.Write("rawgone.wti", "[info]\nsamples=1\nfiletype=raw\n[sample0]\nname=gone.raw\n");
    sets.Write("redirected.wti", "[default]\nfile=elsewhere.wti\n[info]\nsamples=1\n[sample0]\nname=a.wav\n");
    sets.Write("badtype.wti", "[info]\nsamples=1\nsamplefile=a.wav\nfiletype=wav\n[sample0]\nend=1\n");
    TempDir out;
    const std::string dump = (out.path() / "dump.bin").string();
    struct Case {
        std::string set;
        std::string mentions;
    };
    const Case cases[] = {{Path("none.wti"), "none.wti"},       {Path("nosamples.wti"), "sample entries"},
                          {Path("missing.wti"), "lost.wav"},    {Path("rawgone.wti"), "gone.raw"},
                          {Path("badtype.wti"), "filetype"},    {sets.path().string(), "default.wti"},
                          {Path("redirected.wti"), "elsewhere.wti"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        const ToolResult r = Run({"inspect", c.set, "--json", "--dump-data", dump});
        EXPECT_NE(r.Exit, 0);
        EXPECT_TRUE(r.Out.empty()) << r.Out;
        EXPECT_NE(r.Err.find(c.set), std::string::npos) << r.Err;
        EXPECT_NE(r.Err.find(c.mentions), std::string::npos) << r.Err;
    }
    EXPECT_TRUE(fs::is_empty(out.path()));
}

TEST_F(InspectTest, OptionErrors) {
    WritePerFileSet(sets);
    ToolResult r = Run({"inspect", Path("grand.wti"), "--dump-data", Path("no/such/folder/dump.bin")});
    EXPECT_NE(r.Exit, 0);
    EXPECT_NE(r.Err.find("dump.bin"), std::string::npos) << r.Err;
    EXPECT_FALSE(fs::exists(sets.path() / "no"));

    r = Run({"inspect", Path("grand.wti"), "--rate", "0"});
    EXPECT_NE(r.Exit, 0);
    r = Run({"inspect"});
    EXPECT_NE(r.Exit, 0);

    r = Run({"inspect", "--help"});
    EXPECT_EQ(r.Exit, 0);
    for (const char* option : {"--rate", "--json", "--dump-data"}) EXPECT_NE(r.Out.find(option), std::string::npos);
}

}  // namespace
}  // namespace norv::test
