#include "tools/play/PlayerHost.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "engine/Parameters.h"
#include "tools/play/JackPlayerClient.h"

namespace norv::play {
namespace {

void PrintLine(const std::string& line) {
    std::cout << line << std::endl;  // flushed: a reader may wait for it
}

bool KnownParam(intptr_t index) { return index >= 0 && index < kParamCount; }

}  // namespace

PlayerHost::PlayerHost(const std::string& pluginPath) : host::Host(pluginPath), Links(kParamCount), Log(PrintLine) {}

int PlayerHost::KnobValue(int param, int controllerValue) {
    const TParamInfo& p = kParams.at(static_cast<size_t>(param));
    const double share = std::clamp(controllerValue, 0, 127) / 127.0;
    return p.Min + static_cast<int>(std::lround(share * (p.Max - p.Min)));
}

std::string PlayerHost::ParamName(int param) const { return kParams.at(static_cast<size_t>(param)).ShortName; }

void PlayerHost::HearControl(const host::MidiMessage& m) {
    if (m.Size < 3 || (m.Bytes[0] & 0xF0) != 0xB0) return;
    const int channel = m.Bytes[0] & 0x0F, controller = m.Bytes[1], value = m.Bytes[2];
    const HeardControl heard = Links.Hear(channel, controller);
    switch (heard.What) {
        case HeardControl::Learned:
            Log("learn " + std::to_string(heard.Param) + " " + std::to_string(channel + 1) + " " +
                std::to_string(controller));
            if (Notice)
                Notice(ParamName(heard.Param) + " follows controller " + std::to_string(controller) + " on channel " +
                       std::to_string(channel + 1));
            MoveKnob(heard.Param, KnobValue(heard.Param, value));
            break;
        case HeardControl::Refused:
            if (Notice)
                Notice("Controller " + std::to_string(controller) + " cannot be linked; move another for " +
                       ParamName(heard.Param));
            break;
        case HeardControl::Moved:
            MoveKnob(heard.Param, KnobValue(heard.Param, value));
            break;
        case HeardControl::Nothing:
            break;
    }
}

void PlayerHost::MoveKnob(int param, int value) {
    if (!plug_) return;
    const intptr_t now = plug_->HandleParameter(param, 0, ParamFlag::Get);
    if (now == value) return;
    // Told to the host first, as the panel tells a knob turned by hand.
    NotifyParamChanged(plug_->HostTag, param, value);
    plug_->HandleParameter(param, value, ParamFlag::Set | ParamFlag::MoveKnob | ParamFlag::ShowText);
}

const THostMenuItem* PlayerHost::MenuItem(int param, int item) {
    if (item == kLearnItem) {
        item_ = {"MIDI learn", Links.Learning() == param ? 2 : 0};
        return &item_;
    }
    if (item == kForgetItem) {
        const std::optional<MidiLink> link = Links.LinkOf(param);
        forgetCaption_ = "Forget MIDI link";
        if (link)
            forgetCaption_ += " (CC " + std::to_string(link->Controller) + ", channel " +
                              std::to_string(link->Channel + 1) + ")";
        item_ = {forgetCaption_.c_str(), link ? 0 : 1};
        return &item_;
    }
    return nullptr;
}

void PlayerHost::RunMenuItem(int param, int item) {
    if (item == kLearnItem) {
        if (Links.Learning() == param) {
            Links.CancelLearn();
            Log("learn-cancel " + std::to_string(param));
            if (Notice) Notice("");
            return;
        }
        Links.Learn(param);
        Log("learning " + std::to_string(param));
        if (Notice) Notice("Move a controller to link it to " + ParamName(param));
    } else if (item == kForgetItem && Links.Forget(param)) {
        Log("forget " + std::to_string(param));
        if (Notice) Notice(ParamName(param) + " follows no controller now");
    }
}

intptr_t PlayerHost::HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) {
    switch (static_cast<int32_t>(opcode)) {
        case HostOpcode::GetParamMenuItem:
            if (!KnownParam(index)) return 0;
            return reinterpret_cast<intptr_t>(MenuItem(static_cast<int>(index), static_cast<int>(value)));
        case HostOpcode::RunParamMenuItem:
            if (KnownParam(index)) RunMenuItem(static_cast<int>(index), static_cast<int>(value));
            return 0;
        default:
            return host::Host::HostDispatch(tag, opcode, index, value);
    }
}

void PlayerHost::NotifyParamChanged(intptr_t, intptr_t index, intptr_t value) {
    // Not kept in a list: a linked controller may move a knob for hours.
    if (KnownParam(index)) LastParamValue[static_cast<size_t>(index)] = static_cast<int>(value);
    Log("param " + std::to_string(index) + " " + std::to_string(value));
}

void PlayerHost::LockProcessing() {
    // The audio thread already holds the lock when the instance asks for it
    // there (all sound off); only other threads' locks count as set switches.
    if (JackPlayerClient::OnAudioThread()) {
        ProcessingMutex().lock();
        return;
    }
    host::Host::LockProcessing();
}

}  // namespace norv::play
