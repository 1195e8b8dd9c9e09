#include "engine/Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/AudioRenderer.h"
#include "engine/Denormals.h"
#include "engine/MixFast.h"
#include "engine/MixReference.h"
#include "engine/VoiceStart.h"
#include "wavetable/WavTables.h"

namespace norv {

TEngine::TEngine(IEngineHost& host, int32_t voiceCapacity, int32_t mixFrames)
    : host_(host), pool_(voiceCapacity), mixFrames_(std::max(mixFrames, 1)),
      mix_(new float[2 * static_cast<size_t>(mixFrames_)]()) {
    // The list never grows on the note path.
    voices_.Reserve(pool_.Capacity());
    InitEngineConstants(W, Fx);
}

void TEngine::SetSampleRate(const TAudioRenderer& renderer) {
    W.InvSampleRate = static_cast<float>(1.0 / renderer.Rate);
    maxGainStep_ = renderer.MaxGainStep;
    UpdateWorkingValues(-1);
}

void TEngine::SetLevel(int32_t index, float level) {
    if (index < 0 || index >= kParamCount) return;
    levels_[static_cast<size_t>(index)] = level;
    UpdateWorkingValues(index);
}

void TEngine::UpdateWorkingValues(int32_t index) { norv::UpdateWorkingValues(W, levels_, index); }

void TEngine::ReleaseDelayLine() {
    Fx.DelayLine.clear();
    Fx.DelayLine.shrink_to_fit();
}

void TEngine::KeyOffNotice(TPianoVoice& v) {
    if (v.ShownKey == kNoShownKey) return;
    host_.KeyNotice(v.ShownKey, false);
    v.ShownKey = kNoShownKey;
}

void TEngine::StealQuietest(int32_t maxPolyphony) {
    if (maxPolyphony < 1 || voices_.Count() < maxPolyphony) return;
    int32_t sounding = 0;
    TPianoVoice* quietest = nullptr;
    float bound = 2.0f;
    for (int32_t i = 0; i < voices_.Count(); ++i) {
        TPianoVoice* v = voices_[i];
        if (v->Ended) continue;
        ++sounding;
        if (v->Level < bound) {
            bound = v->Level;
            quietest = v;
        }
    }
    if (sounding >= maxPolyphony && quietest) quietest->Ended = true;
}

TPianoVoice* TEngine::StartVoice(const THostVoiceLink& link, float initPitch, intptr_t voiceTag, int32_t maxPolyphony) {
    const TPianoWaveTable* table = Table();
    if (!table || !table->SampleData || table->Samples.empty()) return nullptr;
    StealQuietest(maxPolyphony);
    TPianoVoice* v = pool_.Acquire();
    if (!v) return nullptr;
    v->Link = link;
    v->VoiceTag = voiceTag;
    if (KeyboardNotify) {
        v->ShownKey = static_cast<int32_t>(std::nearbyint(static_cast<double>(initPitch) * 0.01));
        host_.KeyNotice(v->ShownKey, true);
    } else {
        v->ShownKey = kNoShownKey;
    }
    SetupVoice(*v, *link.InitVolume, *link.CurPitch, W, levels_, *table);
    v->FilterL = v->PrevL = v->FilterR = v->PrevR = 0;
    v->GainIncL = v->GainIncR = v->GainL = v->GainR = v->GainEndL = v->GainEndR = 0;
    v->Ended = false;
    voices_.Add(v);  // room was reserved for every record
    return v;
}

void TEngine::ReleaseVoice(TPianoVoice& v) {
    const TPianoWaveTable* table = Table();
    const bool high = table && table->ReleaseHighNotes;
    v.DecayCoef = ReleaseCoefficient(v.Key, Level(kRelease), high, W.InvSampleRate);
    KeyOffNotice(v);
}

void TEngine::KillVoice(TPianoVoice& v) {
    KeyOffNotice(v);
    voices_.Remove(&v);
    pool_.Release(&v);
}

void TEngine::EndAllVoices() {
    for (int32_t i = 0; i < voices_.Count(); ++i) voices_[i]->Ended = true;
}

void TEngine::RenderBlock(float* dest, int32_t frames) {
    const TPianoWaveTable* table = Table();
    if (!table || !table->SampleData || voices_.Empty()) return;
    // An empty block adds nothing and moves no state.
    if (!dest || frames <= 0) return;
    // Denormals flushed for the whole block; the host gets its state back.
    const TDenormalGuard denormals;

    PrepareVoices(*table, frames);
    // A block longer than the work buffer goes in pieces: the voices and the
    // effects run on from piece to piece, so the sound is the same.
    for (int32_t done = 0; done < frames;) {
        const int32_t n = std::min(frames - done, mixFrames_);
        RenderPiece(*table, n);
        if (done + n == frames) {
            SweepEndedVoices();
            if (std::fabs(Fx.TrebleStateL) < 1e-10f) Fx.TrebleStateL = 0.0f;
            if (std::fabs(Fx.TrebleStateR) < 1e-10f) Fx.TrebleStateR = 0.0f;
        }
        AddToHost(dest + 2 * static_cast<size_t>(done), n);
        done += n;
    }
}

void TEngine::PrepareVoices(const TPianoWaveTable& table, int32_t frames) {
    const float maxStep = maxGainStep_;
    for (int32_t i = 0; i < voices_.Count(); ++i) {
        TPianoVoice& v = *voices_[i];
        if (v.Ended) continue;
        if (PitchChanged(v)) RecomputeStep(v, W, table);
        const float volume = *v.Link.CurVolume;
        const float lv = volume < 0.0f ? 0.0f : volume;
        if (lv != v.CurveVolume || v.VelSensExp != v.CurveExponent) {
            v.CurveVolume = lv;
            v.CurveExponent = v.VelSensExp;
            v.CurveLevel = lv == 0.0f ? 0.0f : static_cast<float>(std::pow(static_cast<long double>(lv), v.VelSensExp));
        }
        host_.ComputeVoiceGains(&v.GainL, &v.GainR, *v.Link.CurPan, v.CurveLevel);
        float startL, startR;
        PlanGainRamp(v.GainL, v.GainEndL, frames, maxStep, startL, v.GainIncL);
        PlanGainRamp(v.GainR, v.GainEndR, frames, maxStep, startR, v.GainIncR);
        v.GainL = startL;
        v.GainR = startR;
    }
}

void TEngine::RenderPiece(const TPianoWaveTable& table, int32_t frames) {
    float* mix = mix_.get();
    std::memset(mix, 0, sizeof(float) * 2 * static_cast<size_t>(frames));
    TVoiceBlock block;
    block.Data = table.SampleData;
    block.Stereo = table.Stereo;
    block.Overdrive = W.OverdriveAmount;
    block.Mix = mix;
    block.Frames = frames;
    RenderVoiceList(ActiveVoiceRenderer(), voices_, voices_.Count(), block);
    ApplyEffectsReference(Fx, W, mix, frames);
}

void TEngine::SweepEndedVoices() {
    // Backwards: the host may kill the reported voice inside the call.
    for (int32_t i = voices_.Count() - 1; i >= 0; --i) {
        if (i >= voices_.Count()) continue;
        TPianoVoice* v = voices_[i];
        if (LevelHasFaded(v->Level)) v->Ended = true;
        if (v->Ended) host_.VoiceEnded(v->VoiceTag);
    }
}

void TEngine::AddToHost(float* dest, int32_t frames) {
    const float* mix = mix_.get();
    host_.LockMixOutput();
    for (int32_t j = 0; j < 2 * frames; ++j) dest[j] += mix[j];
    host_.UnlockMixOutput();
}

}  // namespace norv
