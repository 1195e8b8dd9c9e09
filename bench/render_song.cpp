// A dense piece through the bundle as `norvkeys render` plays it: the
// default set at 48 kHz, blocks of 256 frames, sustain pedal down, chords
// of eight notes every 100 ms for 20 s (host/DenseSong.h). Run at the
// instrument's default polyphony (32), at 256 and without a limit; reports
// the render speed as a multiple of real time and the most voices sounding
// at once.
//
// The same piece, 60 s long, for timing the command-line tool by hand:
//   build/norvkeys dense-song /tmp/dense.mid
//   time build/norvkeys render /tmp/dense.mid --polyphony 256 -o /tmp/dense.wav
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "host/DenseSong.h"
#include "host/HostServices.h"
#include "host/MidiFile.h"
#include "host/Performer.h"
#include "host/SongPlayer.h"

namespace {

using namespace norv::host;

constexpr double kRate = 48000;

// Arg: the polyphony; 0 is no limit.
void BM_RenderDenseSong(benchmark::State& state) {
    const MidiSong song = ParseMidi(DenseSong(20.0).Bytes(), "dense");
    Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    TQuirraPlug* plug = host.CreateInstance();
    plug->HostCommand(PlugCommand::SetSampleRate, 0, static_cast<intptr_t>(kRate));
    plug->HandleEvent(PlugEvent::SetPolyphony, static_cast<intptr_t>(state.range(0)), 0);
    std::vector<float> block(2 * 256);
    double seconds = 0;
    size_t peakVoices = 0;
    for (auto _ : state) {
        Performer performer(host, plug);
        SongPlayer player(performer, song, kRate, 256, 2.0);
        int64_t frames = 0;
        while (int32_t n = player.Next(block.data())) frames += n;
        peakVoices = std::max(peakVoices, performer.PeakVoices());
        plug->HostCommand(PlugCommand::EndAllVoices, 0, 0);
        player.Next(block.data());
        seconds += static_cast<double>(frames) / kRate;
    }
    state.counters["x_real_time"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    state.counters["peak_voices"] = static_cast<double>(peakVoices);
    host.DestroyInstance(plug);
}

}  // namespace

BENCHMARK(BM_RenderDenseSong)->ArgName("polyphony")->Arg(32)->Arg(256)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
