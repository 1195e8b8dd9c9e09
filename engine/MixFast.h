// The production voice renderer. Each voice renders several frames per SIMD
// vector, and the voices are summed in whatever order is fastest, in float:
// the mix stays within 1e-5 of its peak of what the literal reference
// (MixReference.h) gives, and every voice ends the block on the same frame,
// step and gains as there, its level and filter within float roundings.
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
    Portable,   // the compiler's generic vectors, 4 frames at a time
    AVX2,       // AVX2 + FMA, 8 frames at a time
    AVX512,     // AVX-512 F/BW/DQ/VL, 16 frames at a time
};

inline constexpr int32_t kVoiceRendererCount = 4;
inline constexpr int32_t kMaxVoiceLanes = 16;
// Voices handed to the renderer at once.
inline constexpr int32_t kVoiceGroup = 64;

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
// Frames per vector of `path` (1 for the reference).
int32_t VoiceRendererLanes(TVoiceRenderer path);

// The path RenderMix takes: at first use NORV_RENDERER when it names a path
// that this CPU runs, otherwise the best one. Any thread.
TVoiceRenderer ActiveVoiceRenderer();
// Switches every instance of the process to `path`; false, and no change,
// when the CPU cannot run it. Any thread; takes effect at the next block.
bool SetVoiceRenderer(TVoiceRenderer path);

// Renders `count` voices (none ended) for the block, adding them into the
// mix. Audio thread: no allocation, no lock, no system call. Voices whose
// loop cannot bring them back stay on their last frame, silent, as the
// reference does; every voice's LoopEnd is a frame of the data (never
// negative) and the frame after it is readable, as the loader leaves them.
void RenderVoiceGroup(TVoiceRenderer path, TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block);

// Every voice of `list` (list[i] is a TPianoVoice*, i < count) that has not
// ended. Audio thread.
template <class List>
void RenderVoiceList(TVoiceRenderer path, const List& list, int32_t count, const TVoiceBlock& block) {
    if (block.Frames <= 0) return;
    TPianoVoice* group[kVoiceGroup];
    int32_t filled = 0;
    for (int32_t i = 0; i < count; ++i) {
        TPianoVoice* v = list[i];
        if (v->Ended) continue;
        group[filled++] = v;
        if (filled == kVoiceGroup) {
            RenderVoiceGroup(path, group, filled, block);
            filled = 0;
        }
    }
    if (filled > 0) RenderVoiceGroup(path, group, filled, block);
}

}  // namespace norv
