// Plays a standard MIDI file into a JACK MIDI port in real time, each event
// at its own frame, then exits. Prints "fed N events" when done.
#include <CLI/CLI.hpp>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "host/MidiFile.h"

namespace {

struct TimedMessage {
    int64_t Frame;
    uint8_t Bytes[3];
    uint8_t Size;
};

struct Feeder {
    jack_port_t* Port = nullptr;
    std::vector<TimedMessage> Messages;  // in time order, filled before activation
    std::atomic<size_t> Next{0};
    std::atomic<int64_t> Cursor{0};
    int64_t Lead = 0;  // frames of quiet before the first event
};

volatile std::sig_atomic_t gStop = 0;
extern "C" void OnSignal(int) { gStop = 1; }

// JACK's process thread.
int Process(jack_nframes_t n, void* arg) {
    auto* f = static_cast<Feeder*>(arg);
    void* buffer = jack_port_get_buffer(f->Port, n);
    jack_midi_clear_buffer(buffer);
    const int64_t start = f->Cursor.load(std::memory_order_relaxed) - f->Lead;
    size_t i = f->Next.load(std::memory_order_relaxed);
    while (i < f->Messages.size() && f->Messages[i].Frame < start + n) {
        const TimedMessage& m = f->Messages[i];
        const auto at = static_cast<jack_nframes_t>(m.Frame < start ? 0 : m.Frame - start);
        if (jack_midi_event_write(buffer, at, m.Bytes, m.Size) != 0) break;  // full: the rest next period
        ++i;
    }
    f->Next.store(i, std::memory_order_release);
    f->Cursor.store(f->Cursor.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    return 0;
}

std::vector<TimedMessage> Schedule(const norv::host::MidiSong& song, double rate) {
    std::vector<TimedMessage> out;
    out.reserve(song.events.size());
    for (const norv::host::MidiEvent& e : song.events) {
        TimedMessage m{norv::host::SecondsToFrames(e.seconds, rate), {e.Status(), e.data1, e.data2}, 3};
        if (norv::host::MidiDataLength(e.type) == 1) m.Size = 2;
        out.push_back(m);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Play a MIDI file into a JACK MIDI input in real time"};
    std::string song, target, server, name = "norv-feeder";
    double lead = 0.5;
    app.add_option("song", song, "Standard MIDI file")->required()->check(CLI::ExistingFile);
    app.add_option("--to", target, "Input port to feed, e.g. norvkeys:midi_in")->required();
    app.add_option("--server", server, "JACK server name (default: $JACK_DEFAULT_SERVER, else default)");
    app.add_option("--name", name, "JACK client name")->capture_default_str();
    app.add_option("--lead", lead, "Seconds of quiet before the first event")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    Feeder feeder;
    norv::host::MidiSong parsed;
    try {
        parsed = norv::host::ReadMidiFile(song);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "midi_feeder: %s\n", e.what());
        return 1;
    }
    jack_status_t status{};
    const int flags = JackNoStartServer | (server.empty() ? 0 : JackServerName);
    jack_client_t* client = jack_client_open(name.c_str(), static_cast<jack_options_t>(flags), &status, server.c_str());
    if (!client) {
        std::fprintf(stderr, "midi_feeder: no JACK server is running (server \"%s\")\n",
                     server.empty() ? "default" : server.c_str());
        return 1;
    }
    const double rate = jack_get_sample_rate(client);
    feeder.Messages = Schedule(parsed, rate);
    feeder.Lead = static_cast<int64_t>(lead * rate);
    feeder.Port = jack_port_register(client, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, Process, &feeder);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    int rc = 0;
    if (!feeder.Port || jack_activate(client) != 0) {
        std::fprintf(stderr, "midi_feeder: the server refused the feeder\n");
        rc = 1;
    } else if (jack_connect(client, jack_port_name(feeder.Port), target.c_str()) != 0) {
        std::fprintf(stderr, "midi_feeder: cannot connect to %s\n", target.c_str());
        rc = 1;
    } else {
        while (!gStop && feeder.Next.load(std::memory_order_acquire) < feeder.Messages.size())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::printf("fed %zu events\n", feeder.Next.load());
    }
    jack_client_close(client);
    return rc;
}
