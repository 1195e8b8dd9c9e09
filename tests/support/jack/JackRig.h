// A JACK server of the test's own (jackd with the dummy driver, a unique
// name, ended by its process id) and a probe client of the test that sends
// MIDI into another client and listens to two of its audio outputs.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/LivePlayer.h"

namespace norv::test {

class JackServer {
public:
    // Returns once a client can join. Empty Name() when jackd is missing or
    // did not come up.
    JackServer();
    ~JackServer();  // Stop()
    JackServer(const JackServer&) = delete;
    JackServer& operator=(const JackServer&) = delete;
    const std::string& Name() const { return name_; }
    // Ends it (SIGTERM) and returns its exit status, -1 when it had to be killed.
    int Stop();

private:
    pid_t pid_ = -1;
    std::string name_;
    int status_ = -1;
};

// A server name nobody runs.
std::string UnusedServerName();

// One MIDI output and two audio inputs.
class JackProbe {
public:
    // Joins the server `server`; Ok() tells whether that worked.
    explicit JackProbe(const std::string& server);
    ~JackProbe();
    JackProbe(const JackProbe&) = delete;
    JackProbe& operator=(const JackProbe&) = delete;

    bool Ok() const { return client_ != nullptr; }
    // Full port names, for Connect().
    std::string MidiOut() const { return jack_port_name(out_); }
    std::string InLeft() const { return jack_port_name(inLeft_); }
    std::string InRight() const { return jack_port_name(inRight_); }

    // Returns once the server's graph carries the connection, so what is
    // sent next goes through it. Ports of a client that is not yet active
    // refuse connections: keeps trying until `patience` runs out.
    bool Connect(const std::string& from, const std::string& to,
                 std::chrono::milliseconds patience = std::chrono::seconds(30));
    // The probe's MIDI into `client`:`midiIn`, `client`:out_left and
    // out_right into its inputs, all live.
    bool ConnectTo(const std::string& client, const std::string& midiIn = "midi_in");

    // Sent at the start of the next period.
    void Send(uint8_t status, uint8_t data1, uint8_t data2);

    // The loudest sample of both inputs since the last reset.
    void ResetPeak() { peak_ = 0.0f; }
    float Peak() const { return peak_.load(); }
    // The loudest sample over the next `frames` frames (counted in periods,
    // not in wall time); -1 when the server stalls.
    float ListenPeak(int64_t frames);
    // The loudest sample since the last reset, once `frames` more frames
    // have passed; -1 when the server stalls.
    float PeakAfter(int64_t frames);

    // Records both inputs from the next period on, `frames` of each; a
    // message sent after this call goes out in that period or a later one.
    // Not while a recording runs.
    void Record(size_t frames);
    bool Recorded() const { return written_.load() >= left_.size() && !left_.empty(); }
    // Complete once Recorded().
    const std::vector<float>& Left() const { return left_; }
    const std::vector<float>& Right() const { return right_; }

private:
    static int Process(jack_nframes_t frames, void* self);  // JACK's process thread
    // JACK's notification thread: the graph changed; wakes a waiting Connect.
    static void PortsChanged(jack_port_id_t, int, void* self);
    static void PortsConnected(jack_port_id_t, jack_port_id_t, int, void* self);
    // Waits until `frames` frames have passed since the call; false when the server stalls.
    bool WaitFrames(int64_t frames);

    jack_client_t* client_ = nullptr;
    jack_port_t* out_ = nullptr;
    jack_port_t* inLeft_ = nullptr;
    jack_port_t* inRight_ = nullptr;
    host::MidiRing outgoing_;
    std::atomic<int64_t> frames_{0};
    std::atomic<float> peak_{0.0f};
    std::vector<float> left_, right_;
    std::atomic<bool> recording_{false};
    std::atomic<size_t> written_{0};
    std::mutex graphLock_;
    std::condition_variable graphChanged_;
    uint64_t graphChanges_ = 0;
};

}  // namespace norv::test
