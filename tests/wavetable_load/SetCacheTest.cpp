// Sets held once per process: shared by tables at the same rate, freed with
// the last, never served after their files changed.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "wavetable/SetCache.h"
#include "wavetable_load/LoadFixture.h"

namespace norv::test {
namespace {

namespace fs = std::filesystem;

class SetCacheTest : public LoadFixture {
protected:
    // Files written just now are not shared (a second write could leave
    // their stamps as they are); the sets here are made to look older.
    void Settle() const {
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir.path()))
            fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));
    }
    void TwoFileSet() {
        Wave("a.wav", {1, 2, 3, 4, 5, 6, 7, 8}, 2, 44100, std::pair{1u, 3u});
        Wave("b.wav", {-1, -2, -3, -4}, 2);
        Text("set.wti", "[info]\nname=Cached\nsamples=2\n[sample0]\nname=a.wav\nhigh=60\n[sample1]\nname=b.wav\nhigh=127\n");
    }
};

TEST_F(SetCacheTest, TablesOfOneSetAndRateShareOneCopyFreedWithTheLast) {
    TwoFileSet();
    Settle();
    const size_t before = SetCache::HeldCount();
    auto first = Load("set.wti", 48000);
    ASSERT_TRUE(first->Loaded);
    EXPECT_EQ(SetCache::HeldCount(), before + 1);

    auto second = Load("set.wti", 48000);
    ASSERT_TRUE(second->Loaded);
    ExpectPlayable(*second);
    EXPECT_TRUE(second->SharesData());
    EXPECT_EQ(second->Frames(), first->Frames());
    EXPECT_EQ(events, (std::vector<std::string>{"progress 1/1"}));  // no entry decoded, the bar filled once
    EXPECT_EQ(second->Name, "Cached");
    EXPECT_EQ(second->SampleDataSize, first->SampleDataSize);
    EXPECT_EQ(second->FileSize, first->FileSize);
    ASSERT_EQ(second->Samples.size(), 2u);
    EXPECT_EQ(second->Samples[1].DataOffset, first->Samples[1].DataOffset);
    EXPECT_FLOAT_EQ(second->Samples[0].RateScale, first->Samples[0].RateScale);
    EXPECT_EQ(SetCache::HeldCount(), before + 1);

    // Another rate is another copy; before the host's rate is known, the
    // copy loaded last at any rate serves.
    auto other = Load("set.wti", 44100);
    EXPECT_NE(other->Frames(), first->Frames());
    EXPECT_EQ(SetCache::HeldCount(), before + 2);
    TPianoWaveTable provisional(Folder(), 15);
    ASSERT_TRUE(provisional.LoadFromFile(22050, "set.wti", {}, true));
    EXPECT_EQ(provisional.Frames(), other->Frames());

    first.reset();
    EXPECT_EQ(SetCache::HeldCount(), before + 2);  // the second table still plays it
    second.reset();
    EXPECT_EQ(SetCache::HeldCount(), before + 1);
    other.reset();
    EXPECT_EQ(SetCache::HeldCount(), before + 1);  // `provisional` holds the 44.1 kHz copy
}

TEST_F(SetCacheTest, ChangedOrFreshFilesAreReadAgain) {
    TwoFileSet();
    Settle();
    auto held = Load("set.wti", 44100);
    ASSERT_TRUE(held->Loaded);

    // The same size, and the old modification time put back: the change of
    // status still tells.
    const fs::file_time_type old = fs::last_write_time(dir.path() / "b.wav");
    Wave("b.wav", {-9, -9, -9, -9}, 2);
    fs::last_write_time(dir.path() / "b.wav", old);
    auto changed = Load("set.wti", 44100);
    ASSERT_TRUE(changed->Loaded);
    EXPECT_NE(changed->Frames(), held->Frames());
    EXPECT_EQ(FrameAt(*changed, changed->Samples[1].StartFrame), -9);
    EXPECT_EQ(FrameAt(*held, held->Samples[1].StartFrame), -1);  // what plays keeps playing

    // A definition written a moment ago is not trusted to stay as it is.
    Text("set.wti", "[info]\nname=Renamed\nsamples=2\n[sample0]\nname=a.wav\nhigh=60\n[sample1]\nname=b.wav\nhigh=127\n");
    auto fresh = Load("set.wti", 44100);
    auto again = Load("set.wti", 44100);
    EXPECT_EQ(fresh->Name, "Renamed");
    EXPECT_NE(again->Frames(), fresh->Frames());
    EXPECT_NE(fresh->Frames(), changed->Frames());

    // A file that went missing fails the load as ever.
    Settle();
    auto settled = Load("set.wti", 44100);
    fs::remove(dir.path() / "a.wav");
    auto missing = Load("set.wti", 44100);
    EXPECT_FALSE(missing->Loaded);
    EXPECT_TRUE(settled->Loaded);
}

}  // namespace
}  // namespace norv::test
