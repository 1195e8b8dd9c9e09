// The host's note side for one instance: MIDI channel messages become voice
// starts, releases and record updates, as a music host plays an instrument.
//
// It keeps no voice pointers of its own: the Host owns the voice records and
// forgets them when the instance ends a voice (NotifyVoiceEnded), so every
// operation looks the voices up afresh. A voice's channel and key, and
// whether its key or only the pedal still holds it, live in its HostVoice.
//
// Choices where MIDI leaves room:
// - A key struck again while its previous voice still sounds (held by the key
//   or by the sustain pedal) releases that voice first, as a piano's damper
//   does before the hammer strikes again; the old sound fades with the
//   release, it is not cut.
// - All notes off (CC123, and the mode messages 124..127) releases every
//   voice of the channel, those held by the pedal too, so no note can stick.
// - All sound off (CC120) sends the instance's EndAllVoices command, which
//   ends the voices of every channel at once.
// - Reset all controllers (CC121) centres the bend, sets expression to 127
//   and lifts the pedal (releasing what it held); volume and pan stay.
//
// All calls come from the thread that renders (a tool's main thread, or a
// live host's audio thread); none allocates.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/ChannelState.h"
#include "host/HostServices.h"
#include "host/MidiFile.h"

namespace norv::host {

class Performer {
public:
    Performer(Host& host, TQuirraPlug* plug);

    // One channel message; messages the instrument has no use for are ignored.
    void Apply(const MidiEvent& event);

    // velocity 0 is a note-off.
    void NoteOn(int channel, int key, int velocity);
    void NoteOff(int channel, int key);
    void ControlChange(int channel, int controller, int value);
    // -8192..8191.
    void PitchBend(int channel, int bend);

    // Writes the channels' current volume, pan and pitch into every voice record.
    void UpdateVoices();
    // UpdateVoices, then one RenderMix of `frames` frames into `interleaved` (zeroed first).
    void RenderBlock(float* interleaved, int32_t frames);

    const ChannelState& Channel(int channel) const { return channels_.at(static_cast<size_t>(channel)); }
    // Voices the host holds for the instance (sounding, released or ended but not yet reported).
    size_t LiveVoices() const;
    int64_t VoicesStarted() const { return started_; }
    // Note-ons the instance refused (StartVoice gave -1).
    int64_t VoicesRefused() const { return refused_; }
    // The most voices still sounding at the end of a block: stolen and
    // faded voices are ended by then, so this is what the polyphony let through.
    size_t PeakVoices() const { return peak_; }

    Host& GetHost() { return host_; }
    TQuirraPlug* Plug() const { return plug_; }

private:
    template <class F>
    void EachVoiceOn(int channel, F&& f);
    void ReleaseHeldByPedal(int channel);
    void AllNotesOff(int channel);

    Host& host_;
    TQuirraPlug* plug_;
    std::array<ChannelState, kMidiChannels> channels_{};
    std::unique_ptr<VoiceRef[]> scratch_;
    int64_t started_ = 0;
    int64_t refused_ = 0;
    size_t peak_ = 0;
};

}  // namespace norv::host
