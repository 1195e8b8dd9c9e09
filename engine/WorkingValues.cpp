#include "engine/WorkingValues.h"

#include "engine/VoiceShape.h"

namespace norv {
namespace {

// The order in which a full recomputation visits the parameters.
constexpr ParamIndex kDeriveOrder[] = {kHardness, kVelHard, kVelMuffle, kTreble, kPanTrem, kLFORate,
                                       kVelSens,  kTune,    kDetune,    kStretch, kOverdrive, kStereo};

void Derive(TWorkingValues& w, const ParamLevelArray& levels, int32_t index) {
    const TParamInfo& p = kParams[static_cast<size_t>(index)];
    if (p.Derive) p.Derive(w, SoundLevel(levels[static_cast<size_t>(index)].load()));
}

}  // namespace

void UpdateWorkingValues(TWorkingValues& w, const ParamLevelArray& levels, int32_t index) {
    if (index == -1) {
        for (ParamIndex i : kDeriveOrder) Derive(w, levels, i);
    } else if (index >= 0 && index < kParamCount) {
        Derive(w, levels, index);
    }
}

void InitEngineConstants(TWorkingValues& w, TEffectState& fx) {
    w.Volume = kVoiceVolume;
    w.MuffleScale = kMuffleScale;
    w.LfoStep = 0;
    fx.DelayIndex = 0;
    fx.TrebleStateL = 0;
    fx.TrebleStateR = 0;
    fx.LfoSin = 0;
    fx.LfoCos = 1.0f;
    fx.DelayMask = 127;
    fx.DelayLine.assign(256, 0.0f);
}

}  // namespace norv
