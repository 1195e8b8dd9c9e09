// A JACK client of the test that hears two output ports of another client
// and keeps the loudest sample since it was last reset.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <string>

namespace norv::test {

class PeakMeter {
public:
    // Joins the JACK server `server`; Ok() tells whether that worked.
    explicit PeakMeter(const std::string& server);
    ~PeakMeter();
    PeakMeter(const PeakMeter&) = delete;
    PeakMeter& operator=(const PeakMeter&) = delete;

    bool Ok() const { return client_ != nullptr; }
    // Connects the two ports (full names) to the meter, retrying while they do
    // not exist yet; false when they never appear.
    bool Listen(const std::string& left, const std::string& right);
    // Any thread.
    void Reset() { peak_ = 0.0f; }
    float Peak() const { return peak_; }

private:
    static int Process(jack_nframes_t frames, void* self);  // JACK's process thread

    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {};
    std::atomic<float> peak_{0.0f};
};

}  // namespace norv::test
