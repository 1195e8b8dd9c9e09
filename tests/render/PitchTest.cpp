// The pitch of rendered notes, measured on the audio of the built bundle.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "render/RenderSupport.h"

namespace norv::test {
namespace {

enum Param { kDecay = 0, kHardness = 2, kVelHard = 3, kTune = 8, kDetune = 9, kStretch = 10, kPanTrem = 12 };

double KeyHz(int key) { return 440.0 * std::exp2((key - 69) / 12.0); }

// The tuning offset in semitones that the instrument gives `key` for these knob values.
double TuningOffset(int key, int tune, int detune, int stretch) {
    const double fineTune = 2.0 * ((tune + 1000) / 2000.0) - 1.0;
    const double detuneLevel = detune / 500.0;
    const double randomDetune = 0.077 * detuneLevel * detuneLevel;
    const double stretchTune = ((stretch + 500) / 1000.0 - 0.5) * 0.000434;
    const int s = (key - 60) * (key - 60);
    double d = ((s % 13) - 6.5) * randomDetune + fineTune;
    if (key > 60) d += s * stretchTune;
    return d;
}

// The default set's velocity 100 plays the loudest layer of the zone whose root is the key.
struct SampleTone {
    double hz;
    double loopStartSeconds;
};

SampleTone MeasureSample(int root) {
    char name[32];
    std::snprintf(name, sizeof name, "n%03d_v11.wav", root);
    const Loop loop = ReadLoopedSample(BundleFolder() / "WavTables" / "NorvGrand" / name);
    if (loop.left.empty() || loop.end <= loop.start) return {0, 0};
    // The loop holds whole cycles of every component at a constant level.
    const std::vector<float> span(loop.left.begin() + loop.start, loop.left.begin() + loop.end);
    return {PeakFrequency(span, loop.rate, KeyHz(root), 60.0), static_cast<double>(loop.start) / loop.rate};
}

struct Case {
    int key, tune, detune, stretch;
};

class Pitch : public ::testing::TestWithParam<int> {};

TEST_P(Pitch, NotesSoundAtTheTunedFrequency) {
    const int rate = GetParam();
    std::map<int, SampleTone> samples;
    for (int root : {60, 84}) samples[root] = MeasureSample(root);
    ASSERT_GT(samples[60].hz, 0);
    ASSERT_GT(samples[84].hz, 0);

    const Case cases[] = {
        {60, 0, 123, 0},       // the knobs' initial values: detune alone, -3.0 cents
        {60, 500, 0, 0},       // tune +50 cents
        {60, -1000, 500, 0},   // tune -100 cents and the widest detune, -50.05 cents
        {84, 0, 123, 500},     // stretch +12.5 cents above key 60
        {84, 0, 123, -500},    // stretch -12.5 cents
        {84, 0, 0, 0},
    };
    host::Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    for (const Case& c : cases) {
        // No decay, so the looped tone holds still; hardness and velocity to
        // hardness at their centre and bottom, so the key plays its own zone.
        TQuirraPlug* plug = NewInstance(host, rate,
                                        {{kDecay, -1000},
                                         {kHardness, 0},
                                         {kVelHard, -1000},
                                         {kPanTrem, 0},
                                         {kTune, c.tune},
                                         {kDetune, c.detune},
                                         {kStretch, c.stretch}});
        ASSERT_NE(plug, nullptr);
        const Audio audio = RenderSong(host, plug, OneNote(c.key, 3.5), rate, 256, 0.0);
        host.DestroyInstance(plug);

        const SampleTone& tone = samples[c.key];
        const double d = TuningOffset(c.key, c.tune, c.detune, c.stretch);
        const double expected = tone.hz * std::exp2(d / 12.0);
        const auto begin = static_cast<int64_t>((tone.loopStartSeconds + 0.3) * rate);
        const double measured = PeakFrequency(audio.Left(begin, static_cast<int64_t>(1.5 * rate)), rate, expected);
        EXPECT_NEAR(Cents(measured, expected), 0.0, 1.0)
            << "key " << c.key << " tune " << c.tune << " detune " << c.detune << " stretch " << c.stretch << " at "
            << rate << " Hz: " << measured << " Hz, expected " << expected << " Hz (" << 100 * d << " cents from "
            << tone.hz << " Hz)";
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, Pitch, ::testing::Values(44100, 48000));

}  // namespace
}  // namespace norv::test
