// RenderMix: one block of the instrument's audio, added into the host's buffer.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "engine/Denormals.h"
#include "engine/MixFast.h"
#include "engine/MixReference.h"
#include "engine/VoiceStart.h"
#include "plugin/TestPlug.h"
#include "wavetable/WavTables.h"

namespace norv {

void TTestPlug::RenderMix(float* dest, int32_t* frames) {
    const TPianoWaveTable* table = WaveTable.get();
    if (!table || !table->SampleData || Voices->Empty()) return;
    if (!dest || !frames) return;
    const int32_t n = *frames;
    // An empty block adds nothing and moves no state.
    if (n <= 0) return;
    // Denormals flushed for the whole block; the host gets its state back.
    const TDenormalGuard denormals;

    if (MixCapacity < n) {
        const int32_t capacity = n + 64;
        void* p = std::realloc(MixBuffer, sizeof(float) * 2 * static_cast<size_t>(capacity));
        if (!p) return;
        MixBuffer = static_cast<float*>(p);
        MixCapacity = capacity;
    }

    const float maxStep = Renderer->MaxGainStep;
    for (int32_t i = 0; i < Voices->Count(); ++i) {
        TPianoVoice& v = *(*Voices)[i];
        if (v.Ended) continue;
        const THostVoiceRecord& host = *v.HostRecord;
        if (6000.0L + host.CurPitch != static_cast<long double>(v.PitchCents)) RecomputeStep(v, W, *table);
        const float lv = host.CurVolume < 0.0f ? 0.0f : host.CurVolume;
        const float a = lv == 0.0f ? 0.0f : static_cast<float>(std::pow(static_cast<long double>(lv), v.VelSensExp));
        Host->ComputeVoiceGains(&v.GainL, &v.GainR, host.CurPan, a);
        float startL, startR;
        PlanGainRamp(v.GainL, v.GainEndL, n, maxStep, startL, v.GainIncL);
        PlanGainRamp(v.GainR, v.GainEndR, n, maxStep, startR, v.GainIncR);
        v.GainL = startL;
        v.GainR = startR;
    }

    std::memset(MixBuffer, 0, sizeof(float) * 2 * static_cast<size_t>(n));
    RenderVoices(*table, n);
    ApplyEffectsReference(Fx, W, MixBuffer, n);

    for (int32_t i = Voices->Count() - 1; i >= 0; --i) {
        if (i >= Voices->Count()) continue;
        TPianoVoice* v = (*Voices)[i];
        if (LevelHasFaded(v->Level)) v->Ended = true;
        if (v->Ended) Host->NotifyVoiceEnded(v->VoiceTag, -1);
    }

    if (std::fabs(Fx.TrebleStateL) < 1e-10f) Fx.TrebleStateL = 0.0f;
    if (std::fabs(Fx.TrebleStateR) < 1e-10f) Fx.TrebleStateR = 0.0f;

    Host->LockMixOutput();
    for (int32_t j = 0; j < 2 * n; ++j) dest[j] += MixBuffer[j];
    Host->UnlockMixOutput();
}

void TTestPlug::RenderVoices(const TPianoWaveTable& table, int32_t n) {
    TVoiceBlock block;
    block.Data = table.SampleData;
    block.Stereo = table.Stereo;
    block.Overdrive = W.OverdriveAmount;
    block.Mix = MixBuffer;
    block.Frames = n;
    RenderVoiceList(ActiveVoiceRenderer(), *Voices, Voices->Count(), block);
}

}  // namespace norv
