// Sets whose sample data is one file: positions inside it and the compaction
// that gives every block its guard frame.
#include <gtest/gtest.h>

#include "wavetable_load/LoadFixture.h"

namespace norv::test {
namespace {

using SingleFileTest = LoadFixture;

TEST_F(SingleFileTest, StereoWaveIsCompactedWithAGuardFramePerBlock) {
    std::vector<int16_t> values;
    for (int i = 0; i < 10; ++i) {
        values.push_back(static_cast<int16_t>(10 * i + 1));
        values.push_back(static_cast<int16_t>(-(10 * i + 1)));
    }
    Wave("all.wav", values, 2);
    Text("single.wti",
         "[info]\nsamples=4\nsamplefile=all.wav\n"
         "[sample0]\nname=Part\\A.wav\npos=0\nend=3\nloop=2\n"
         "[sample1]\npos=4\nend=6\n"
         "[sample2]\npos=4\nend=5\n"  // same start as entry 1: shares its block
         "[sample3]\npos=8\n");       // no end: the file's last frame (it has no loop)
    auto t = Load("single.wti");
    ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
    ExpectPlayable(*t);
    EXPECT_TRUE(t->Stereo);
    EXPECT_EQ(t->FileSize, SizeOf("all.wav"));
    // 4 bytes per frame of the file, plus 4 per record.
    EXPECT_EQ(t->SampleDataSize, 10 * 4 + 4 * 4);
    ASSERT_EQ(t->Samples.size(), 4u);
    ExpectRecord(t->Samples[0], {60, 0, 0, 3, 2, true, 0, 4, 0, "a.wav"}, 0);
    ExpectRecord(t->Samples[1], {60, 0, 5, 7, 0, true, 5, 3, 4, ""}, 1);
    ExpectRecord(t->Samples[2], {60, 0, 5, 6, 0, false, 5, 2, 4, ""}, 2);
    ExpectRecord(t->Samples[3], {60, 0, 9, 10, 0, true, 9, 2, 8, ""}, 3);
    // Moved blocks; entry 0's guard frame (4) continues its loop at frame 2.
    const int from[] = {0, 1, 2, 3, 2, 4, 5, 6, -1, 8, 9};
    for (int i = 0; i < 11; ++i) {
        if (from[i] < 0) continue;
        EXPECT_EQ(FrameAt(*t, i, 0), 10 * from[i] + 1) << i;
        EXPECT_EQ(FrameAt(*t, i, 1), -(10 * from[i] + 1)) << i;
    }
}

TEST_F(SingleFileTest, RawFile) {
    std::vector<int16_t> values;
    for (int i = 0; i < 20; ++i) values.push_back(static_cast<int16_t>(3 * i));
    Raw("Data/ALL.RAW", values);
    Text("raw.wti",
         "[info]\nsamples=2\npath=data\nsamplefile=all.raw\nfiletype=raw\n"
         "[sample0]\npos=2\nend=5\nloop=3\n"
         "[sample1]\npos=10\nend=19\n");
    auto t = Load("raw.wti");
    ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
    ExpectPlayable(*t);
    EXPECT_FALSE(t->Stereo);
    EXPECT_EQ(t->FileSize, 40);
    EXPECT_EQ(t->SampleDataSize, (20 + 2) * 2);
    ExpectRecord(t->Samples[0], {60, 0, 0, 3, 3, true, 0, 4, 0, ""}, 0);
    ExpectRecord(t->Samples[1], {60, 0, 5, 14, 0, true, 5, 10, 0, ""}, 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(FrameAt(*t, i), 3 * (2 + i)) << i;
    EXPECT_EQ(FrameAt(*t, 4), 3 * 3);  // guard: frame 3 + 1 - 3 of the block, file frame 3
    for (int i = 0; i < 10; ++i) EXPECT_EQ(FrameAt(*t, 5 + i), 3 * (10 + i)) << i;
}

TEST_F(SingleFileTest, RejectedWithoutMessage) {
    Wave("all.wav", {1, 2, 3, 4});
    Raw("empty.raw", {});
    // A file type other than riff or raw reads nothing; so does an empty or
    // unreadable WAVE file; an empty raw file has no values.
    const char* cases[] = {"samplefile=all.wav\nfiletype=wav", "samplefile=missing.wav",
                           "samplefile=empty.raw\nfiletype=raw"};
    for (const char* info : cases) {
        SCOPED_TRACE(info);
        Text("sf.wti", std::string("[info]\nsamples=1\n") + info + "\n[sample0]\nend=2\n");
        auto t = Load("sf.wti");
        EXPECT_FALSE(t->Loaded);
        EXPECT_TRUE(events.empty());
        EXPECT_EQ(t->SampleDataSize, 0);
        EXPECT_EQ(t->SampleData, nullptr);
    }
}

TEST_F(SingleFileTest, UnopenableRawFileIsAReportedError) {
    Text("sf.wti", "[info]\nsamples=1\nsamplefile=missing.raw\nfiletype=raw\n[sample0]\nend=2\n");
    std::unique_ptr<TPianoWaveTable> t;
    EXPECT_NO_THROW(t = Load("sf.wti"));
    ASSERT_TRUE(t);
    EXPECT_FALSE(t->Loaded);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("missing.raw"), std::string::npos) << events[0];
}

TEST_F(SingleFileTest, OverlappingBlocksAndPositionsPastTheData) {
    std::vector<int16_t> values;
    for (int i = 0; i < 10; ++i) values.push_back(static_cast<int16_t>(100 + i));
    Raw("all.raw", values);
    Text("wild.wti",
         "[info]\nsamples=7\nsamplefile=all.raw\nfiletype=raw\n"
         "[sample0]\npos=0\nend=7\nloop=3\n"
         "[sample1]\npos=3\nend=9\nloop=-4\n"
         "[sample2]\npos=8\nend=50\nloop=100\n"
         "[sample3]\npos=100\nend=120\n"
         "[sample4]\npos=-5\nend=2\n"
         "[sample5]\npos=5\nend=2\nloop=2000000000\n"
         "[sample6]\npos=2147483647\nend=-2147483648\n");
    auto t = Load("wild.wti");
    ASSERT_TRUE(t->Loaded) << (events.empty() ? "" : events.back());
    ExpectPlayable(*t);
    // Blocks that lie in the file keep their frames, even where they overlap.
    const int starts[] = {0, 3};
    const int counts[] = {8, 7};
    for (int k = 0; k < 2; ++k) {
        const TWaveTableSample& r = t->Samples[static_cast<size_t>(k)];
        EXPECT_TRUE(r.OwnsData);
        for (int i = 0; i < counts[k]; ++i) EXPECT_EQ(FrameAt(*t, r.DataOffset + i), 100 + starts[k] + i) << k << " " << i;
        EXPECT_EQ(r.StartFrame, r.DataOffset);
        EXPECT_EQ(r.EndFrame, r.DataOffset + counts[k] - 1);
    }
    // Entry 2 starts inside the file: what is there is kept.
    EXPECT_EQ(FrameAt(*t, t->Samples[2].DataOffset), 108);
    EXPECT_EQ(FrameAt(*t, t->Samples[2].DataOffset + 1), 109);
}

TEST_F(SingleFileTest, LastRecordEndingOnTheLastFrame) {
    Raw("all.raw", {1, 2, 3, 4});
    // Entry 1 shares entry 0's block and reaches beyond it: the clamp lets
    // it end on the very last frame.
    Text("end.wti", "[info]\nsamples=2\nsamplefile=all.raw\nfiletype=raw\n"
                    "[sample0]\npos=0\nend=3\n[sample1]\npos=0\nend=400\n");
    auto t = Load("end.wti");
    ASSERT_TRUE(t->Loaded);
    ExpectPlayable(*t);  // reads the frame after EndFrame
    EXPECT_EQ(t->SampleDataSize, (4 + 2) * 2);
    EXPECT_EQ(t->Samples[1].EndFrame, FrameTotal(*t) - 1);
}

}  // namespace
}  // namespace norv::test
