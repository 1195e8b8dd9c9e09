// The production voice renderer. The voices of a block are rendered in groups,
// one voice per SIMD lane, each lane following the literal reference
// (MixReference.h) step for step; the per-voice results are then added into
// the mix in list order, so the mix is what the reference gives up to a rare
// last-bit difference (the wider intermediates round differently at ties).
//
// The path is chosen once per process from the CPU, or from the environment
// variable NORV_RENDERER (reference, portable, avx2, avx512); tests and
// benchmarks may switch it at any time.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/Voice.h"

namespace norv {

enum class TVoiceRenderer : int32_t {
    Reference,  // RenderVoiceReference, one voice after another
    Portable,   // plain C++, a few voices interleaved
    AVX2,       // AVX2 + FMA, 8 voices per group
    AVX512,     // AVX-512 F/BW/DQ/VL, 16 voices per group
};

inline constexpr int32_t kVoiceRendererCount = 4;
inline constexpr int32_t kMaxVoiceLanes = 16;

// One block as the voices see it.
struct TVoiceBlock {
    const int16_t* Data = nullptr;  // the set's frames (interleaved when Stereo)
    bool Stereo = false;
    float Overdrive = 0;
    float* Mix = nullptr;  // Frames interleaved stereo frames, added into
    int32_t Frames = 0;
};

// Whether this CPU runs `path`. Any thread.
bool VoiceRendererAvailable(TVoiceRenderer path);
// "reference", "portable", "avx2", "avx512".
const char* VoiceRendererName(TVoiceRenderer path);
// The inverse of VoiceRendererName; false for any other text.
bool ParseVoiceRenderer(std::string_view text, TVoiceRenderer& path);
// The fastest path this CPU runs.
TVoiceRenderer BestVoiceRenderer();
// Voices per group of `path`.
int32_t VoiceRendererLanes(TVoiceRenderer path);

// The path RenderMix takes: at first use NORV_RENDERER when it names a path
// that this CPU runs, otherwise the best one. Any thread.
TVoiceRenderer ActiveVoiceRenderer();
// Switches every instance of the process to `path`; false, and no change,
// when the CPU cannot run it. Any thread; takes effect at the next block.
bool SetVoiceRenderer(TVoiceRenderer path);

// Renders `count` voices (none ended) for the block, adding each voice into
// the mix in the order given; groups of VoiceRendererLanes(path). Audio
// thread: no allocation, no lock. Voices whose loop cannot bring them back
// stay on their last frame, silent, as the reference does; every voice's
// LoopEnd is a frame of the data (never negative), as the loader leaves it.
void RenderVoiceGroup(TVoiceRenderer path, TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block);

// Every voice of `list` (list[i] is a TPianoVoice*, i < count) that has not
// ended, in list order. Audio thread.
template <class List>
void RenderVoiceList(TVoiceRenderer path, const List& list, int32_t count, const TVoiceBlock& block) {
    if (block.Frames <= 0) return;
    const int32_t lanes = VoiceRendererLanes(path);
    TPianoVoice* group[kMaxVoiceLanes];
    int32_t filled = 0;
    for (int32_t i = 0; i < count; ++i) {
        TPianoVoice* v = list[i];
        if (v->Ended) continue;
        group[filled++] = v;
        if (filled == lanes) {
            RenderVoiceGroup(path, group, filled, block);
            filled = 0;
        }
    }
    if (filled > 0) RenderVoiceGroup(path, group, filled, block);
}

}  // namespace norv
