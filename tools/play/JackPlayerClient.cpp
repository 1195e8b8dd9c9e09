#include "tools/play/JackPlayerClient.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace norv::play {
namespace {

thread_local bool tInProcess = false;

// libjack's own reports (a missing server, a lost socket) would come on
// top of ours, which name the server and what it means for the player.
void Quiet(const char*) {}

std::string StatusText(jack_status_t status) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(status));
    return hex;
}

struct PortList {
    const char** Names;
    explicit PortList(const char** names) : Names(names) {}
    ~PortList() { jack_free(static_cast<void*>(Names)); }
    size_t Size() const {
        size_t n = 0;
        while (Names && Names[n]) ++n;
        return n;
    }
};

}  // namespace

std::string ServerName(const JackOptions& options) {
    if (!options.Server.empty()) return options.Server;
    const char* env = std::getenv("JACK_DEFAULT_SERVER");
    return env && *env ? env : "default";
}

JackPlayerClient::JackPlayerClient(const JackOptions& options) : server_(ServerName(options)) {
    jack_status_t status{};
    jack_set_error_function(Quiet);
    jack_set_info_function(Quiet);
    const int flags = JackNoStartServer | (options.Server.empty() ? 0 : JackServerName);
    client_ = jack_client_open(options.ClientName.c_str(), static_cast<jack_options_t>(flags), &status,
                               options.Server.c_str());
    if (!client_) {
        if (status & JackServerFailed)
            throw std::runtime_error("no JACK server is running (server \"" + server_ + "\"); start one, e.g. jackd -d alsa");
        throw std::runtime_error("JACK server \"" + server_ + "\" refused client \"" + options.ClientName +
                                 "\" (status " + StatusText(status) + ")");
    }
    left_ = jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput | JackPortIsTerminal, 0);
    right_ = jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput | JackPortIsTerminal, 0);
    midi_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput | JackPortIsTerminal, 0);
    if (!left_ || !right_ || !midi_) {
        Close();
        throw std::runtime_error("JACK server \"" + server_ + "\" refused the player's ports");
    }
}

JackPlayerClient::~JackPlayerClient() { Close(); }

std::string JackPlayerClient::Name() const { return client_ ? jack_get_client_name(client_) : ""; }

void JackPlayerClient::Attach(host::LivePlayer& live, host::Host& host, TQuirraPlug* plug, host::CallbackStats* stats) {
    live_ = &live;
    host_ = &host;
    plug_ = plug;
    stats_ = stats;
    ApplyRate(jack_get_sample_rate(client_));
    jack_set_process_callback(client_, Process, this);
    jack_set_sample_rate_callback(client_, OnRate, this);
    jack_set_xrun_callback(client_, OnXrun, this);
    jack_on_shutdown(client_, OnShutdown, this);
}

void JackPlayerClient::Activate() {
    if (jack_activate(client_) != 0)
        throw std::runtime_error("JACK server \"" + server_ + "\" would not start the player's processing");
    active_ = true;
}

std::vector<std::string> JackPlayerClient::ConnectPhysical() {
    std::vector<std::string> made;
    auto connect = [&](const char* from, const char* to) {
        if (jack_connect(client_, from, to) == 0) made.push_back(std::string(from) + " " + to);
    };
    const PortList playback(jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | JackPortIsInput));
    if (playback.Size() > 0) {
        connect(jack_port_name(left_), playback.Names[0]);
        connect(jack_port_name(right_), playback.Names[std::min<size_t>(1, playback.Size() - 1)]);
    }
    const PortList capture(jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsPhysical | JackPortIsOutput));
    for (size_t i = 0; i < capture.Size(); ++i) connect(capture.Names[i], jack_port_name(midi_));
    return made;
}

void JackPlayerClient::Close() {
    if (!client_) return;
    if (active_) jack_deactivate(client_);
    active_ = false;
    jack_client_close(client_);
    client_ = nullptr;
}

bool JackPlayerClient::OnAudioThread() { return tInProcess; }

// JACK's process thread.
int JackPlayerClient::Process(jack_nframes_t frames, void* arg) {
    auto* self = static_cast<JackPlayerClient*>(arg);
    tInProcess = true;
    const double start = self->stats_ ? host::MonotonicSeconds() : 0.0;
    auto* left = static_cast<float*>(jack_port_get_buffer(self->left_, frames));
    auto* right = static_cast<float*>(jack_port_get_buffer(self->right_, frames));
    void* midi = jack_port_get_buffer(self->midi_, frames);
    const auto n = static_cast<int32_t>(frames);
    self->live_->Begin(left, right, n);
    const uint32_t count = jack_midi_get_event_count(midi);
    int32_t last = 0;
    for (uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, i) != 0) continue;
        last = std::clamp(static_cast<int32_t>(event.time), last, std::max(n - 1, 0));
        self->live_->Midi(last, event.buffer, event.size);
    }
    self->live_->End();
    if (self->stats_) {
        const jack_nframes_t rate = self->rate_.load(std::memory_order_relaxed);
        if (rate > 0) self->stats_->Add(host::MonotonicSeconds() - start, static_cast<double>(frames) / rate);
    }
    return 0;
}

// JACK's notification thread (and the setup thread, from Attach).
int JackPlayerClient::OnRate(jack_nframes_t rate, void* arg) {
    static_cast<JackPlayerClient*>(arg)->ApplyRate(rate);
    return 0;
}

void JackPlayerClient::ApplyRate(jack_nframes_t rate) {
    if (rate == 0 || rate == rate_.load()) return;
    {
        // Not LockProcessing: that counts set switches for the GUI.
        std::lock_guard lock(host_->ProcessingMutex());
        plug_->HostCommand(PlugCommand::SetSampleRate, 0, static_cast<intptr_t>(rate));
    }
    rate_ = rate;
    rateChanged_ = true;
}

// JACK's notification thread.
int JackPlayerClient::OnXrun(void* arg) {
    static_cast<JackPlayerClient*>(arg)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// A JACK thread, when the server goes away.
void JackPlayerClient::OnShutdown(void* arg) { static_cast<JackPlayerClient*>(arg)->serverGone_ = true; }

}  // namespace norv::play
