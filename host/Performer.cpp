#include "host/Performer.h"

#include <algorithm>
#include <mutex>

namespace norv::host {
namespace {

bool ValidChannel(int channel) { return channel >= 0 && channel < kMidiChannels; }
bool ValidData(int value) { return value >= 0 && value <= 127; }

}  // namespace

Performer::Performer(Host& host, TQuirraPlug* plug)
    : host_(host), plug_(plug), scratch_(std::make_unique<VoiceRef[]>(Host::kVoiceCapacity)) {}

void Performer::Apply(const MidiEvent& event) {
    switch (event.type) {
        case MidiType::NoteOn:
            NoteOn(event.channel, event.data1, event.data2);
            break;
        case MidiType::NoteOff:
            NoteOff(event.channel, event.data1);
            break;
        case MidiType::ControlChange:
            ControlChange(event.channel, event.data1, event.data2);
            break;
        case MidiType::PitchBend:
            PitchBend(event.channel, event.Bend());
            break;
        default:
            break;
    }
}

template <class F>
void Performer::EachVoiceOn(int channel, F&& f) {
    // A snapshot first: the calls made for one voice may end others.
    const size_t n = host_.CollectVoices(plug_, {scratch_.get(), Host::kVoiceCapacity});
    for (size_t i = 0; i < n; ++i)
        if (scratch_[i].Live() && scratch_[i].Voice->Channel == channel) f(scratch_[i].Voice);
}

void Performer::NoteOn(int channel, int key, int velocity) {
    if (!ValidChannel(channel) || !ValidData(key) || !ValidData(velocity)) return;
    if (velocity == 0) {
        NoteOff(channel, key);
        return;
    }
    EachVoiceOn(channel, [&](HostVoice* v) {
        if (v->Key == key && !v->Released) host_.ReleaseVoice(v);
    });

    const ChannelState& ch = channels_[static_cast<size_t>(channel)];
    const float init = InitVolumeOf(velocity);
    if (host_.StartVoice(plug_, channel, key, init, CurVolumeOf(init, ch), PanPosition(ch.Pan), CurPitchOf(key, ch)))
        ++started_;
    else
        ++refused_;
}

void Performer::NoteOff(int channel, int key) {
    if (!ValidChannel(channel) || !ValidData(key)) return;
    const bool pedal = channels_[static_cast<size_t>(channel)].Sustain;
    EachVoiceOn(channel, [&](HostVoice* v) {
        if (v->Key != key || !v->KeyDown) return;
        if (pedal)
            v->KeyDown = false;  // the pedal holds it until it goes up
        else
            host_.ReleaseVoice(v);
    });
}

void Performer::ReleaseHeldByPedal(int channel) {
    EachVoiceOn(channel, [&](HostVoice* v) {
        if (!v->KeyDown && !v->Released) host_.ReleaseVoice(v);
    });
}

void Performer::AllNotesOff(int channel) {
    // As note-offs for every key: a pedal that is down keeps holding them (MIDI 1.0).
    const bool pedal = channels_[static_cast<size_t>(channel)].Sustain;
    EachVoiceOn(channel, [&](HostVoice* v) {
        if (!v->KeyDown) return;  // already let go: released, or held by the pedal
        if (pedal)
            v->KeyDown = false;
        else
            host_.ReleaseVoice(v);
    });
}

void Performer::ControlChange(int channel, int controller, int value) {
    if (!ValidChannel(channel) || !ValidData(controller) || !ValidData(value)) return;
    ChannelState& ch = channels_[static_cast<size_t>(channel)];
    switch (controller) {
        case Controller::Volume:
            ch.Volume = value;
            break;
        case Controller::Pan:
            ch.Pan = value;
            break;
        case Controller::Expression:
            ch.Expression = value;
            break;
        case Controller::Sustain: {
            const bool lifted = ch.Sustain && value < 64;
            ch.Sustain = value >= 64;
            if (lifted) ReleaseHeldByPedal(channel);
            break;
        }
        case Controller::AllSoundOff:
            plug_->HostCommand(PlugCommand::EndAllVoices, 0, 0);
            break;
        case Controller::ResetAll: {
            const bool wasDown = ch.Sustain;
            ch.ResetControllers();
            if (wasDown) ReleaseHeldByPedal(channel);
            break;
        }
        default:
            if (controller == Controller::AllNotesOff ||
                (controller >= Controller::OmniOff && controller <= Controller::PolyOn))
                AllNotesOff(channel);
            break;
    }
}

void Performer::PitchBend(int channel, int bend) {
    if (!ValidChannel(channel)) return;
    channels_[static_cast<size_t>(channel)].Bend = std::clamp(bend, -8192, 8191);
}

void Performer::UpdateVoices() {
    std::lock_guard lock(host_.ProcessingMutex());
    host_.ForEachVoice(plug_, [&](HostVoice* v) {
        if (!ValidChannel(v->Channel)) return;  // started by someone else (an on-screen keyboard)
        const ChannelState& ch = channels_[static_cast<size_t>(v->Channel)];
        v->CurVolume = CurVolumeOf(v->InitVolume, ch);
        v->CurPan = PanPosition(ch.Pan);
        v->CurPitch = CurPitchOf(v->Key, ch);
    });
}

void Performer::RenderBlock(float* interleaved, int32_t frames) {
    UpdateVoices();
    host_.RenderBlock(plug_, interleaved, frames);
    peak_ = std::max(peak_, LiveVoices());
}

size_t Performer::LiveVoices() const { return host_.VoiceCount(plug_); }

}  // namespace norv::host
