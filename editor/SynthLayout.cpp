#include "editor/SynthLayout.h"

#include "editor/CommonQuickControls.h"

namespace norv {

namespace {
constexpr uint32_t kBig = wwBigLine;
constexpr uint32_t kBigPause = wwBigLine | wwPause;
}  // namespace

const std::array<TKnobLayout, kParamCount> kKnobLayout = {{
    {"DecayWheel", kBigPause, 100, true},
    {"ReleaseWheel", kBigPause, 100, true},
    {"HardnessWheel", kBigPause, 100, true},
    {"VelHardWheel", kBigPause, 100, true},
    {"MuffleWheel", kBig, 50, false},
    {"VelMuffleWheel", kBig, 100, false},
    {"VelSensWheel", kBigPause, 100, true},
    {"StereoWheel", kBig, 100, false},
    {"TuneWheel", kBigPause, 100, true},
    {"DetuneWheel", kBig, 25, false},
    {"StretchWheel", kBigPause, 50, true},
    {"TrebleWheel", kBig, 100, false},
    {"PanTremWheel", kBigPause, 100, true},
    {"LFORateWheel", kBig, 4096, false},
    {"OverdriveWheel", kBig, 50, false},
}};

}  // namespace norv
