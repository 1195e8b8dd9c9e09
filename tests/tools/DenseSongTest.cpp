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
    std::vector<std::pair<double, int>> pedal;
    std::set<double> chords;
    for (const host::MidiEvent& e : host::ReadMidiFile(file).events) {
        if (e.type == host::MidiType::ControlChange && e.data1 == 64) pedal.emplace_back(e.seconds, e.data2);
        if (e.type == host::MidiType::NoteOn) chords.insert(e.seconds);
    }
    ASSERT_EQ(chords.size(), 15u);
    EXPECT_DOUBLE_EQ(*chords.rbegin(), 1.4);
    EXPECT_EQ(pedal, (std::vector<std::pair<double, int>>{{0.0, 127}, {1.5, 0}}));

    // A helper for measurement: not in the command list.
    r = RunTool({"--help"}, scratch);
    EXPECT_EQ(r.Out.find("dense-song"), std::string::npos) << r.Out;
}

}  // namespace
}  // namespace norv::test
