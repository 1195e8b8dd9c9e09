#include "editor/SynthLayout.h"

#include "editor/CommonQuickControls.h"

namespace norv {

namespace {
constexpr uint32_t kBig = wwBigLine;
constexpr uint32_t kBigPause = wwBigLine | wwPause;
}  // namespace

const std::array<TKnobLayout, kParamCount> kKnobLayout = {{
    {"DecayWheel", 28, 76, kBigPause, 100, true},
    {"ReleaseWheel", 71, 76, kBigPause, 100, true},
    {"HardnessWheel", 261, 119, kBigPause, 100, true},
    {"VelHardWheel", 218, 119, kBigPause, 100, true},
    {"MuffleWheel", 261, 76, kBig, 50, false},
    {"VelMuffleWheel", 218, 76, kBig, 100, false},
    {"VelSensWheel", 315, 119, kBigPause, 100, true},
    {"StereoWheel", 71, 119, kBig, 100, false},
    {"TuneWheel", 315, 76, kBigPause, 100, true},
    {"DetuneWheel", 356, 76, kBig, 25, false},
    {"StretchWheel", 166, 119, kBigPause, 50, true},
    {"TrebleWheel", 123, 119, kBig, 100, false},
    {"PanTremWheel", 28, 119, kBigPause, 100, true},
    {"LFORateWheel", 166, 76, kBig, 4096, false},
    {"OverdriveWheel", 123, 76, kBig, 50, false},
}};

}  // namespace norv
