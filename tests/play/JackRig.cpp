#include "play/JackRig.h"

#include <fcntl.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "support/XSession.h"

extern char** environ;

namespace norv::test {
namespace {

using namespace std::chrono_literals;

std::string UniqueName(const char* stem) {
    static int counter = 0;
    return std::string(stem) + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

jack_client_t* Open(const std::string& server, const char* name) {
    jack_status_t status{};
    return jack_client_open(name, static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status,
                            server.c_str());
}

void Quiet(const char*) {}

}  // namespace

std::string UnusedServerName() { return UniqueName("norvtest-none"); }

JackServer::JackServer() {
    const auto jackd = FindProgram("jackd");
    if (!jackd) return;
    const std::string name = UniqueName("norvtest");
    std::vector<std::string> args = {*jackd, "--no-realtime", "-n", name, "-d", "dummy", "-r", "48000", "-p", "256"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, jackd->c_str(), &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ <= 0) return;
    // Up once a client can join.
    jack_set_error_function(Quiet);
    for (int tries = 0; tries < 200; ++tries) {
        if (jack_client_t* c = Open(name, "norvtest-ready")) {
            jack_client_close(c);
            name_ = name;
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
}

JackServer::~JackServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int tries = 0; tries < 200; ++tries) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(25ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
}

Probe::Probe(const std::string& server) {
    client_ = Open(server, "probe");
    if (!client_) throw std::runtime_error("JACK server " + server + " cannot be reached");
    out_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    left_ = jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    right_ = jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, Process, this);
    if (!out_ || !left_ || !right_ || jack_activate(client_) != 0) throw std::runtime_error("probe client failed");
}

Probe::~Probe() {
    jack_deactivate(client_);
    jack_client_close(client_);
}

bool Probe::ConnectTo(const std::string& player) {
    const std::string me = jack_get_client_name(client_);
    return jack_connect(client_, (me + ":midi_out").c_str(), (player + ":midi_in").c_str()) == 0 &&
           jack_connect(client_, (player + ":out_left").c_str(), (me + ":in_left").c_str()) == 0 &&
           jack_connect(client_, (player + ":out_right").c_str(), (me + ":in_right").c_str()) == 0;
}

void Probe::Send(uint8_t status, uint8_t data1, uint8_t data2) {
    host::MidiMessage m;
    m.Bytes[0] = status;
    m.Bytes[1] = data1;
    m.Bytes[2] = data2;
    m.Size = 3;
    outgoing_.Push(m);
}

float Probe::ListenPeak(int64_t frames) {
    // Whatever the period in flight holds belongs to the time before.
    const int64_t settle = frames_.load() + 2 * jack_get_buffer_size(client_);
    for (int tries = 0; frames_.load() < settle && tries < 1000; ++tries) std::this_thread::sleep_for(5ms);
    peak_ = 0.0f;
    const int64_t until = frames_.load() + frames;
    for (int tries = 0; frames_.load() < until; ++tries) {
        if (tries > 4000) return -1.0f;
        std::this_thread::sleep_for(5ms);
    }
    return peak_.load();
}

// JACK's process thread.
int Probe::Process(jack_nframes_t n, void* arg) {
    auto* self = static_cast<Probe*>(arg);
    void* midi = jack_port_get_buffer(self->out_, n);
    jack_midi_clear_buffer(midi);
    host::MidiMessage m;
    while (self->outgoing_.Pop(m)) jack_midi_event_write(midi, 0, m.Bytes, m.Size);
    float peak = 0.0f;
    for (jack_port_t* port : {self->left_, self->right_}) {
        const auto* in = static_cast<const float*>(jack_port_get_buffer(port, n));
        for (jack_nframes_t i = 0; i < n; ++i) peak = std::max(peak, std::fabs(in[i]));
    }
    float seen = self->peak_.load();
    while (peak > seen && !self->peak_.compare_exchange_weak(seen, peak)) {
    }
    self->frames_ += n;
    return 0;
}

}  // namespace norv::test
