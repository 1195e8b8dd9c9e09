// Inside the production voice renderer: the per-CPU routines that render a
// group of voices, each built from MixFastBody.h at its own lane width.
#pragma once

#include <cstdint>

#include "base/Intrinsics.h"
#include "engine/MixFast.h"

namespace norv::mixfast {

// Renders `count` voices (none ended) for the whole block, adding them into
// the mix. Audio thread.
using TGroupRoutine = void (*)(TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block);

// Null where the build has no such routine; whether the CPU runs it is the
// caller's question.
TGroupRoutine PortableRoutine();
TGroupRoutine AVX2Routine();
TGroupRoutine AVX512Routine();

// Frames per vector.
inline constexpr int32_t kPortableLanes = 4;
inline constexpr int32_t kAVX2Lanes = 8;
inline constexpr int32_t kAVX512Lanes = 16;

}  // namespace norv::mixfast
