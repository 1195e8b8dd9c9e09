#include "editor/SynthLayout.h"

#include "editor/CommonQuickControls.h"

namespace norv {

namespace {
constexpr uint32_t kBig = wwBigLine;
constexpr uint32_t kBigPause = wwBigLine | wwPause;
}  // namespace

const std::array<TKnobLayout, 15> kKnobLayout = {{
    {"DecayWheel", 28, 76, kBigPause, 100, -1000, 1000, 0, 0, true, "|^b^a衰减"},
    {"ReleaseWheel", 71, 76, kBigPause, 100, -1000, 1000, 0, 0, true, "|^b^a释放"},
    {"HardnessWheel", 261, 119, kBigPause, 100, -1000, 1000, 0, 0, true, "|^b^a硬度"},
    {"VelHardWheel", 218, 119, kBigPause, 100, -1000, 1000, -1000, 0, true, "|^b^a力度到硬度"},
    {"MuffleWheel", 261, 76, kBig, 50, 0, 1000, 784, 784, false, "|^b^a消声"},
    {"VelMuffleWheel", 218, 76, kBig, 100, 0, 2000, 502, 502, false, "|^b^a力度到消声"},
    {"VelSensWheel", 315, 119, kBigPause, 100, -1000, 1000, -248, 0, true, "|^b^a力度灵敏度"},
    {"StereoWheel", 71, 119, kBig, 100, 0, 2000, 1000, 1000, false, "|^b^a立体声"},
    {"TuneWheel", 315, 76, kBigPause, 100, -1000, 1000, 0, 0, true, "|^b^a调谐"},
    {"DetuneWheel", 356, 76, kBig, 25, 0, 500, 123, 123, false, "|^b^a失谐"},
    {"StretchWheel", 166, 119, kBigPause, 50, -500, 500, 0, 0, true, "|^b^a拉伸"},
    {"TrebleWheel", 123, 119, kBig, 100, -1000, 1000, 0, 0, false, "|^b^a高音"},
    {"PanTremWheel", 28, 119, kBigPause, 100, -1000, 1000, 0, 0, true, "|^b^a声像/颤音"},
    {"LFORateWheel", 166, 76, kBig, 4096, 0, 65536, 0, 0, false, "|^b^aLFO 速率"},
    {"OverdriveWheel", 123, 76, kBig, 50, 0, 1000, 0, 0, false, "|^b^a过激励"},
}};

}  // namespace norv
