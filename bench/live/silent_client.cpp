// The least a JACK instrument can do: the same ports as norvkeys play
// (out_left, out_right, midi_in), silence written, MIDI ignored, and the
// same callback timing, as the floor to compare a real client against.
// Runs until interrupted, then writes its measurements.
#include <CLI/CLI.hpp>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "host/CallbackStats.h"

namespace {

struct Silent {
    jack_port_t* Left = nullptr;
    jack_port_t* Right = nullptr;
    jack_port_t* Midi = nullptr;
    double Rate = 48000;
    norv::host::CallbackStats Stats;
    std::atomic<int64_t> Xruns{0};
};

volatile std::sig_atomic_t gStop = 0;
extern "C" void OnSignal(int) { gStop = 1; }

// JACK's process thread.
int Process(jack_nframes_t n, void* arg) {
    auto* s = static_cast<Silent*>(arg);
    const double start = norv::host::MonotonicSeconds();
    std::memset(jack_port_get_buffer(s->Left, n), 0, n * sizeof(float));
    std::memset(jack_port_get_buffer(s->Right, n), 0, n * sizeof(float));
    jack_port_get_buffer(s->Midi, n);
    s->Stats.Add(norv::host::MonotonicSeconds() - start, n / s->Rate);
    return 0;
}

// JACK's notification thread.
int OnXrun(void* arg) {
    static_cast<Silent*>(arg)->Xruns.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"A JACK client that writes silence and times its callback"};
    std::string stats, server, name = "norv-silent";
    app.add_option("--stats", stats, "File for the measurements, written at exit")->required();
    app.add_option("--server", server, "JACK server name (default: $JACK_DEFAULT_SERVER, else default)");
    app.add_option("--name", name, "JACK client name")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    auto silent = std::make_unique<Silent>();
    jack_status_t status{};
    const int flags = JackNoStartServer | (server.empty() ? 0 : JackServerName);
    jack_client_t* client = jack_client_open(name.c_str(), static_cast<jack_options_t>(flags), &status, server.c_str());
    if (!client) {
        std::fprintf(stderr, "silent_client: no JACK server is running (server \"%s\")\n",
                     server.empty() ? "default" : server.c_str());
        return 1;
    }
    silent->Rate = jack_get_sample_rate(client);
    silent->Left = jack_port_register(client, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    silent->Right = jack_port_register(client, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    silent->Midi = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client, Process, silent.get());
    jack_set_xrun_callback(client, OnXrun, silent.get());
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    if (!silent->Left || !silent->Right || !silent->Midi || jack_activate(client) != 0) {
        std::fprintf(stderr, "silent_client: the server refused the client\n");
        jack_client_close(client);
        return 1;
    }
    std::printf("client %s\n", jack_get_client_name(client));
    std::fflush(stdout);
    while (!gStop) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    jack_deactivate(client);
    const std::string summary = silent->Stats.Summary("silent-client", silent->Xruns.load());
    jack_client_close(client);
    try {
        norv::host::WriteStats(stats, summary);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "silent_client: %s\n", e.what());
        return 1;
    }
    return 0;
}
