// Sets whose entries name their own sample files: positions, repeats, guard
// frames, rate conversion and the failure paths.
#include <gtest/gtest.h>

#include <filesystem>

#include "wavetable_load/LoadFixture.h"

namespace norv::test {
namespace {

using PerFileTest = LoadFixture;

TEST_F(PerFileTest, FileNamedThreeTimesIsDecodedOnce) {
    Wave("p.wav", {100, 200, 300, 400, 500, 600}, 1, 44100, std::pair{2u, 4u});
    Text("rep.wti",
         "[info]\nsamples=3\n"
         "[sample0]\nname=p.wav\nroot=50\nhigh=60\npos=1\n"
         "[sample1]\nname=P.WAV\nroot=-1\nhigh=70\npos=3\nend=4\nloop=1\n"  // positions ignored
         "[sample2]\nname=other\\p.wav\nroot=40\n");                         // same file-name part
    auto t = Load("rep.wti");
    ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
    ExpectPlayable(*t);
    ASSERT_EQ(t->Samples.size(), 3u);
    // No end key: the file's loop end; no loop key: the file's loop length.
    ExpectRecord(t->Samples[0], {50, 60, 1, 4, 3, true, 0, 5, 1, "p.wav"}, 0);
    ExpectRecord(t->Samples[1], {50, 70, 1, 4, 3, false, 0, 5, 1, "p.wav"}, 1);
    ExpectRecord(t->Samples[2], {40, 0, 1, 4, 3, false, 0, 5, 1, "p.wav"}, 2);
    EXPECT_EQ(t->FileSize, SizeOf("p.wav"));
    EXPECT_EQ(t->SampleDataSize, 7 * 2);  // one block and its guard frame
    // The frame after EndFrame continues the loop: frame 4 + 1 - 3.
    const int16_t expected[] = {100, 200, 300, 400, 500, 300};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(FrameAt(*t, i), expected[i]) << i;
    EXPECT_EQ(events, (std::vector<std::string>{"progress 0/2", "progress 1/2", "progress 2/2"}));
    EXPECT_EQ(pumps, 4);  // once before the entries, then after each
}

TEST_F(PerFileTest, UnnamedEntriesUseTheMostRecentNamedFile) {
    Wave("a.wav", {10, 20, 30, 40, 50});                                     // no loop
    Wave("b.wav", {-100, -200, -300, -400}, 1, 44100, std::pair{1u, 2u});  // loop 1..2
    Text("un.wti",
         "[info]\nsamples=4\n"
         "[sample0]\nname=a.wav\nroot=60\nhigh=64\n"
         "[sample1]\nname=b.wav\nroot=67\nhigh=70\n"
         "[sample2]\nroot=72\nhigh=999\npos=1\n"
         "[sample3]\npos=1\nend=2\nloop=5\n");
    auto t = Load("un.wti");
    ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
    ExpectPlayable(*t);
    ASSERT_EQ(t->Samples.size(), 4u);
    // A WAVE without loop: EndFrame its last frame, LoopLength its frame count.
    ExpectRecord(t->Samples[0], {60, 64, 0, 4, 5, true, 0, 5, 0, "a.wav"}, 0);
    // b's block starts after a's block and guard frame.
    ExpectRecord(t->Samples[1], {67, 70, 6, 8, 2, true, 6, 3, 0, "b.wav"}, 1);
    // Relative to b, with b's loop end and loop length as defaults.
    ExpectRecord(t->Samples[2], {72, 999, 7, 8, 2, false, 7, 2, 1, ""}, 2);
    // Same start as the entry before: shares its data. The loop is cut to
    // the room after StartFrame: 11 frames - 7.
    ExpectRecord(t->Samples[3], {72, 0, 7, 8, 4, false, 7, 2, 1, ""}, 3);
    EXPECT_EQ(t->SampleDataSize, 11 * 2);
    EXPECT_EQ(t->FileSize, SizeOf("a.wav") + SizeOf("b.wav"));
    // Guard frames: a's after frame 4 is frame 0; b's EndFrame 8 is followed
    // by the loop start (frame 7), over b's own last frame.
    const int16_t expected[] = {10, 20, 30, 40, 50, 10, -100, -200, -300, -200};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(FrameAt(*t, i), expected[i]) << i;
}

TEST_F(PerFileTest, StereoGuardFrameCopiesBothChannels) {
    Wave("s.wav", {1, -1, 2, -2, 3, -3, 4, -4}, 2);
    Text("st.wti", "[info]\nsamples=1\n[sample0]\nname=s.wav\n");
    auto t = Load("st.wti");
    ASSERT_TRUE(t->Loaded);
    ExpectPlayable(*t);
    EXPECT_TRUE(t->Stereo);
    EXPECT_EQ(t->SampleDataSize, 5 * 4);
    ExpectRecord(t->Samples[0], {60, 0, 0, 3, 4, true, 0, 4, 0, "s.wav"}, 0);
    EXPECT_EQ(FrameAt(*t, 4, 0), 1);
    EXPECT_EQ(FrameAt(*t, 4, 1), -1);
}

TEST_F(PerFileTest, RawPositionsIndexTheWholeData) {
    Raw("a.raw", {1, 2, 3, 4});
    Raw("b.raw", {5, 6, 7});
    Text("raw.wti",
         "[info]\nsamples=4\nfiletype=RAW\nresample=true\n"
         "[sample0]\nname=a.raw\nend=3\n"
         "[sample1]\nname=b.raw\npos=6\nend=7\nloop=2\n"  // b starts at 5: after a's 4 frames and a guard frame
         "[sample2]\npos=6\nend=7\n"                      // same start as entry 1: shares its block
         "[sample3]\nname=A.RAW\npos=2\n");                // a repeat of entry 0
    auto t = Load("raw.wti");
    ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
    ExpectPlayable(*t);
    EXPECT_FALSE(t->Stereo);
    ExpectRecord(t->Samples[0], {60, 0, 0, 3, 0, true, 0, 4, 0, "a.raw"}, 0);
    ExpectRecord(t->Samples[1], {60, 0, 6, 7, 2, true, 5, 3, 0, "b.raw"}, 1);
    ExpectRecord(t->Samples[2], {60, 0, 6, 7, 0, false, 5, 2, 0, ""}, 2);
    ExpectRecord(t->Samples[3], {60, 0, 0, 3, 0, false, 0, 4, 0, "a.raw"}, 3);
    EXPECT_EQ(t->SampleDataSize, 9 * 2);
    EXPECT_EQ(t->FileSize, 14);
    const int frames[] = {0, 1, 2, 3, 5, 6, 7};
    const int16_t values[] = {1, 2, 3, 4, 5, 6, 7};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(FrameAt(*t, frames[i]), values[i]) << frames[i];
}

TEST_F(PerFileTest, OtherFileTypesReadWaveWithRawPositions) {
    Wave("a.wav", {10, 20, 30, 40, 50}, 1, 44100, std::pair{1u, 3u});
    for (const char* type : {"wav", "RIFF "}) {  // "RIFF " keeps its blank inside quotes
        SCOPED_TRACE(type);
        Text("other.wti", std::string("[info]\nsamples=2\nfiletype=\"") + type +
                              "\"\n[sample0]\nname=a.wav\npos=1\nend=3\n[sample1]\npos=2\n");
        auto t = Load("other.wti");
        ASSERT_TRUE(t->Loaded);
        ExpectPlayable(*t);
        // No base, no default end or loop from the file, no guard copy.
        ExpectRecord(t->Samples[0], {60, 0, 1, 3, 0, true, 0, 4, 0, "a.wav"}, 0);
        ExpectRecord(t->Samples[1], {60, 0, 2, 2, 0, false, 2, -1, 0, ""}, 1);
        EXPECT_EQ(FrameAt(*t, 4), 50);
    }
    // In riff mode, letter case aside, the same definition reads positions
    // from the file.
    Text("riff.wti", "[info]\nsamples=1\nfiletype=RIFF\n[sample0]\nname=a.wav\npos=1\nend=0\n");
    auto t = Load("riff.wti");
    ASSERT_TRUE(t->Loaded);
    ExpectRecord(t->Samples[0], {60, 0, 1, 3, 3, true, 0, 4, 1, "a.wav"}, 0);
    EXPECT_EQ(FrameAt(*t, 4), 20);
}

TEST_F(PerFileTest, ResampleSwitchesConversionOfWaveFilesOnly) {
    std::vector<int16_t> ramp(441);
    for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 50);
    Wave("w.wav", ramp, 1, 44100, std::pair{100u, 199u});
    Raw("r.raw", ramp);
    struct Case {
        const char* line;
        bool converted;
    };
    const Case cases[] = {{"resample=True", true}, {"resample=TRUE", true}, {"resample=true", true},
                          {"", true},              {"resample=1", false},   {"resample=yes", false},
                          {"resample=false", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Text("rs.wti", std::string("[info]\nsamples=1\n") + c.line + "\n[sample0]\nname=w.wav\n");
        auto t = Load("rs.wti", 48000);
        ASSERT_TRUE(t->Loaded);
        ExpectPlayable(*t);
        EXPECT_EQ(t->SampleRate, 44100.0f);  // the definition's rate, converted or not
        if (c.converted) {
            // 441 x 48000 / 44100 frames; loop start 100 -> 109, end (199 + 1) -> 218, minus 1.
            EXPECT_EQ(t->SampleDataSize, (480 + 1) * 2);
            ExpectRecord(t->Samples[0], {60, 0, 0, 217, 109, true, 0, 218, 0, "w.wav"}, 0);
        } else {
            EXPECT_EQ(t->SampleDataSize, (441 + 1) * 2);
            ExpectRecord(t->Samples[0], {60, 0, 0, 199, 100, true, 0, 200, 0, "w.wav"}, 0);
        }
    }
    Text("raw.wti", "[info]\nsamples=1\nfiletype=raw\nresample=true\n[sample0]\nname=r.raw\nend=440\n");
    auto t = Load("raw.wti", 48000);
    ASSERT_TRUE(t->Loaded);
    EXPECT_EQ(t->SampleDataSize, (441 + 1) * 2);
}

TEST_F(PerFileTest, MissingSecondFileFailsAfterTheFirstReport) {
    Wave("a.wav", {1, 2, 3});
    Text("miss.wti",
         "[info]\nname=Half\nsamples=3\nsamplerate=22050\n"
         "[sample0]\nname=a.wav\nroot=50\nhigh=55\n"
         "[sample1]\nname=missing.wav\nroot=70\nhigh=80\n"
         "[sample2]\nname=a.wav\nroot=90\nhigh=999\n");
    auto t = Load("miss.wti");
    EXPECT_FALSE(t->Loaded);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "progress 0/2");
    EXPECT_EQ(events[1].rfind("error ", 0), 0u);
    EXPECT_NE(events[1].find("missing.wav"), std::string::npos) << events[1];
    // What was read stays in the rejected table, clamped.
    EXPECT_EQ(t->Name, "");
    EXPECT_EQ(t->SampleRate, 44100.0f);
    EXPECT_EQ(t->FileSize, SizeOf("a.wav"));
    EXPECT_EQ(t->SampleDataSize, 4 * 2);
    ASSERT_EQ(t->Samples.size(), 3u);
    ExpectRecord(t->Samples[0], {50, 55, 0, 2, 3, true, 0, 3, 0, "a.wav"}, 0);
    // The failing entry got no further than its start.
    ExpectRecord(t->Samples[1], {0, 0, 0, 0, 0, false, -1, 0, 0, ""}, 1);
    for (float p : t->Parameters) EXPECT_EQ(p, 0.0f);  // the preset is never read
}

TEST_F(PerFileTest, RecordsAfterAFailedEntryStayZeroed) {
    Wave("a.wav", {1, 2, 3});
    Text("miss.wti", "[info]\nsamples=3\n[sample0]\nname=a.wav\n[sample1]\nname=missing.wav\n"
                     "[sample2]\nname=a.wav\nroot=90\n");
    auto t = Load("miss.wti");
    EXPECT_FALSE(t->Loaded);
    ASSERT_EQ(t->Samples.size(), 3u);
    // Never reached: the record as created for the load, all zero.
    ExpectRecord(t->Samples[2], {0, 0, 0, 0, 0, false, 0, 0, 0, ""}, 2);
}

TEST_F(PerFileTest, UnreadableSampleFilesAreReportedErrors) {
    Raw("ok.raw", {1, 2});
    dir.Write("one_byte.raw", std::string(1, '\x7f'));
    Wave("ok.wav", {1, 2});
    dir.Write("junk.wav", "RIFF....WAVEjunk");
    std::filesystem::create_directories(dir.path() / "folder.raw");
    struct Case {
        const char* type;
        const char* file;
    };
    const Case cases[] = {{"raw", "none.raw"}, {"raw", "folder.raw"}, {"raw", "one_byte.raw"},
                          {"riff", "none.wav"}, {"riff", "junk.wav"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string first = std::string(c.type) == "raw" ? "ok.raw" : "ok.wav";
        Text("bad.wti", std::string("[info]\nsamples=2\nfiletype=") + c.type + "\n[sample0]\nname=" + first +
                            "\n[sample1]\nname=" + c.file + "\n");
        std::unique_ptr<TPianoWaveTable> t;
        EXPECT_NO_THROW(t = Load("bad.wti"));
        ASSERT_TRUE(t);
        EXPECT_FALSE(t->Loaded);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], "progress 0/1");
        EXPECT_NE(events[1].find(c.file), std::string::npos) << events[1];
    }
}

TEST_F(PerFileTest, OutOfRangePositionsAreClamped) {
    Wave("a.wav", {10, 20, 30, 40, 50});
    Text("clamp.wti",
         "[info]\nsamples=4\n"
         "[sample0]\nname=a.wav\npos=-3\nend=100\nloop=-2\n"
         "[sample1]\npos=1000\nend=5\n"
         "[sample2]\npos=3\nend=1\n"
         "[sample3]\npos=2\nloop=100\n");
    auto t = Load("clamp.wti");
    ASSERT_TRUE(t->Loaded);
    ExpectPlayable(*t);  // EndFrame may reach the guard frame; the frame after it stays readable
    ASSERT_EQ(FrameTotal(*t), 6);
    // FrameCount and DataOffset keep what was computed from the positions.
    ExpectRecord(t->Samples[0], {60, 0, 0, 5, 0, true, 0, 101, -3, "a.wav"}, 0);
    ExpectRecord(t->Samples[1], {60, 0, 5, 5, 1, false, 1000, -994, 1000, ""}, 1);
    ExpectRecord(t->Samples[2], {60, 0, 3, 3, 3, false, 3, -1, 3, ""}, 2);
    ExpectRecord(t->Samples[3], {60, 0, 2, 4, 4, false, 2, 3, 2, ""}, 3);
    // No guard copy from outside the data: a's frames are untouched.
    const int16_t expected[] = {10, 20, 30, 40, 50};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(FrameAt(*t, i), expected[i]) << i;
}

TEST_F(PerFileTest, MixedChannelCountsAreRejected) {
    Wave("m.wav", {1, 2, 3});
    Wave("s.wav", {1, -1, 2, -2}, 2);
    Text("mix.wti", "[info]\nsamples=2\n[sample0]\nname=m.wav\n[sample1]\nname=s.wav\n");
    auto t = Load("mix.wti");
    EXPECT_FALSE(t->Loaded);
    ASSERT_FALSE(events.empty());
    EXPECT_NE(events.back().find("s.wav"), std::string::npos);
}

TEST_F(PerFileTest, SetWithoutAnySampleDataIsRejected) {
    Text("none.wti", "[info]\nsamples=2\n[sample0]\nroot=60\n[sample1]\nroot=72\n");
    auto t = Load("none.wti");
    EXPECT_FALSE(t->Loaded);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().rfind("error ", 0), 0u);
}

}  // namespace
}  // namespace norv::test
