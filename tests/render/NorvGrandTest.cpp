// Norv Grand as a pianist hears it through the built plug-in: how it
// answers the velocity, and how its held notes die away.
#include <gtest/gtest.h>

#include <cmath>

#include "render/RenderSupport.h"

namespace norv::test {
namespace {

constexpr int kRate = 48000;

struct Note {
    int key;
    int velocity;
    double hold;  // seconds
};

// The notes one after another, `spacing` seconds apart (more than they are
// held), each cut off just before the next, so that nothing of one is
// heard in the next.
host::MidiSong Alone(const std::vector<Note>& notes, double spacing) {
    host::MidiSong song;
    auto add = [&song](double seconds, host::MidiType type, int data1, int data2) {
        host::MidiEvent e;
        e.seconds = seconds;
        e.type = type;
        e.data1 = static_cast<uint8_t>(data1);
        e.data2 = static_cast<uint8_t>(data2);
        song.events.push_back(e);
    };
    double t = 0;
    for (const Note& n : notes) {
        add(t, host::MidiType::NoteOn, n.key, n.velocity);
        add(t + n.hold, host::MidiType::NoteOff, n.key, 0);
        add(t + spacing - 0.02, host::MidiType::ControlChange, 120, 0);  // all sound off
        t += spacing;
    }
    song.endSeconds = t;
    return song;
}

Audio Play(const host::MidiSong& song) {
    host::Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    TQuirraPlug* plug = NewInstance(host, kRate);  // the set's own preset
    if (!plug) return {};
    Audio a = RenderSong(host, plug, song, kRate, 256, 0.0);
    host.DestroyInstance(plug);
    return a;
}

// [from, to) seconds, both channels mixed: the stereo image's delay colours
// each channel on its own.
std::vector<float> Mono(const Audio& a, double from, double to) {
    std::vector<float> x;
    for (auto i = static_cast<size_t>(from * kRate); i < static_cast<size_t>(to * kRate) && i < size_t(a.Frames()); ++i)
        x.push_back(0.5f * (a.samples[2 * i] + a.samples[2 * i + 1]));
    return x;
}

// Level in dB and brightness of [from, to) seconds.
double LevelDb(const Audio& a, double from, double to) {
    const auto x = Mono(a, from, to);
    return 20 * std::log10(Rms(x, 0, x.size()) + 1e-12);
}
double Brightness(const Audio& a, double from, double to) {
    const auto x = Mono(a, from, to);
    return RmsFrequency(x, 0, x.size(), kRate);
}

// From one MIDI velocity to the next the level and the brightness move in
// small steps, the brightness never back, over the whole range: no layer
// split stands out. And the range is a grand's: soft notes much softer and
// darker than loud ones.
TEST(NorvGrand, VelocityResponseIsSmoothAndSpansAGrandsDynamics) {
    constexpr double kSpacing = 0.5;
    for (int key : {60, 84}) {
        SCOPED_TRACE(key);
        std::vector<Note> notes;
        for (int v = 1; v <= 127; ++v) notes.push_back({key, v, 0.4});
        const Audio a = Play(Alone(notes, kSpacing));
        ASSERT_GE(a.Frames(), static_cast<int64_t>((126 * kSpacing + 0.3) * kRate));

        std::vector<double> level, cents;
        for (int v = 1; v <= 127; ++v) {
            const double on = (v - 1) * kSpacing;
            level.push_back(LevelDb(a, on + 0.05, on + 0.3));
            cents.push_back(1200 * std::log2(Brightness(a, on + 0.05, on + 0.3)));
        }
        for (size_t i = 1; i < level.size(); ++i) {
            EXPECT_LE(std::abs(level[i] - level[i - 1]), 1.5) << "velocity " << i << " to " << i + 1;
            EXPECT_LE(cents[i] - cents[i - 1], 100.0) << "velocity " << i << " to " << i + 1;
            EXPECT_GE(cents[i] - cents[i - 1], -10.0) << "velocity " << i << " to " << i + 1;
        }
        // A recorded grand: velocity 30 about 22 dB below 127 and much
        // darker, 64 about 11 dB below and a little darker.
        auto at = [](const std::vector<double>& x, int velocity) { return x[static_cast<size_t>(velocity - 1)]; };
        EXPECT_LT(at(level, 30) - at(level, 127), -17.0);
        EXPECT_GT(at(level, 30) - at(level, 127), -27.0);
        EXPECT_LT(at(level, 64) - at(level, 127), -7.0);
        EXPECT_GT(at(level, 64) - at(level, 127), -14.0);
        EXPECT_LT(at(cents, 30) - at(cents, 127), -400.0);
        EXPECT_LT(at(cents, 64) - at(cents, 127), -100.0);
        EXPECT_GT(level.back() - level.front(), 35.0);
    }
}

// A held note dies away faster the higher it lies, the treble still
// singing a second on; and it goes on dying while held, never a drone.
TEST(NorvGrand, HeldNotesDieAwayFasterUpTheKeyboardAndNeverDrone) {
    constexpr double kSpacing = 4.0;
    const std::vector<Note> notes = {{33, 100, 3.5}, {60, 100, 3.5}, {84, 100, 3.5}, {96, 100, 3.5}};
    const Audio a = Play(Alone(notes, kSpacing));
    double previous = 0;
    for (size_t i = 0; i < notes.size(); ++i) {
        SCOPED_TRACE(notes[i].key);
        const double on = double(i) * kSpacing;
        const double firstSecond = LevelDb(a, on + 0.075, on + 0.125) - LevelDb(a, on + 0.975, on + 1.025);
        const double later = LevelDb(a, on + 1.0, on + 1.25) - LevelDb(a, on + 3.0, on + 3.25);
        EXPECT_GT(firstSecond, previous);
        EXPECT_LT(firstSecond, 40.0);
        EXPECT_GT(later, 4.0);
        previous = firstSecond;
    }
}

}  // namespace
}  // namespace norv::test
