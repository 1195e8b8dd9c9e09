#include "support/jack/JackRig.h"

#include <fcntl.h>
#include <jack/midiport.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <thread>

#include "support/WaitUntil.h"
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

// Polling a server that is still starting makes the library complain.
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
    jack_set_error_function(Quiet);
    jack_set_info_function(Quiet);
    bool ready = false, ended = false;
    WaitUntil(
        [&] {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) return ended = true;
            jack_client_t* c = Open(name, "norvtest-ready");
            if (c) jack_client_close(c);
            return ready = c != nullptr;
        },
        std::chrono::seconds(60), 20ms);
    if (ended) pid_ = -1;
    if (ready) name_ = name;
}

JackServer::~JackServer() { Stop(); }

int JackServer::Stop() {
    if (pid_ <= 0) return status_;
    kill(pid_, SIGTERM);
    int status = 0;
    if (WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, std::chrono::seconds(30), 10ms)) {
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        return status_;
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    status_ = -1;
    return status_;
}

JackProbe::JackProbe(const std::string& server) {
    client_ = Open(server, "norv_probe");
    if (!client_) return;
    out_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    inLeft_ = jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    inRight_ = jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (!out_ || !inLeft_ || !inRight_ || jack_set_process_callback(client_, Process, this) != 0 ||
        jack_set_port_registration_callback(client_, PortsChanged, this) != 0 ||
        jack_set_port_connect_callback(client_, PortsConnected, this) != 0 || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

JackProbe::~JackProbe() {
    if (!client_) return;
    jack_deactivate(client_);
    jack_client_close(client_);
}

void JackProbe::PortsChanged(jack_port_id_t, int, void* self) {
    auto* probe = static_cast<JackProbe*>(self);
    {
        std::lock_guard lock(probe->graphLock_);
        ++probe->graphChanges_;
    }
    probe->graphChanged_.notify_all();
}

void JackProbe::PortsConnected(jack_port_id_t, jack_port_id_t, int, void* self) { PortsChanged(0, 0, self); }

bool JackProbe::Connect(const std::string& from, const std::string& to, std::chrono::milliseconds patience) {
    if (!client_) return false;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    // The notice of a change comes before the server's next cycle switches
    // its graph, so the graph is asked again a period later.
    const auto period = std::chrono::milliseconds(
        1 + 1000 * jack_get_buffer_size(client_) / std::max<jack_nframes_t>(1, jack_get_sample_rate(client_)));
    bool asked = false;
    for (;;) {
        uint64_t seen;
        {
            std::lock_guard lock(graphLock_);
            seen = graphChanges_;
        }
        // No lock held across calls into JACK: its notices take the lock.
        jack_port_t* source = jack_port_by_name(client_, from.c_str());
        if (source && jack_port_by_name(client_, to.c_str())) {
            if (jack_port_connected_to(source, to.c_str()) == 1) return true;
            if (!asked) {
                const int result = jack_connect(client_, from.c_str(), to.c_str());
                asked = result == 0 || result == EEXIST;
            }
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        std::unique_lock lock(graphLock_);
        graphChanged_.wait_until(lock, std::min(deadline, now + period), [&] { return graphChanges_ != seen; });
    }
}

bool JackProbe::ConnectTo(const std::string& client, const std::string& midiIn) {
    return Ok() && Connect(MidiOut(), client + ":" + midiIn) && Connect(client + ":out_left", InLeft()) &&
           Connect(client + ":out_right", InRight());
}

void JackProbe::Send(uint8_t status, uint8_t data1, uint8_t data2) {
    host::MidiMessage m;
    m.Bytes[0] = status;
    m.Bytes[1] = data1;
    m.Bytes[2] = data2;
    m.Size = 3;
    outgoing_.Push(m);
}

bool JackProbe::WaitFrames(int64_t frames) {
    const int64_t until = frames_.load() + frames;
    // Generous: a loaded machine runs the dummy driver late, never this late.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (frames_.load() < until) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

float JackProbe::ListenPeak(int64_t frames) {
    if (!client_) return -1.0f;
    // Whatever the period in flight holds belongs to the time before.
    if (!WaitFrames(2 * jack_get_buffer_size(client_))) return -1.0f;
    peak_ = 0.0f;
    return WaitFrames(frames) ? peak_.load() : -1.0f;
}

float JackProbe::PeakAfter(int64_t frames) {
    if (!client_) return -1.0f;
    return WaitFrames(frames) ? peak_.load() : -1.0f;
}

void JackProbe::Record(size_t frames) {
    // The process thread leaves the buffers alone until told to record.
    left_.assign(frames, 0.0f);
    right_.assign(frames, 0.0f);
    written_.store(0);
    recording_.store(true);
}

int JackProbe::Process(jack_nframes_t n, void* arg) {
    auto* self = static_cast<JackProbe*>(arg);
    // Read before the MIDI goes out, so that a note sent after Record() is never early.
    const bool recording = self->recording_.load();
    void* midi = jack_port_get_buffer(self->out_, n);
    jack_midi_clear_buffer(midi);
    host::MidiMessage m;
    while (self->outgoing_.Pop(m)) jack_midi_event_write(midi, 0, m.Bytes, m.Size);
    const auto* left = static_cast<const float*>(jack_port_get_buffer(self->inLeft_, n));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(self->inRight_, n));
    float peak = 0.0f;
    for (jack_nframes_t i = 0; i < n; ++i) peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    float seen = self->peak_.load();
    while (peak > seen && !self->peak_.compare_exchange_weak(seen, peak)) {
    }
    if (recording) {
        const size_t at = self->written_.load();
        const size_t count = std::min<size_t>(n, self->left_.size() - at);
        std::copy(left, left + count, self->left_.begin() + static_cast<ptrdiff_t>(at));
        std::copy(right, right + count, self->right_.begin() + static_cast<ptrdiff_t>(at));
        self->written_.store(at + count);
        if (at + count >= self->left_.size()) self->recording_.store(false);
    }
    self->frames_ += n;
    return 0;
}

}  // namespace norv::test
