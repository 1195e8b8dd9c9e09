// The audio thread's side of a live host (the JACK player, the LV2
// instrument): one instance played from timed MIDI messages into two channel
// buffers, one period at a time, without allocating or waiting.
//
// A period is Begin, then Midi for each message in time order, then End.
// Sound is rendered up to each message's frame before the message acts, so
// notes are sample-accurate; each piece goes through one RenderMix call of
// at most kChunkFrames frames, so any period length works, and a period
// length that changes while running needs nothing.
//
// The processing lock is only tried: when another thread holds it (a set
// being switched), the period is silence and is counted, and its messages are
// dropped except note-offs and pedal lifts, which are kept for the next period
// so no note can stick.
//
// Panel notes (an editor's keyboard, GUI thread) travel to the audio thread
// through a ring; controller messages travel back through another, for the
// GUI's MIDI links. Neither ring blocks; a full ring drops the message.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "host/HostServices.h"
#include "host/Performer.h"

namespace norv::host {

// One short MIDI message (status byte first), as a ring carries it.
struct MidiMessage {
    uint8_t Bytes[3] = {};
    uint8_t Size = 0;
};

// A single-producer, single-consumer ring of messages; lock-free.
class MidiRing {
public:
    static constexpr size_t kCapacity = 1024;
    bool Push(const MidiMessage& m);  // false when full
    bool Pop(MidiMessage& m);         // false when empty

private:
    std::array<MidiMessage, kCapacity> slots_{};
    std::atomic<size_t> head_{0};  // next to write
    std::atomic<size_t> tail_{0};  // next to read
};

class LivePlayer {
public:
    static constexpr int32_t kChunkFrames = 256;

    // Setup thread. `host` and `plug` outlive the player.
    LivePlayer(Host& host, TQuirraPlug* plug);
    LivePlayer(const LivePlayer&) = delete;
    LivePlayer& operator=(const LivePlayer&) = delete;

    // Audio thread. Starts a period of `frames` frames into `left` and
    // `right`. False when the processing lock was busy: the buffers are then
    // silence and the period is counted; End must still be called.
    bool Begin(float* left, float* right, int32_t frames);
    // Audio thread. One message at `frame` (0..frames-1, not before the last).
    void Midi(int32_t frame, const uint8_t* bytes, size_t size);
    // Audio thread. Renders the rest of the period and lets the lock go.
    void End();

    // GUI thread: a note from the panel's keyboard (velocity 0 = off), played
    // at the start of the next period on channel 1.
    void PanelNote(int key, int velocity);
    // GUI thread: the next controller message heard (channel, controller, value), if any.
    bool PopControl(MidiMessage& m);

    // Any thread.
    int64_t SkippedPeriods() const { return skipped_.load(std::memory_order_relaxed); }
    // The most periods skipped one after another (one lock held that long).
    int64_t LongestSkip() const { return longestSkip_.load(std::memory_order_relaxed); }
    int64_t Periods() const { return periods_.load(std::memory_order_relaxed); }

    // Audio thread only (or while no period runs).
    Performer& Notes() { return performer_; }

private:
    void RenderUntil(int32_t frame);
    void Deliver(const uint8_t* bytes, size_t size);

    Host& host_;
    Performer performer_;
    std::array<float, 2 * kChunkFrames> chunk_{};
    float* left_ = nullptr;
    float* right_ = nullptr;
    int32_t frames_ = 0;
    int32_t done_ = 0;
    bool locked_ = false;
    MidiRing panelNotes_;
    MidiRing controls_;
    // Note-offs and pedal lifts of a skipped period, for the next one.
    std::array<MidiMessage, 256> deferred_{};
    size_t deferredCount_ = 0;
    bool releaseAll_ = false;
    std::atomic<int64_t> skipped_{0};
    int64_t skippedRun_ = 0;  // audio thread
    std::atomic<int64_t> longestSkip_{0};
    std::atomic<int64_t> periods_{0};
};

}  // namespace norv::host
