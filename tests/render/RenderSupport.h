// Helpers for the end-to-end render tests: the built bundle played in
// process through the host side, the built norvkeys run as a user runs it,
// audio files read back, and a pitch estimate.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/HostServices.h"
#include "host/MidiFile.h"
#include "support/SignalMeasures.h"

namespace norv::test {

// Parameter settings in knob units: index, value.
using Knobs = std::vector<std::pair<int, int32_t>>;

// Interleaved stereo.
struct Audio {
    int rate = 0;
    std::vector<float> samples;
    int64_t Frames() const { return static_cast<int64_t>(samples.size() / 2); }
    std::vector<float> Left(int64_t begin, int64_t count) const;
    float Peak() const;
};

// Plays `song` on `plug` at `rate` in blocks of at most `block` frames, with `tail` seconds of ring-out.
Audio RenderSong(host::Host& host, TQuirraPlug* plug, const host::MidiSong& song, int rate, int block = 256,
                 double tail = 30.0);

// A new instance at `rate` with `knobs` set (flags 0x11).
TQuirraPlug* NewInstance(host::Host& host, int rate, const Knobs& knobs = {});

// A song of one note: key, velocity 100, from 0 to `seconds`, ending there.
host::MidiSong OneNote(int key, double seconds);

struct Loop {
    int64_t start = 0, end = 0;  // frames, as the file's sampler chunk gives them
    int rate = 0;
    std::vector<float> left;  // the whole file, first channel
};
// A sample of the bundle's default set with its first loop; fails the test when missing.
Loop ReadLoopedSample(const std::filesystem::path& file);

Audio ReadAudio(const std::filesystem::path& file);

// Frequency in Hz of the strongest component within +-`searchCents` of
// `guess`: the peak of the Hann-windowed spectrum, found to a small fraction
// of a cent.
double PeakFrequency(const std::vector<float>& x, double rate, double guess, double searchCents = 300.0);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output and error
};
// Runs the built norvkeys with `args` (each passed as one argument); fails the
// test when the program is missing.
CommandResult RunNorvkeys(const std::vector<std::string>& args);

struct SplitResult {
    int exitCode = -1;
    std::string out;  // standard output, as bytes
    std::string err;
};
// Runs the built norvkeys with standard output and standard error on two
// pipes (so standard output cannot be rewound) and `env` ("NAME=value") added
// to this process's environment.
SplitResult RunNorvkeysPiped(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

std::filesystem::path BundleFolder();

// song.mid in `folder`: key 60 from 0 to 0.5 s on channel 1; the track ends
// at 1 s (120 beats a minute).
std::filesystem::path WriteOneNoteSong(const std::filesystem::path& folder);

// The text of a set definition with these keys of its [parameters] preset
// set (index, value as written); its other preset values stay, and the
// section is added when it has none.
std::string WithPreset(std::string definition, const std::vector<std::pair<int, std::string>>& values);

}  // namespace norv::test
