// A JACK server of the test's own (jackd with the dummy driver, a unique
// name, ended by its process id) and a probe client that plays MIDI into a
// player and listens to its two outputs.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "host/LivePlayer.h"

namespace norv::test {

class JackServer {
public:
    // Empty Name() when jackd is missing or did not come up.
    JackServer();
    ~JackServer();
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;
    const std::string& Name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// A server name nobody runs.
std::string UnusedServerName();

class Probe {
public:
    // Throws std::runtime_error when the server cannot be reached.
    explicit Probe(const std::string& server);
    ~Probe();
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    // Wires the probe to a player client named `player`; false when a port is missing.
    bool ConnectTo(const std::string& player);
    // Sent at the start of the next period.
    void Send(uint8_t status, uint8_t data1, uint8_t data2);
    // The loudest sample of both outputs over the next `frames` frames
    // (counted in periods, not in wall time); -1 when the server stalls.
    float ListenPeak(int64_t frames);

private:
    static int Process(jack_nframes_t frames, void* self);

    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
    host::MidiRing outgoing_;
    std::atomic<int64_t> frames_{0};
    std::atomic<float> peak_{0.0f};
};

}  // namespace norv::test
