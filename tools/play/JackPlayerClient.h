// The instrument as a JACK client: stereo out ("out_left", "out_right"), one
// MIDI in ("midi_in"). Each process callback plays one LivePlayer period over
// the MIDI events of that period; a period size that changes needs nothing,
// since the player cuts any period into chunks. A new sample rate reaches
// the instance under the host's processing lock.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "host/LivePlayer.h"
#include "host/CallbackStats.h"

namespace norv::play {

struct JackOptions {
    std::string ClientName = "norvkeys";
    std::string Server;  // empty: $JACK_DEFAULT_SERVER, else "default"
};

// The server a client with these options talks to, for messages.
std::string ServerName(const JackOptions& options);

class JackPlayerClient {
public:
    // Setup thread. Never starts a server: throws std::runtime_error naming
    // the server when none is running, or when the client cannot be made.
    explicit JackPlayerClient(const JackOptions& options);
    ~JackPlayerClient();
    JackPlayerClient(const JackPlayerClient&) = delete;
    JackPlayerClient& operator=(const JackPlayerClient&) = delete;

    // The name the server gave the client (it may add a number).
    std::string Name() const;
    int32_t SampleRate() const { return static_cast<int32_t>(rate_.load()); }

    // Setup thread, once, before Activate. The instance gets the server's
    // rate at once. `stats` (may be null) then times every callback.
    void Attach(host::LivePlayer& live, host::Host& host, TQuirraPlug* plug, host::CallbackStats* stats);
    // Setup thread. Throws std::runtime_error when the server refuses.
    void Activate();
    // Setup thread: the outputs to the first two physical playback ports,
    // every physical MIDI capture port to midi_in. One "FROM TO" per connection made.
    std::vector<std::string> ConnectPhysical();
    // Any non-audio thread. Returns once the audio thread has stopped for good.
    void Close();

    // Any thread.
    int64_t Xruns() const { return xruns_.load(std::memory_order_relaxed); }
    bool ServerGone() const { return serverGone_.load(); }
    // GUI thread: whether the rate changed since the last call.
    bool TakeRateChange() { return rateChanged_.exchange(false); }

    // Whether the calling thread is inside this program's process callback.
    static bool OnAudioThread();

private:
    static int Process(jack_nframes_t frames, void* self);
    static int OnRate(jack_nframes_t rate, void* self);
    static int OnXrun(void* self);
    static void OnShutdown(void* self);
    void ApplyRate(jack_nframes_t rate);

    std::string server_;
    jack_client_t* client_ = nullptr;
    jack_port_t* left_ = nullptr;
    jack_port_t* right_ = nullptr;
    jack_port_t* midi_ = nullptr;
    host::LivePlayer* live_ = nullptr;
    host::Host* host_ = nullptr;
    TQuirraPlug* plug_ = nullptr;
    host::CallbackStats* stats_ = nullptr;
    bool active_ = false;
    std::atomic<jack_nframes_t> rate_{0};
    std::atomic<bool> rateChanged_{false};
    std::atomic<int64_t> xruns_{0};
    std::atomic<bool> serverGone_{false};
};

}  // namespace norv::play
