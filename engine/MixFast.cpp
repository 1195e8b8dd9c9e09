#include "engine/MixFast.h"

#include <atomic>
#include <cstdlib>

#include "base/CpuFeatures.h"
#include "engine/MixFastKernel.h"
#include "engine/MixReference.h"

namespace norv {
namespace {

using mixfast::TGroupRoutine;

// The routine that renders a group on `path`, and its frames per vector;
// null for the reference and for what this CPU or this build cannot run.
TGroupRoutine RoutineFor(TVoiceRenderer path, int32_t& lanes) {
    switch (path) {
        case TVoiceRenderer::Reference:
            lanes = 1;
            return nullptr;
        case TVoiceRenderer::Portable:
            lanes = mixfast::kPortableLanes;
            return mixfast::PortableRoutine();
        case TVoiceRenderer::AVX2:
            lanes = mixfast::kAVX2Lanes;
            return CpuRuns(TSimdLevel::AVX2) ? mixfast::AVX2Routine() : nullptr;
        case TVoiceRenderer::AVX512:
            lanes = mixfast::kAVX512Lanes;
            return CpuRuns(TSimdLevel::AVX512) ? mixfast::AVX512Routine() : nullptr;
    }
    lanes = 1;
    return nullptr;
}

struct TRoutineTable {
    TGroupRoutine Routine[kVoiceRendererCount] = {};
    TRoutineTable() {
        for (int32_t i = 0; i < kVoiceRendererCount; ++i) {
            int32_t lanes;
            Routine[i] = RoutineFor(static_cast<TVoiceRenderer>(i), lanes);
        }
    }
};

// Filled before main (the library's load), so the audio thread never runs
// the CPU query or a guarded static initialisation.
const TRoutineTable gTable;

int32_t Index(TVoiceRenderer path) {
    const auto i = static_cast<int32_t>(path);
    return i >= 0 && i < kVoiceRendererCount ? i : 0;
}

TVoiceRenderer InitialRenderer() {
    TVoiceRenderer path;
    const char* text = std::getenv("NORV_RENDERER");
    if (text && ParseVoiceRenderer(text, path) && VoiceRendererAvailable(path)) return path;
    return BestVoiceRenderer();
}

constexpr int32_t kUnset = -1;
std::atomic<int32_t> gActive{kUnset};
[[maybe_unused]] const bool gActiveSet = [] {
    int32_t expected = kUnset;
    gActive.compare_exchange_strong(expected, static_cast<int32_t>(InitialRenderer()));
    return true;
}();

}  // namespace

bool VoiceRendererAvailable(TVoiceRenderer path) {
    const auto i = static_cast<int32_t>(path);
    if (i < 0 || i >= kVoiceRendererCount) return false;
    // gTable may not be built yet when another file's start-up code asks.
    int32_t lanes;
    return path == TVoiceRenderer::Reference || RoutineFor(path, lanes) != nullptr;
}

const char* VoiceRendererName(TVoiceRenderer path) {
    switch (path) {
        case TVoiceRenderer::Reference: return "reference";
        case TVoiceRenderer::Portable: return "portable";
        case TVoiceRenderer::AVX2: return "avx2";
        case TVoiceRenderer::AVX512: return "avx512";
    }
    return "?";
}

bool ParseVoiceRenderer(std::string_view text, TVoiceRenderer& path) {
    for (int32_t i = 0; i < kVoiceRendererCount; ++i) {
        const auto p = static_cast<TVoiceRenderer>(i);
        if (text == VoiceRendererName(p)) {
            path = p;
            return true;
        }
    }
    return false;
}

TVoiceRenderer BestVoiceRenderer() {
    if (VoiceRendererAvailable(TVoiceRenderer::AVX512)) return TVoiceRenderer::AVX512;
    if (VoiceRendererAvailable(TVoiceRenderer::AVX2)) return TVoiceRenderer::AVX2;
    return TVoiceRenderer::Portable;
}

int32_t VoiceRendererLanes(TVoiceRenderer path) {
    int32_t lanes;
    RoutineFor(path, lanes);
    return lanes;
}

TVoiceRenderer ActiveVoiceRenderer() {
    int32_t v = gActive.load(std::memory_order_relaxed);
    if (v == kUnset) {
        int32_t expected = kUnset;
        gActive.compare_exchange_strong(expected, static_cast<int32_t>(InitialRenderer()));
        v = gActive.load(std::memory_order_relaxed);
    }
    return static_cast<TVoiceRenderer>(v);
}

bool SetVoiceRenderer(TVoiceRenderer path) {
    if (!VoiceRendererAvailable(path)) return false;
    gActive.store(static_cast<int32_t>(path), std::memory_order_relaxed);
    return true;
}

void RenderVoiceGroup(TVoiceRenderer path, TPianoVoice* const* voices, int32_t count, const TVoiceBlock& block) {
    if (count <= 0 || block.Frames <= 0) return;
    TGroupRoutine routine = gTable.Routine[Index(path)];
    if (!routine && path != TVoiceRenderer::Reference) {
        // A path this CPU cannot run renders portably rather than fault.
        routine = mixfast::PortableRoutine();
    }
    if (!routine) {
        for (int32_t k = 0; k < count; ++k)
            RenderVoiceReference(*voices[k], block.Data, block.Stereo, block.Overdrive, block.Mix, block.Frames);
        return;
    }
    routine(voices, count, block);
}

}  // namespace norv
