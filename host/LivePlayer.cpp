#include "host/LivePlayer.h"

#include <algorithm>

namespace norv::host {
namespace {

enum : uint8_t { kNoteOff = 0x80, kNoteOn = 0x90, kControl = 0xB0, kBend = 0xE0 };

uint8_t Kind(const uint8_t* bytes) { return bytes[0] & 0xF0; }

// Messages that end sound: losing one would leave a note hanging.
bool LetsGo(const uint8_t* bytes, size_t size) {
    if (size < 3) return false;
    const uint8_t kind = Kind(bytes);
    if (kind == kNoteOff || (kind == kNoteOn && bytes[2] == 0)) return true;
    if (kind != kControl) return false;
    const uint8_t c = bytes[1];
    return (c == Controller::Sustain && bytes[2] < 64) || c == Controller::AllSoundOff || c == Controller::ResetAll ||
           c >= Controller::AllNotesOff;
}

}  // namespace

bool MidiRing::Push(const MidiMessage& m) {
    const size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == kCapacity) return false;
    slots_[head % kCapacity] = m;
    head_.store(head + 1, std::memory_order_release);
    return true;
}

bool MidiRing::Pop(MidiMessage& m) {
    const size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail == head_.load(std::memory_order_acquire)) return false;
    m = slots_[tail % kCapacity];
    tail_.store(tail + 1, std::memory_order_release);
    return true;
}

LivePlayer::LivePlayer(Host& host, TQuirraPlug* plug) : host_(host), performer_(host, plug) {}

bool LivePlayer::Begin(float* left, float* right, int32_t frames) {
    periods_.fetch_add(1, std::memory_order_relaxed);
    left_ = left;
    right_ = right;
    frames_ = std::max(frames, 0);
    done_ = 0;
    locked_ = host_.TryLockProcessing();
    if (!locked_) {
        std::fill(left, left + frames_, 0.0f);
        std::fill(right, right + frames_, 0.0f);
        skipped_.fetch_add(1, std::memory_order_relaxed);
        ++skippedRun_;
        if (skippedRun_ > longestSkip_.load(std::memory_order_relaxed))
            longestSkip_.store(skippedRun_, std::memory_order_relaxed);
        return false;
    }
    skippedRun_ = 0;
    if (releaseAll_) {
        releaseAll_ = false;
        for (int ch = 0; ch < kMidiChannels; ++ch) {
            performer_.ControlChange(ch, Controller::Sustain, 0);
            performer_.ControlChange(ch, Controller::AllNotesOff, 0);
        }
    }
    for (size_t i = 0; i < deferredCount_; ++i) Deliver(deferred_[i].Bytes, deferred_[i].Size);
    deferredCount_ = 0;
    MidiMessage m;
    while (panelNotes_.Pop(m)) Deliver(m.Bytes, m.Size);
    return true;
}

void LivePlayer::Midi(int32_t frame, const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0 || size > 3) return;
    if (size == 3 && Kind(bytes) == kControl)
        controls_.Push({{bytes[0], bytes[1], bytes[2]}, 3});  // for the GUI's links; dropped when it lags
    if (!locked_) {
        if (!LetsGo(bytes, size)) return;
        if (deferredCount_ == deferred_.size()) {
            releaseAll_ = true;  // too many to keep: let every note go instead
            return;
        }
        MidiMessage& d = deferred_[deferredCount_++];
        std::copy(bytes, bytes + size, d.Bytes);
        d.Size = static_cast<uint8_t>(size);
        return;
    }
    RenderUntil(std::clamp(frame, done_, frames_));
    Deliver(bytes, size);
}

void LivePlayer::End() {
    if (!locked_) return;
    RenderUntil(frames_);
    locked_ = false;
    host_.UnlockProcessing();
}

void LivePlayer::PanelNote(int key, int velocity) {
    const auto k = static_cast<uint8_t>(std::clamp(key, 0, 127));
    const auto v = static_cast<uint8_t>(std::clamp(velocity, 0, 127));
    panelNotes_.Push(v > 0 ? MidiMessage{{kNoteOn, k, v}, 3} : MidiMessage{{kNoteOff, k, 0}, 3});
}

bool LivePlayer::PopControl(MidiMessage& m) { return controls_.Pop(m); }

void LivePlayer::RenderUntil(int32_t frame) {
    while (done_ < frame) {
        const int32_t n = std::min(frame - done_, kChunkFrames);
        performer_.RenderBlock(chunk_.data(), n);
        for (int32_t i = 0; i < n; ++i) {
            left_[done_ + i] = chunk_[2 * static_cast<size_t>(i)];
            right_[done_ + i] = chunk_[2 * static_cast<size_t>(i) + 1];
        }
        done_ += n;
    }
}

void LivePlayer::Deliver(const uint8_t* bytes, size_t size) {
    if (size < 2) return;
    const int channel = bytes[0] & 0x0F;
    const int d1 = bytes[1];
    const int d2 = size > 2 ? bytes[2] : 0;
    switch (Kind(bytes)) {
        case kNoteOn:
            if (size == 3) performer_.NoteOn(channel, d1, d2);
            break;
        case kNoteOff:
            performer_.NoteOff(channel, d1);
            break;
        case kControl:
            if (size == 3) performer_.ControlChange(channel, d1, d2);
            break;
        case kBend:
            if (size == 3) performer_.PitchBend(channel, ((d2 & 0x7F) << 7 | (d1 & 0x7F)) - 8192);
            break;
        default:
            break;  // system messages and those the instrument has no use for
    }
}

}  // namespace norv::host
