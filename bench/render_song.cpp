// A dense piece through the bundle as `norvkeys render` plays it: the
// default set at 48 kHz, blocks of 256 frames, sustain pedal down, chords
// of eight notes every 100 ms for 20 s (about 120 voices at once). Reports
// the render speed as a multiple of real time.
#include <benchmark/benchmark.h>

#include <vector>

#include "host/HostServices.h"
#include "host/MidiFile.h"
#include "host/MidiWriter.h"
#include "host/Performer.h"
#include "host/SongPlayer.h"

namespace {

using namespace norv::host;

constexpr double kRate = 48000;

MidiSong DenseSong() {
    MidiWriter w(0, 480);
    w.AddTrack();
    w.Tempo(0, 0, 500000);  // 120 bpm: 480 ticks = 0.5 s
    w.Control(0, 0, 0, 64, 127);
    for (int chord = 0; chord < 200; ++chord) {
        const uint64_t tick = static_cast<uint64_t>(chord) * 96;  // every 100 ms
        for (int n = 0; n < 8; ++n)
            w.Note(0, tick, 960, 0, 30 + (chord * 7 + n * 9) % 70, 40 + (chord * 13 + n * 17) % 87);
    }
    w.Control(0, 200 * 96, 0, 64, 0);
    return ParseMidi(w.Bytes(), "dense");
}

void BM_RenderDenseSong(benchmark::State& state) {
    const MidiSong song = DenseSong();
    Host host(NORV_PLUGIN_PATH);
    host.Status.Quiet = true;
    TQuirraPlug* plug = host.CreateInstance();
    plug->HostCommand(PlugCommand::SetSampleRate, 0, static_cast<intptr_t>(kRate));
    plug->HandleEvent(PlugEvent::SetPolyphony, 0, 0);  // no stealing: every note sounds
    std::vector<float> block(2 * 256);
    double seconds = 0;
    size_t peakVoices = 0;
    for (auto _ : state) {
        Performer performer(host, plug);
        SongPlayer player(performer, song, kRate, 256, 2.0);
        int64_t frames = 0;
        while (int32_t n = player.Next(block.data())) {
            frames += n;
            peakVoices = std::max(peakVoices, performer.LiveVoices());
        }
        plug->HostCommand(PlugCommand::EndAllVoices, 0, 0);
        player.Next(block.data());
        seconds += static_cast<double>(frames) / kRate;
    }
    state.counters["x_real_time"] = benchmark::Counter(seconds, benchmark::Counter::kIsRate);
    state.counters["peak_voices"] = static_cast<double>(peakVoices);
    host.DestroyInstance(plug);
}

}  // namespace

BENCHMARK(BM_RenderDenseSong)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
