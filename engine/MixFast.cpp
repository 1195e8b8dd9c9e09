// First: it fixes the floating-point contract for this file.
#include "engine/MixFastLanes.h"

#include <atomic>
#include <cstdlib>

#include "engine/MixReference.h"

namespace norv {
namespace {

using mixfast::TGroupRoutine;

bool CpuRunsAVX2() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

bool CpuRunsAVX512() {
#if defined(__x86_64__)
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// The routine that renders a group on `path`, and its lane count; null for
// the reference and for what this CPU or this build cannot run.
TGroupRoutine RoutineFor(TVoiceRenderer path, int32_t& lanes) {
    switch (path) {
        case TVoiceRenderer::Reference:
            lanes = 1;
            return nullptr;
        case TVoiceRenderer::Portable:
            lanes = mixfast::kPortableLanes;
            return &mixfast::RenderGroupPortable;
        case TVoiceRenderer::AVX2:
            lanes = mixfast::kAVX2Lanes;
            return CpuRunsAVX2() ? mixfast::AVX2Routine() : nullptr;
        case TVoiceRenderer::AVX512:
            lanes = mixfast::kAVX512Lanes;
            return CpuRunsAVX512() ? mixfast::AVX512Routine() : nullptr;
    }
    lanes = 1;
    return nullptr;
}

struct TRoutineTable {
    TGroupRoutine Routine[kVoiceRendererCount] = {};
    int32_t Lanes[kVoiceRendererCount] = {};
    bool Available[kVoiceRendererCount] = {};
    TRoutineTable() {
        for (int32_t i = 0; i < kVoiceRendererCount; ++i) {
            const auto path = static_cast<TVoiceRenderer>(i);
            Routine[i] = RoutineFor(path, Lanes[i]);
            Available[i] = path == TVoiceRenderer::Reference || Routine[i] != nullptr;
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
    const int32_t i = Index(path);
    TGroupRoutine routine = gTable.Routine[i];
    int32_t lanes = gTable.Lanes[i];
    if (!routine && path != TVoiceRenderer::Reference) {
        // A path this CPU cannot run renders portably rather than fault.
        routine = &mixfast::RenderGroupPortable;
        lanes = mixfast::kPortableLanes;
    }
    if (!routine) {
        for (int32_t k = 0; k < count; ++k)
            RenderVoiceReference(*voices[k], block.Data, block.Stereo, block.Overdrive, block.Mix, block.Frames);
        return;
    }
    for (int32_t k = 0; k < count; k += lanes) routine(voices + k, count - k < lanes ? count - k : lanes, block);
}

namespace mixfast {

void LoadLanes(TLaneState& s, TPianoVoice* const* voices, int32_t count, int32_t lanes) {
    bool ramp = false;
    for (int32_t k = 0; k < lanes; ++k) {
        const TPianoVoice& v = *voices[k < count ? k : 0];
        s.Pos[k] = v.Pos;
        s.Step[k] = v.Step;
        s.Frac[k] = v.Frac;
        s.LoopEnd[k] = v.LoopEnd;
        s.LoopLength[k] = v.LoopLength;
        s.Level[k] = v.Level * kLevelScale;
        s.Decay[k] = v.DecayCoef;
        s.FilterL[k] = v.FilterL;
        s.PrevL[k] = v.PrevL;
        s.FilterR[k] = v.FilterR;
        s.PrevR[k] = v.PrevR;
        s.Coef[k] = v.FilterCoef;
        s.PanL[k] = v.PanGainL;
        s.PanR[k] = v.PanGainR;
        s.GainL[k] = v.GainL;
        s.GainR[k] = v.GainR;
        s.IncL[k] = v.GainIncL;
        s.IncR[k] = v.GainIncR;
        if (k < count) ramp = ramp || !(v.GainIncL == 0.0f) || !(v.GainIncR == 0.0f);
    }
    s.Count = count;
    s.Ramp = ramp;
}

void StoreLanes(const TLaneState& s, TPianoVoice* const* voices, bool stereo) {
    for (int32_t k = 0; k < s.Count; ++k) {
        TPianoVoice& v = *voices[k];
        v.Pos = s.Pos[k];
        v.Step = s.Step[k];
        v.Frac = s.Frac[k];
        v.Level = s.Level[k] * kLevelUnscale;
        v.FilterL = s.FilterL[k];
        v.PrevL = s.PrevL[k];
        v.FilterR = stereo ? s.FilterR[k] : s.FilterL[k];
        v.PrevR = stereo ? s.PrevR[k] : s.PrevL[k];
        v.GainL = s.GainL[k];
        v.GainR = s.GainR[k];
    }
}

}  // namespace mixfast
}  // namespace norv
