// The sound engine of one instance: its working values and effect state, the
// parameter levels it reads, the voices and the block render. The set it
// plays belongs to the instance; the engine only reads it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "base/QuickList.h"
#include "base/Relaxed.h"
#include "engine/EngineHost.h"
#include "engine/Voice.h"
#include "engine/VoicePool.h"
#include "engine/WorkingValues.h"

namespace norv {

class TAudioRenderer;
class TPianoWaveTable;

class TEngine {
public:
    // Voices at once, ended ones the host has not killed yet included: twice
    // the largest polyphony worth setting, so that voices stolen in a block
    // still find records until the host kills them.
    static constexpr int32_t kVoiceCapacity = 1024;
    // Frames of the work buffer; longer blocks are rendered in pieces.
    static constexpr int32_t kMixFrames = 8192;

    explicit TEngine(IEngineHost& host, int32_t voiceCapacity = kVoiceCapacity, int32_t mixFrames = kMixFrames);
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;

    // ---- Setup and parameters: the host's main thread ----

    void SetSampleRate(const TAudioRenderer& renderer);
    // Stores a parameter's level and recomputes what derives from it.
    void SetLevel(int32_t index, float level);
    float Level(int32_t index) const { return levels_[static_cast<size_t>(index)]; }
    const ParamLevelArray& Levels() const { return levels_; }
    void UpdateWorkingValues(int32_t index);
    // The set to play from; the caller keeps it alive and swaps it only
    // while no block or voice operation runs.
    void SetTable(const TPianoWaveTable* table) { table_.store(table, std::memory_order_relaxed); }
    const TPianoWaveTable* Table() const { return table_.load(std::memory_order_relaxed); }
    // Frees the delay line.
    void ReleaseDelayLine();

    // ---- The note path and the block: the audio thread ----

    // A new voice, or nullptr: no set to play, or no record left.
    TPianoVoice* StartVoice(const THostVoiceLink& link, float initPitch, intptr_t voiceTag, int32_t maxPolyphony);
    void ReleaseVoice(TPianoVoice& v);
    void KillVoice(TPianoVoice& v);
    // Marks every voice ended; the host kills them after the next block.
    void EndAllVoices();
    bool Holds(const TPianoVoice* v) const { return pool_.Holds(v); }
    int32_t VoiceCount() const { return voices_.Count(); }
    TPianoVoice* VoiceAt(int32_t i) const { return voices_[i]; }
    // Adds `frames` stereo frames into the host's interleaved buffer.
    void RenderBlock(float* dest, int32_t frames);

    TWorkingValues W;
    TEffectState Fx;
    Relaxed<bool> KeyboardNotify{false};
    int32_t MixFrames() const { return mixFrames_; }

private:
    void KeyOffNotice(TPianoVoice& v);
    void StealQuietest(int32_t maxPolyphony);
    void PrepareVoices(const TPianoWaveTable& table, int32_t frames);
    void RenderPiece(const TPianoWaveTable& table, int32_t frames);
    void SweepEndedVoices();
    void AddToHost(float* dest, int32_t frames);

    IEngineHost& host_;
    ParamLevelArray levels_{};
    std::atomic<const TPianoWaveTable*> table_{nullptr};
    TVoicePool pool_;
    TQuickList<TPianoVoice> voices_;
    int32_t mixFrames_;
    std::unique_ptr<float[]> mix_;
    Relaxed<float> maxGainStep_{0};
};

}  // namespace norv
