// The live player's host: what the instance tells it becomes one printed
// line per event, and each knob's menu offers "MIDI learn" and "Forget MIDI
// link". Controller messages heard on the audio side come here (GUI thread)
// to be learned, or to turn the knob they are linked to.
#pragma once

#include <array>
#include <functional>
#include <string>

#include "engine/Parameters.h"
#include "host/HostServices.h"
#include "host/LivePlayer.h"
#include "tools/play/MidiLinks.h"

namespace norv::play {

enum MenuItemIndex : int { kLearnItem = 0, kForgetItem = 1 };

class PlayerHost : public host::Host {
public:
    explicit PlayerHost(const std::string& pluginPath);

    // Setup thread: the one instance this host plays.
    void SetInstance(TQuirraPlug* plug) { plug_ = plug; }

    // GUI thread: a controller message taken from the audio side.
    void HearControl(const host::MidiMessage& message);

    MidiLinks Links;
    // One line per event ("learn 4 1 74", "param 4 1234"); standard output by default.
    std::function<void(const std::string&)> Log;
    // A line for the window's status line ("Move a controller to link Decay").
    std::function<void(const std::string&)> Notice;
    // The value a linked controller's 0..127 puts knob `param` at: its range, end to end.
    static int KnobValue(int param, int controllerValue);

    // THostServices: GUI thread, except LockProcessing from any thread.
    intptr_t HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) override;
    void NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) override;
    void LockProcessing() override;

    // Knob moves and linked moves told to this host, per parameter (GUI thread).
    std::array<int, kParamCount> LastParamValue{};

private:
    const THostMenuItem* MenuItem(int param, int item);
    void RunMenuItem(int param, int item);
    void MoveKnob(int param, int value);
    std::string ParamName(int param) const;

    TQuirraPlug* plug_ = nullptr;
    std::string forgetCaption_;
    THostMenuItem item_{};
};

}  // namespace norv::play
