// norvkeys dense-song, the piece for timing renders at high polyphony.
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

#include "host/MidiFile.h"
#include "support/TempDir.h"
#include "tools/ToolRunner.h"

namespace norv::test {
namespace {

TEST(DenseSong, ChordsOfEightEveryTenthOfASecondUnderThePedal) {
    TempDir scratch;
    const std::string file = (scratch.path() / "dense.mid").string();
    ToolResult r = RunTool({"dense-song", file, "--seconds", "1.5"}, scratch);
    ASSERT_EQ(r.Exit, 0) << r.Err;
    const host::MidiSong song = host::ReadMidiFile(file);
    ASSERT_FALSE(song.events.empty());
    // The pedal goes down first and up after the last chord; the last
    // chord's keys are held a second.
    std::vector<std::pair<double, int>> pedal;
    std::set<double> chordTimes;
    int notes = 0;
    for (const host::MidiEvent& e : song.events) {
        if (e.type == host::MidiType::ControlChange && e.data1 == 64) pedal.emplace_back(e.seconds, e.data2);
        if (e.type != host::MidiType::NoteOn) continue;
        ++notes;
        chordTimes.insert(e.seconds);
        EXPECT_GE(e.data1, 30);
        EXPECT_LE(e.data1, 99);
        EXPECT_GE(e.data2, 40);
    }
    EXPECT_EQ(notes, 15 * 8);
    ASSERT_EQ(chordTimes.size(), 15u);
    EXPECT_DOUBLE_EQ(*chordTimes.rbegin(), 1.4);
    EXPECT_EQ(pedal, (std::vector<std::pair<double, int>>{{0.0, 127}, {1.5, 0}}));
    EXPECT_DOUBLE_EQ(song.events.back().seconds, 2.4);

    // A helper for measurement: not in the command list.
    r = RunTool({"--help"}, scratch);
    EXPECT_EQ(r.Out.find("dense-song"), std::string::npos) << r.Out;
    r = RunTool({"dense-song", file, "--seconds", "0"}, scratch);
    EXPECT_NE(r.Exit, 0);
}

}  // namespace
}  // namespace norv::test
