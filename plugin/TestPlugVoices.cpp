// Voices: start with stealing, release, kill, and ending them all.
#include <cmath>
#include <new>

#include "editor/SynthForm.h"
#include "engine/VoiceStart.h"
#include "plugin/TestPlug.h"
#include "toolkit/Application.h"
#include "wavetable/WavTables.h"

namespace norv {

void TTestPlug::PostKeyNotice(int32_t key, bool sounding) {
    tk::Application().PostMessage(KeyNoticeWindow, KeyStateMessage, key, sounding ? 1 : 0);
}

void TTestPlug::KeyOffNotice(TPianoVoice& v) {
    if (v.ShownKey == kNoShownKey) return;
    PostKeyNotice(v.ShownKey, false);
    v.ShownKey = kNoShownKey;
}

intptr_t TTestPlug::StartVoice(THostVoiceRecord* record, intptr_t voiceTag) {
    const TPianoWaveTable* table = WaveTable.get();
    if (!record || !table || !table->SampleData || table->Samples.empty()) return -1;

    const int32_t limit = MaxPolyphony;
    if (limit >= 1 && Voices->Count() >= limit) {
        int32_t sounding = 0;
        TPianoVoice* quietest = nullptr;
        float bound = 2.0f;
        for (int32_t i = 0; i < Voices->Count(); ++i) {
            TPianoVoice* v = (*Voices)[i];
            if (v->Ended) continue;
            ++sounding;
            if (v->Level < bound) {
                bound = v->Level;
                quietest = v;
            }
        }
        if (sounding >= limit && quietest) quietest->Ended = true;
    }

    auto* v = new (std::nothrow) TPianoVoice;
    if (!v) return -1;
    v->HostRecord = record;
    v->VoiceTag = voiceTag;
    if (KeyboardNotify) {
        v->ShownKey = static_cast<int32_t>(std::nearbyint(static_cast<double>(record->InitPitch) * 0.01));
        PostKeyNotice(v->ShownKey, true);
    } else {
        v->ShownKey = kNoShownKey;
    }
    SetupVoice(*v, *record, W, ParamLevels, *table);
    v->FilterL = v->PrevL = v->FilterR = v->PrevR = 0;
    v->GainIncL = v->GainIncR = v->GainL = v->GainR = v->GainEndL = v->GainEndR = 0;
    v->Ended = false;
    if (!Voices->Add(v)) {
        KeyOffNotice(*v);
        delete v;
        return -1;
    }
    return reinterpret_cast<intptr_t>(v);
}

void TTestPlug::ReleaseVoice(intptr_t handle) {
    if (handle == -1 || handle == 0) return;
    auto* v = reinterpret_cast<TPianoVoice*>(handle);
    const bool high = WaveTable && WaveTable->ReleaseHighNotes;
    v->DecayCoef = ReleaseCoefficient(v->Key, ParamLevels[kRelease], high, W.InvSampleRate);
    KeyOffNotice(*v);
}

void TTestPlug::KillVoice(intptr_t handle) {
    if (handle == -1 || handle == 0) return;
    auto* v = reinterpret_cast<TPianoVoice*>(handle);
    KeyOffNotice(*v);
    Voices->Remove(v);
    delete v;
}

intptr_t TTestPlug::VoiceEvent(intptr_t, intptr_t, intptr_t, intptr_t) { return 0; }

void TTestPlug::KillAllVoices() {
    while (!Voices->Empty()) {
        Host->NotifyVoiceEnded((*Voices)[0]->VoiceTag, 0);
        if (Voices->Empty()) break;  // the host may have killed it itself
        KillVoice(reinterpret_cast<intptr_t>((*Voices)[0]));
    }
}

}  // namespace norv
