#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "host/MidiFile.h"
#include "tools/mkdemo/Composer.h"

namespace norv::demo {
namespace {

using host::MidiEvent;
using host::MidiSong;
using host::MidiType;

bool IsNoteOn(const MidiEvent& e) { return e.type == MidiType::NoteOn && e.data2 > 0; }
bool IsNoteOff(const MidiEvent& e) { return e.type == MidiType::NoteOff || (e.type == MidiType::NoteOn && e.data2 == 0); }
bool IsPedal(const MidiEvent& e) { return e.type == MidiType::ControlChange && e.data1 == kSustain; }

TEST(DemoSong, Notation) {
    EXPECT_EQ(KeyOf("C4"), 60);
    EXPECT_EQ(KeyOf("A0"), 21);
    EXPECT_EQ(KeyOf("Bb1"), 34);
    EXPECT_EQ(KeyOf("F#5"), 78);
    EXPECT_EQ(KeyOf("c-1"), 0);
    EXPECT_EQ(KeyOf("G9"), 127);
    for (const char* bad : {"", "H4", "C", "C#", "Cx4", "G#9", "Cb-1", "C100"})
        EXPECT_THROW(KeyOf(bad), std::invalid_argument) << bad;

    auto line = ParseLine("A4:1.5 r:.5  [F4 A4 C5]:2>");
    ASSERT_EQ(line.size(), 3u);
    EXPECT_EQ(line[0].keys, std::vector<int>{69});
    EXPECT_EQ(line[0].beats, 1.5);
    EXPECT_TRUE(line[1].keys.empty());
    EXPECT_EQ(line[1].beats, 0.5);
    EXPECT_EQ(line[2].keys, (std::vector<int>{65, 69, 72}));
    EXPECT_TRUE(line[2].accent);
    EXPECT_FALSE(line[0].accent);
    for (const char* bad : {"A4", "A4:0", "A4:-1", "A4:x", "[A4 H4]:1"})
        EXPECT_THROW(ParseLine(bad), std::invalid_argument) << bad;
}

TEST(DemoSong, IsAPlayablePianoPiece) {
    std::vector<uint8_t> bytes = ComposeDemo().Bytes();
    EXPECT_EQ(bytes, ComposeDemo().Bytes());  // deterministic
    MidiSong song = host::ParseMidi(bytes, "demo.mid");

    EXPECT_GE(song.endSeconds, 30.0);
    EXPECT_LE(song.endSeconds, 90.0);
    EXPECT_GT(song.tempos.size(), 4u);  // the ritardando
    EXPECT_LT(song.tempos.front().microsPerQuarter, song.tempos.back().microsPerQuarter);

    std::set<int> velocities;
    std::map<int, int> held;  // key -> notes sounding
    bool pedalDown = false;
    int downs = 0, ups = 0;
    double lastUp = -1.0;
    for (const MidiEvent& e : song.events) {
        EXPECT_EQ(e.channel, 0);
        if (IsNoteOn(e)) {
            EXPECT_GE(e.data1, 28);
            EXPECT_LE(e.data1, 100);
            EXPECT_EQ(held[e.data1], 0) << "key " << int(e.data1) << " struck again while held, at " << e.seconds;
            ++held[e.data1];
            velocities.insert(e.data2);
        } else if (IsNoteOff(e)) {
            EXPECT_EQ(held[e.data1], 1) << "note-off without its note, key " << int(e.data1);
            held[e.data1] = 0;
        } else if (IsPedal(e)) {
            bool down = e.data2 >= 64;
            EXPECT_NE(down, pedalDown) << "pedal pressed or lifted twice at " << e.seconds;
            pedalDown = down;
            if (down) {
                ++downs;
                // Legato pedalling: caught again within a fifth of a second of lifting.
                if (lastUp >= 0) {
                    EXPECT_LT(e.seconds - lastUp, 0.2);
                }
            } else {
                ++ups;
                lastUp = e.seconds;
            }
        }
    }
    for (const auto& [key, count] : held) EXPECT_EQ(count, 0) << "key " << key << " left hanging";
    EXPECT_FALSE(pedalDown);
    EXPECT_GE(downs, 15);
    EXPECT_EQ(ups, downs);

    ASSERT_GE(velocities.size(), 3u);
    EXPECT_GE(*velocities.rbegin() - *velocities.begin(), 30);

    // Chords: three or more notes struck within 30 ms, many times over.
    std::vector<double> starts;
    for (const MidiEvent& e : song.events)
        if (IsNoteOn(e)) starts.push_back(e.seconds);
    int chords = 0;
    for (size_t i = 0; i + 2 < starts.size(); ++i)
        if (starts[i + 2] - starts[i] <= 0.030 && (i == 0 || starts[i] - starts[i - 1] > 0.030)) ++chords;
    EXPECT_GE(chords, 10);

    // A soft start, a louder middle and a quiet ending.
    auto meanVelocity = [&](double from, double to) {
        double sum = 0;
        int count = 0;
        for (const MidiEvent& e : song.events)
            if (IsNoteOn(e) && e.seconds >= from && e.seconds < to) sum += e.data2, ++count;
        return count ? sum / count : 0.0;
    };
    double start = meanVelocity(0, 5), middle = meanVelocity(35, 42), end = meanVelocity(song.endSeconds - 6, 1e9);
    EXPECT_LT(start + 25, middle);
    EXPECT_LT(end + 25, middle);
}

TEST(DemoSong, BuiltFileIsTheComposition) {
    std::filesystem::path built = NORV_BUILD_DIR "/demo.mid";
    if (!std::filesystem::exists(built)) GTEST_SKIP() << built << " is not built yet";
    std::ifstream in(built, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, ComposeDemo().Bytes());
}

}  // namespace
}  // namespace norv::demo
