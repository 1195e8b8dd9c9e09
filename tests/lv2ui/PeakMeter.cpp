#include "lv2ui/PeakMeter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

namespace norv::test {

PeakMeter::PeakMeter(const std::string& server) {
    client_ = jack_client_open("norv_meter", static_cast<jack_options_t>(JackNoStartServer | JackServerName), nullptr,
                               server.c_str());
    if (!client_) return;
    in_[0] = jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    in_[1] = jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    if (!in_[0] || !in_[1] || jack_set_process_callback(client_, Process, this) != 0 || jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
    }
}

PeakMeter::~PeakMeter() {
    if (client_) jack_client_close(client_);
}

bool PeakMeter::Listen(const std::string& left, const std::string& right) {
    if (!client_) return false;
    for (int tries = 0; tries < 100; ++tries) {
        if (jack_connect(client_, left.c_str(), jack_port_name(in_[0])) == 0 &&
            jack_connect(client_, right.c_str(), jack_port_name(in_[1])) == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

int PeakMeter::Process(jack_nframes_t frames, void* self) {
    auto* meter = static_cast<PeakMeter*>(self);
    float peak = meter->peak_;
    for (jack_port_t* port : meter->in_) {
        const auto* samples = static_cast<const float*>(jack_port_get_buffer(port, frames));
        for (jack_nframes_t i = 0; i < frames; ++i) peak = std::max(peak, std::fabs(samples[i]));
    }
    meter->peak_ = peak;
    return 0;
}

}  // namespace norv::test
