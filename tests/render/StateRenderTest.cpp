// A saved state brings back the same sound: restored into a fresh instance it
// renders the same samples, bit for bit.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "host/StateStream.h"
#include "render/RenderSupport.h"

namespace norv::test {
namespace {

// A little phrase with pedal, bend, volume and pan changes on two channels.
host::MidiSong Phrase() {
    using host::MidiType;
    auto ev = [](double s, MidiType t, int ch, int d1, int d2) {
        host::MidiEvent e;
        e.seconds = s;
        e.type = t;
        e.channel = static_cast<uint8_t>(ch);
        e.data1 = static_cast<uint8_t>(d1);
        e.data2 = static_cast<uint8_t>(d2);
        return e;
    };
    host::MidiSong song;
    song.events = {ev(0.0, MidiType::ControlChange, 0, 64, 127), ev(0.0, MidiType::NoteOn, 0, 48, 90),
                   ev(0.05, MidiType::NoteOn, 1, 67, 110),       ev(0.3, MidiType::NoteOff, 0, 48, 0),
                   ev(0.4, MidiType::ControlChange, 1, 10, 20),  ev(0.45, MidiType::PitchBend, 1, 0, 80),
                   ev(0.5, MidiType::NoteOn, 0, 72, 60),         ev(0.7, MidiType::ControlChange, 0, 7, 90),
                   ev(0.9, MidiType::NoteOff, 1, 67, 0),         ev(1.0, MidiType::ControlChange, 0, 64, 0),
                   ev(1.1, MidiType::NoteOff, 0, 72, 0)};
    song.endSeconds = 1.2;
    return song;
}

TEST(StateRender, RestoredStateRendersTheSameSamples) {
    // Every parameter away from its initial value.
    const Knobs knobs = {{0, 300},  {1, -200}, {2, 400}, {3, 100},  {4, 300},   {5, 900},  {6, 250}, {7, 1500},
                         {8, 250},  {9, 300},  {10, 200}, {11, 300}, {12, -400}, {13, 30000}, {14, 200}};
    const host::MidiSong song = Phrase();
    host::Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;

    for (int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        // The set an instance loads at construction is converted before the
        // host's rate is known; a restore loads it at the current rate. Both
        // instances play it loaded at `rate`.
        TQuirraPlug* a = NewInstance(host, rate);
        ASSERT_NE(a, nullptr);
        host::RestoreInstanceState(host, a, host::SaveInstanceState(a));
        for (auto [index, value] : knobs) a->HandleParameter(index, value, ParamFlag::Set | ParamFlag::MoveKnob);
        const std::vector<uint8_t> state = host::SaveInstanceState(a);
        const Audio first = RenderSong(host, a, song, rate, 256, 2.0);
        host.DestroyInstance(a);

        TQuirraPlug* b = NewInstance(host, rate);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(host::RestoreInstanceState(host, b, state), state.size());
        EXPECT_EQ(host::SaveInstanceState(b), state);
        const Audio second = RenderSong(host, b, song, rate, 256, 2.0);
        host.DestroyInstance(b);

        ASSERT_GT(first.Peak(), 0.01f);
        ASSERT_EQ(first.samples.size(), second.samples.size());
        EXPECT_EQ(std::memcmp(first.samples.data(), second.samples.data(), first.samples.size() * sizeof(float)), 0);

        // The state matters: a fresh instance sounds different.
        TQuirraPlug* c = NewInstance(host, rate);
        const Audio plain = RenderSong(host, c, song, rate, 256, 2.0);
        host.DestroyInstance(c);
        EXPECT_TRUE(plain.samples.size() != first.samples.size() ||
                    std::memcmp(plain.samples.data(), first.samples.data(), first.samples.size() * sizeof(float)) != 0);
    }
}

TEST(StateRender, NotesStartAtTheirExactFrame) {
    // A note at 0.1 s starts at frame 4800 whatever the block length; 4800 is
    // no multiple of 256 or 77, so the blocks must be cut there.
    host::MidiSong song = OneNote(60, 0.3);
    for (auto& e : song.events) e.seconds += 0.1;
    song.endSeconds += 0.1;
    host::Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    for (int block : {256, 77, 4800}) {
        SCOPED_TRACE(block);
        TQuirraPlug* p = NewInstance(host, 48000);
        const Audio a = RenderSong(host, p, song, 48000, block, 0.0);
        host.DestroyInstance(p);
        ASSERT_EQ(a.Frames(), 19200);
        int64_t first = -1;
        for (int64_t i = 0; i < a.Frames() && first < 0; ++i)
            if (a.samples[2 * static_cast<size_t>(i)] != 0.0f || a.samples[2 * static_cast<size_t>(i) + 1] != 0.0f)
                first = i;
        // The voice's gains ramp up from 0, so its first frame is silent.
        EXPECT_EQ(first, 4801);
    }
}

}  // namespace
}  // namespace norv::test

namespace norv::test {
namespace {

bool AllFinite(const Audio& a) {
    for (float x : a.samples)
        if (!std::isfinite(x)) return false;
    return true;
}

// Values far past every knob's end, as a damaged state or a careless host
// may give them, are kept as they are, and the sound stays a number.
TEST(StateRender, ValuesFarOutsideTheKnobsStayFinite) {
    const host::MidiSong song = Phrase();
    host::Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    std::vector<std::vector<int32_t>> patterns(3);
    for (int i = 0; i < 15; ++i) {
        patterns[0].push_back(INT32_MAX);
        patterns[1].push_back(INT32_MIN);
        patterns[2].push_back(i % 2 ? INT32_MIN : INT32_MAX);
    }
    for (const std::vector<int32_t>& values : patterns) {
        for (int rate : {44100, 8000}) {
            SCOPED_TRACE(testing::Message() << values[0] << " " << values[1] << " at " << rate);
            TQuirraPlug* plug = NewInstance(host, rate);
            ASSERT_NE(plug, nullptr);
            host::SavedState state = *host::ParseState(host::SaveInstanceState(plug));
            state.Values = values;
            const std::vector<uint8_t> bytes = host::StateBytes(state);
            host::RestoreInstanceState(host, plug, bytes);
            EXPECT_EQ(host::SaveInstanceState(plug), bytes);
            const Audio out = RenderSong(host, plug, song, rate, 256, 0.5);
            host.DestroyInstance(plug);
            EXPECT_TRUE(AllFinite(out));
        }
    }
    // The open filter at a low rate, with every knob where it starts.
    TQuirraPlug* plug = NewInstance(host, 8000);
    const Audio low = RenderSong(host, plug, song, 8000, 256, 0.5);
    host.DestroyInstance(plug);
    EXPECT_TRUE(AllFinite(low));
    EXPECT_GT(low.Peak(), 0.01f);
}

}  // namespace
}  // namespace norv::test
