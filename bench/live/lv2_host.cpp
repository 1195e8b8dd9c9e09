// The LV2 instrument as a DAW runs it, for bench/live-lv2: a JACK client
// that hosts one instance through lilv (a worker thread beside JACK's
// process thread), plays what reaches its MIDI port, and every few seconds
// sends the instrument a patch:Set of the next set named on the command
// line, as a DAW's set menu does. The instrument measures its run() itself
// (NORV_LV2_STATS). Runs until interrupted.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include <CLI/CLI.hpp>

#include "lv2/Protocol.h"

namespace {

using namespace norv::lv2;

volatile std::sig_atomic_t gStop = 0;
extern "C" void OnSignal(int) { gStop = 1; }

// Main thread only, before and after the process thread runs.
class Urids {
public:
    LV2_URID Map(const char* uri) {
        std::lock_guard lock(mutex_);
        auto [it, fresh] = ids_.emplace(uri, static_cast<LV2_URID>(ids_.size() + 1));
        return it->second;
    }
    LV2_URID_Map* Feature() { return &map_; }

private:
    static LV2_URID MapFn(LV2_URID_Map_Handle h, const char* uri) { return static_cast<Urids*>(h)->Map(uri); }
    std::mutex mutex_;
    std::map<std::string, LV2_URID> ids_;
    LV2_URID_Map map_{this, &MapFn};
};

// One writer thread, one reader thread; messages up to 2 kB. Never allocates.
class Ring {
public:
    bool Push(uint32_t size, const void* data) {
        const size_t head = head_.load(std::memory_order_relaxed);
        if (size > kBytes || head - tail_.load(std::memory_order_acquire) == kSlots) return false;
        Slot& s = slots_[head % kSlots];
        s.Size = size;
        std::memcpy(s.Bytes, data, size);
        head_.store(head + 1, std::memory_order_release);
        return true;
    }
    template <class F>
    bool Pop(F&& take) {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail == head_.load(std::memory_order_acquire)) return false;
        const Slot& s = slots_[tail % kSlots];
        take(s.Size, s.Bytes);
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

private:
    static constexpr size_t kSlots = 64, kBytes = 2048;
    struct Slot {
        uint32_t Size = 0;
        alignas(8) uint8_t Bytes[kBytes];
    };
    std::array<Slot, kSlots> slots_{};
    std::atomic<size_t> head_{0}, tail_{0};
};

struct Host {
    Urids urids;
    LilvInstance* instance = nullptr;
    const LV2_Worker_Interface* worker = nullptr;
    jack_port_t *midi = nullptr, *left = nullptr, *right = nullptr;
    std::vector<float> controls;
    alignas(8) std::array<uint8_t, 16384> events{};
    alignas(8) std::array<uint8_t, 8192> notify{};
    Ring requests, responses;
    std::counting_semaphore<1 << 20> pending{0};
    // The patch:Set the main thread forged, waiting for the next period.
    alignas(8) std::array<uint8_t, 1024> patch{};
    std::atomic<uint32_t> patchSize{0};
    LV2_URID midiEvent = 0, sequence = 0, chunk = 0;
};

LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle h, uint32_t size, const void* data) {
    auto* host = static_cast<Host*>(h);
    if (!host->requests.Push(size, data)) return LV2_WORKER_ERR_NO_SPACE;
    host->pending.release();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Respond(LV2_Worker_Respond_Handle h, uint32_t size, const void* data) {
    return static_cast<Host*>(h)->responses.Push(size, data) ? LV2_WORKER_SUCCESS : LV2_WORKER_ERR_NO_SPACE;
}

// Appends one event to the atom sequence in `buffer`; false when it is full.
bool Append(std::array<uint8_t, 16384>& buffer, uint32_t frame, LV2_URID type, const void* body, uint32_t size) {
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
    const uint32_t at = sizeof(LV2_Atom) + seq->atom.size;
    const uint32_t need = sizeof(LV2_Atom_Event) + ((size + 7) & ~7u);
    if (at + need > buffer.size()) return false;
    auto* ev = reinterpret_cast<LV2_Atom_Event*>(buffer.data() + at);
    ev->time.frames = frame;
    ev->body.type = type;
    ev->body.size = size;
    std::memcpy(ev + 1, body, size);
    seq->atom.size += need;
    return true;
}

// JACK's process thread.
int Process(jack_nframes_t frames, void* arg) {
    auto* host = static_cast<Host*>(arg);
    auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(host->events.data());
    seq->atom.type = host->sequence;
    seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
    seq->body.unit = 0;
    seq->body.pad = 0;
    if (host->patchSize.load(std::memory_order_acquire) != 0) {
        const auto* atom = reinterpret_cast<const LV2_Atom*>(host->patch.data());
        Append(host->events, 0, atom->type, atom + 1, atom->size);
        host->patchSize.store(0, std::memory_order_release);
    }
    void* midi = jack_port_get_buffer(host->midi, frames);
    const jack_nframes_t count = jack_midi_get_event_count(midi);
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t e;
        if (jack_midi_event_get(&e, midi, i) == 0 && e.size <= 3)
            Append(host->events, e.time, host->midiEvent, e.buffer, static_cast<uint32_t>(e.size));
    }
    auto* out = reinterpret_cast<LV2_Atom*>(host->notify.data());
    out->type = host->chunk;
    out->size = static_cast<uint32_t>(host->notify.size() - sizeof(LV2_Atom));
    lilv_instance_connect_port(host->instance, kLeftOut, jack_port_get_buffer(host->left, frames));
    lilv_instance_connect_port(host->instance, kRightOut, jack_port_get_buffer(host->right, frames));
    lilv_instance_run(host->instance, frames);
    LV2_Handle handle = lilv_instance_get_handle(host->instance);
    while (host->responses.Pop([&](uint32_t size, const void* data) { host->worker->work_response(handle, size, data); })) {
    }
    if (host->worker->end_run) host->worker->end_run(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"A JACK host of the LV2 instrument that switches sets every few seconds"};
    std::string name = "norv-lv2", server;
    std::vector<std::string> sets;
    double every = 4.0;
    int polyphony = 128;
    app.add_option("--name", name, "JACK client name")->capture_default_str();
    app.add_option("--server", server, "JACK server name (default: $JACK_DEFAULT_SERVER, else default)");
    app.add_option("--set", sets, "A set to switch to, in turn (two or more to switch)");
    app.add_option("--every", every, "Seconds between switches")->check(CLI::PositiveNumber)->capture_default_str();
    app.add_option("--polyphony", polyphony, "The instrument's polyphony port")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    auto host = std::make_unique<Host>();
    host->midiEvent = host->urids.Map(LV2_MIDI__MidiEvent);
    host->sequence = host->urids.Map(LV2_ATOM__Sequence);
    host->chunk = host->urids.Map(LV2_ATOM__Chunk);

    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, kPluginUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    if (!plugin) {
        std::fprintf(stderr, "lv2_host: %s is not installed (LV2_PATH?)\n", kPluginUri);
        return 1;
    }

    const jack_options_t options = server.empty() ? JackNoStartServer : static_cast<jack_options_t>(JackNoStartServer | JackServerName);
    jack_client_t* client = jack_client_open(name.c_str(), options, nullptr, server.c_str());
    if (!client) {
        std::fprintf(stderr, "lv2_host: no JACK server\n");
        return 1;
    }
    const double rate = jack_get_sample_rate(client);
    LV2_Worker_Schedule schedule{host.get(), &Schedule};
    const LV2_Feature mapFeature{LV2_URID__map, host->urids.Feature()};
    const LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, nullptr};
    host->instance = lilv_plugin_instantiate(plugin, rate, features);
    if (!host->instance) {
        std::fprintf(stderr, "lv2_host: the instrument refused to instantiate\n");
        return 1;
    }
    host->worker = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(host->instance, LV2_WORKER__interface));

    std::vector<float> mins(kPortCount), maxs(kPortCount), defaults(kPortCount);
    lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), defaults.data());
    host->controls.assign(kPortCount, 0.0f);
    for (uint32_t p = kFirstParam; p < kPortCount; ++p) {
        host->controls[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
        lilv_instance_connect_port(host->instance, p, &host->controls[p]);
    }
    host->controls[kPolyphony] = static_cast<float>(polyphony);
    lilv_instance_connect_port(host->instance, kMidiIn, host->events.data());
    lilv_instance_connect_port(host->instance, kNotify, host->notify.data());
    lilv_instance_activate(host->instance);

    std::atomic<bool> stopWorker{false};
    std::thread worker([&] {
        LV2_Handle handle = lilv_instance_get_handle(host->instance);
        for (;;) {
            host->pending.acquire();
            if (stopWorker) return;
            host->requests.Pop([&](uint32_t size, const void* data) {
                host->worker->work(handle, &Respond, host.get(), size, data);
            });
        }
    });

    host->midi = jack_port_register(client, "events", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    host->left = jack_port_register(client, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    host->right = jack_port_register(client, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &Process, host.get());
    if (!host->midi || !host->left || !host->right || jack_activate(client) != 0) {
        std::fprintf(stderr, "lv2_host: cannot activate the JACK client\n");
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::printf("client %s\n", jack_get_client_name(client));
    std::fflush(stdout);

    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, host->urids.Feature());
    const LV2_URID patchSet = host->urids.Map(LV2_PATCH__Set), property = host->urids.Map(LV2_PATCH__property),
                 value = host->urids.Map(LV2_PATCH__value), setKey = host->urids.Map(kSetProperty);
    size_t next = 0;
    auto due = std::chrono::steady_clock::now() + std::chrono::duration<double>(every);
    while (!gStop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (sets.size() < 2 || std::chrono::steady_clock::now() < due) continue;
        due += std::chrono::duration<double>(every);
        if (host->patchSize.load(std::memory_order_acquire) != 0) continue;  // the last one not yet sent
        alignas(8) std::array<uint8_t, 1024> bytes{};
        lv2_atom_forge_set_buffer(&forge, bytes.data(), bytes.size());
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, patchSet);
        lv2_atom_forge_key(&forge, property);
        lv2_atom_forge_urid(&forge, setKey);
        lv2_atom_forge_key(&forge, value);
        const std::string& set = sets[next++ % sets.size()];
        lv2_atom_forge_string(&forge, set.c_str(), static_cast<uint32_t>(set.size()));
        lv2_atom_forge_pop(&forge, &frame);
        std::memcpy(host->patch.data(), bytes.data(), host->patch.size());
        host->patchSize.store(static_cast<uint32_t>(sizeof(LV2_Atom) + reinterpret_cast<LV2_Atom*>(bytes.data())->size),
                              std::memory_order_release);
        std::printf("switch %s\n", set.c_str());
        std::fflush(stdout);
    }

    jack_deactivate(client);
    stopWorker = true;
    host->pending.release();
    worker.join();
    lilv_instance_deactivate(host->instance);
    lilv_instance_free(host->instance);
    jack_client_close(client);
    lilv_node_free(uri);
    lilv_world_free(world);
    return 0;
}
