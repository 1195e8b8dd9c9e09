// The audio thread's entry points: voices and blocks, handed to the engine.
#include "editor/SynthForm.h"
#include "plugin/TestPlug.h"
#include "toolkit/Application.h"

namespace norv {

TPianoVoice* TTestPlug::VoiceOf(intptr_t handle) const {
    auto* v = reinterpret_cast<TPianoVoice*>(handle);
    return Engine.Holds(v) ? v : nullptr;
}

intptr_t TTestPlug::StartVoice(THostVoiceRecord* record, intptr_t voiceTag) {
    if (!record) return -1;
    const THostVoiceLink link{&record->InitVolume, &record->CurPan, &record->CurVolume, &record->CurPitch};
    TPianoVoice* v = Engine.StartVoice(link, record->InitPitch, voiceTag, MaxPolyphony);
    return v ? reinterpret_cast<intptr_t>(v) : -1;
}

void TTestPlug::ReleaseVoice(intptr_t handle) {
    if (TPianoVoice* v = VoiceOf(handle)) Engine.ReleaseVoice(*v);
}

void TTestPlug::KillVoice(intptr_t handle) {
    if (TPianoVoice* v = VoiceOf(handle)) Engine.KillVoice(*v);
}

intptr_t TTestPlug::VoiceEvent(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }

void TTestPlug::RenderMix(float* dest, int32_t* frames) {
    if (!frames) return;
    Engine.RenderBlock(dest, *frames);
}

void TTestPlug::KillAllVoices() {
    while (Engine.VoiceCount() > 0) {
        Host->NotifyVoiceEnded(Engine.VoiceAt(0)->VoiceTag, 0);
        if (Engine.VoiceCount() == 0) break;  // the host may have killed it itself
        KillVoice(reinterpret_cast<intptr_t>(Engine.VoiceAt(0)));
    }
}

void TTestPlug::ComputeVoiceGains(float* left, float* right, float pan, float volume) {
    Host->ComputeVoiceGains(left, right, pan, volume);
}

void TTestPlug::VoiceEnded(intptr_t voiceTag) { Host->NotifyVoiceEnded(voiceTag, -1); }

void TTestPlug::LockMixOutput() { Host->LockMixOutput(); }

void TTestPlug::UnlockMixOutput() { Host->UnlockMixOutput(); }

void TTestPlug::KeyNotice(int32_t key, bool sounding) {
    tk::Application().PostMessage(keyNoticeWindow_, KeyStateMessage, key, sounding ? 1 : 0);
}

}  // namespace norv
