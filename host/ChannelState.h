// What one MIDI channel holds for the notes it plays, and how the host turns
// it into the fields of a voice record.
#pragma once

#include <algorithm>
#include <cstdint>

namespace norv::host {

inline constexpr int kMidiChannels = 16;
inline constexpr float kBendRangeCents = 200.0f;  // +-2 semitones

// Controllers the note side acts on.
namespace Controller {
enum : int {
    Volume = 7,
    Pan = 10,
    Expression = 11,
    Sustain = 64,
    AllSoundOff = 120,
    ResetAll = 121,
    AllNotesOff = 123,
    // 124..127 switch the channel mode; each also ends the channel's notes.
    OmniOff = 124,
    PolyOn = 127,
};
}

struct ChannelState {
    int Volume = 127;      // CC7
    int Pan = 64;          // CC10
    int Expression = 127;  // CC11
    bool Sustain = false;  // CC64 >= 64
    int Bend = 0;          // -8192..8191

    // CC121: bend, expression and pedal back to rest; volume and pan stay,
    // as players expect of "reset all controllers".
    void ResetControllers() {
        Bend = 0;
        Expression = 127;
        Sustain = false;
    }
};

// Cents of a bend value: the full range of -8192..8191 spans +-2 semitones.
inline float BendCents(int bend) { return static_cast<float>(bend) * (kBendRangeCents / 8192.0f); }

// CC10 as a pan position: 0 hard left .. 64 centre .. 127 (clamped to) hard right.
inline float PanPosition(int value) { return std::clamp((static_cast<float>(value) - 64.0f) / 64.0f, -1.0f, 1.0f); }

// The note-on level: velocity 100 is 1.0.
inline float InitVolumeOf(int velocity) { return static_cast<float>(velocity) / 100.0f; }

inline float CurVolumeOf(float initVolume, const ChannelState& ch) {
    return initVolume * (static_cast<float>(ch.Volume) / 127.0f) * (static_cast<float>(ch.Expression) / 127.0f);
}

// Cents relative to key 60, bend included.
inline float CurPitchOf(int key, const ChannelState& ch) {
    return 100.0f * static_cast<float>(key - 60) + BendCents(ch.Bend);
}

}  // namespace norv::host
