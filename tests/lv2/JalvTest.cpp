// The bundle in a real LV2 host: jalv on a JACK server of the test's own
// (the dummy driver, no sound card), a note sent into jalv's MIDI input by a
// JACK client of the test, which records jalv's outputs.
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "lv2/Protocol.h"
#include "lv2/Signal.h"
#include "support/XSession.h"

namespace norv::test {
namespace {

using namespace std::chrono_literals;

// A JACK client with one MIDI output and two audio inputs.
class Recorder {
public:
    static constexpr size_t kFrames = 3 * 48000;

    explicit Recorder(const std::string& server) : left_(kFrames), right_(kFrames) {
        // Polling for a server that is still starting makes the library complain.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!client_ && std::chrono::steady_clock::now() < deadline) {
            client_ = jack_client_open("norv_recorder", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                       nullptr, server.c_str());
            if (!client_) std::this_thread::sleep_for(50ms);
        }
        if (!client_) return;
        midi_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        inLeft_ = jack_port_register(client_, "in_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        inRight_ = jack_port_register(client_, "in_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(client_, Process, this);
        jack_activate(client_);
    }
    ~Recorder() {
        if (client_) jack_client_close(client_);
    }
    bool Ok() const { return client_ && midi_ && inLeft_ && inRight_; }

    // Ports of a client that is not yet active refuse connections: keeps trying.
    bool Connect(const std::string& from, const std::string& to, std::chrono::seconds patience = 30s) {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (std::chrono::steady_clock::now() < deadline) {
            if (jack_port_by_name(client_, from.c_str()) && jack_port_by_name(client_, to.c_str()) &&
                jack_connect(client_, from.c_str(), to.c_str()) == 0)
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    std::string Name(jack_port_t* p) const { return jack_port_name(p); }
    jack_port_t* MidiOut() const { return midi_; }
    jack_port_t* InLeft() const { return inLeft_; }
    jack_port_t* InRight() const { return inRight_; }

    // The note goes out in the first period that records.
    void RecordNote(uint8_t key) {
        key_ = key;
        recording_.store(true);
    }
    bool Full() const { return written_.load() >= kFrames; }
    const std::vector<float>& Left() const { return left_; }
    const std::vector<float>& Right() const { return right_; }

private:
    static int Process(jack_nframes_t frames, void* self) {
        return static_cast<Recorder*>(self)->OnPeriod(frames);
    }
    int OnPeriod(jack_nframes_t frames) {
        void* midi = jack_port_get_buffer(midi_, frames);
        jack_midi_clear_buffer(midi);
        if (!recording_.load()) return 0;
        const size_t at = written_.load();
        if (at == 0) {
            const jack_midi_data_t on[3] = {0x90, key_, 100};
            jack_midi_event_write(midi, 0, on, 3);
        }
        const size_t n = std::min<size_t>(frames, kFrames - at);
        const auto* l = static_cast<const float*>(jack_port_get_buffer(inLeft_, frames));
        const auto* r = static_cast<const float*>(jack_port_get_buffer(inRight_, frames));
        std::copy(l, l + n, left_.begin() + static_cast<ptrdiff_t>(at));
        std::copy(r, r + n, right_.begin() + static_cast<ptrdiff_t>(at));
        written_.store(at + n);
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* midi_ = nullptr;
    jack_port_t* inLeft_ = nullptr;
    jack_port_t* inRight_ = nullptr;
    std::vector<float> left_, right_;
    std::atomic<bool> recording_{false};
    std::atomic<size_t> written_{0};
    uint8_t key_ = 60;
};

TEST(Lv2Jalv, JalvPlaysANoteSentToItsMidiInput) {
    const auto jackd = FindProgram("jackd");
    const auto jalv = FindProgram("jalv");
    ASSERT_TRUE(jackd && jalv) << "jackd (jackd2) and jalv must be installed";

    const std::string server = "norv-lv2-" + std::to_string(getpid());
    const std::string client = "norv_jalv_" + std::to_string(getpid());
    setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("LV2_PATH", std::filesystem::path(NORV_LV2_BUNDLE).parent_path().parent_path().c_str(), 1);

    ChildProgram jack({*jackd, "-n", server, "--no-realtime", "-d", "dummy", "-r", "48000", "-p", "256"}, "");
    ASSERT_TRUE(jack.Started());
    Recorder recorder(server);
    ASSERT_TRUE(recorder.Ok()) << "no JACK server " << server;

#ifdef NORV_SANITIZER_RUNTIMES
    // jalv itself is not instrumented: the sanitizers' runtimes must come first.
    setenv("LD_PRELOAD", NORV_SANITIZER_RUNTIMES, 1);
    setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
#endif
    ChildProgram host({*jalv, "-n", client, "-x", lv2::kPluginUri}, "", true);
    unsetenv("LD_PRELOAD");
    ASSERT_TRUE(host.Started());
    ASSERT_TRUE(recorder.Connect(recorder.Name(recorder.MidiOut()), client + ":events")) << "jalv did not come up";
    ASSERT_TRUE(recorder.Connect(client + ":out_left", recorder.Name(recorder.InLeft())));
    ASSERT_TRUE(recorder.Connect(client + ":out_right", recorder.Name(recorder.InRight())));

    recorder.RecordNote(69);
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!recorder.Full() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(recorder.Full()) << "the JACK server stopped running";

    const std::vector<float>& left = recorder.Left();
    EXPECT_GT(Peak(left, 0, left.size()), 0.02) << "the note was silent";
    EXPECT_GT(Peak(recorder.Right(), 0, left.size()), 0.02);
    // jalv's period or two of latency aside, it is the note asked for.
    const size_t from = left.size() / 4, to = left.size() / 2;
    EXPECT_NEAR(Cents(PitchHz(left, from, to, 48000, 300, 600), 440.0), 0.0, 15.0);
    EXPECT_TRUE(host.Alive()) << "jalv ended while playing";
}

}  // namespace
}  // namespace norv::test
