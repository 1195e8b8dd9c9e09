#include "lv2/ui/PanelUi.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "engine/Parameters.h"
#include "host/StateStream.h"
#include "lv2/Protocol.h"
#include "lv2/SetSwitch.h"

namespace norv::lv2 {
namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

}  // namespace

PanelUi::PanelUi(const std::string& bundlePath, LV2UI_Write_Function write, LV2UI_Controller controller,
                 const UiFeatures& features)
    : features_(features),
      urids_(*features.Map),
      writer_(write, controller, urids_),
      wavTables_(WithSlash(bundlePath) + "WavTables/") {
    if (!geometry_.Usable()) throw std::runtime_error("cannot open the X display (is DISPLAY set?)");
    if (!geometry_.SizeOf(features.Parent)) {
        char id[32];
        std::snprintf(id, sizeof id, "0x%lx", static_cast<unsigned long>(features.Parent));
        throw std::runtime_error(std::string("the host's parent window ") + id + " does not exist");
    }
    host_ = std::make_unique<UiHost>(WithSlash(bundlePath) + "NorvKeys.so", writer_, features.Touch);
    host_->MainWindow = static_cast<intptr_t>(features.Parent);
    plug_ = host_->CreateInstance();
    if (!plug_) throw std::runtime_error(WithSlash(bundlePath) + "NorvKeys.so: the instrument refused to create an instance");

    // The panel's instance never plays. Its sets are the plug-in's: the
    // plug-in and this UI share one loaded instrument in the host's process,
    // which holds one copy of a set for all its instances. Until the rate is
    // known, a load takes whatever copy the plug-in holds; at the plug-in's
    // rate, a set chosen on the panel is loaded as the plug-in will take it.
    if (features.SampleRate)
        plug_->HostCommand(PlugCommand::SetSampleRate, 0, static_cast<intptr_t>(std::lround(*features.SampleRate)));
    if (features.Scale) plug_->HostCommand(PlugCommand::SetEditorScale, 0, std::lround(*features.Scale * 100));
    plug_->HostCommand(PlugCommand::SetEditorParent, 0, static_cast<intptr_t>(features.Parent));
    if (!plug_->EditorHandle || !geometry_.SizeOf(static_cast<uintptr_t>(plug_->EditorHandle))) {
        plug_->HostCommand(PlugCommand::SetEditorParent, 0, 0);
        throw std::runtime_error("the panel could not be placed in the host's window");
    }

    resizes_ = host_->EditorResizes;
    setName_ = host::PlayingSetName(plug_);
    TellSize();
    writer_.GetSet();
}

PanelUi::~PanelUi() {
    if (!plug_) return;
    plug_->HostCommand(PlugCommand::SetEditorParent, 0, 0);
    host_->DestroyInstance(plug_);
}

uintptr_t PanelUi::Widget() const { return static_cast<uintptr_t>(plug_->EditorHandle); }

void PanelUi::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (!buffer) return;
    if (format == 0 && size == sizeof(float) && port >= kFirstParam && port < kFirstParam + kParamCount) {
        float value;
        std::memcpy(&value, buffer, sizeof value);
        if (!std::isfinite(value)) return;
        const auto index = static_cast<intptr_t>(port - kFirstParam);
        // Values past a knob's ends are the instrument's to keep; only the word's range is not.
        const double clamped = std::clamp<double>(value, INT32_MIN, INT32_MAX);
        const auto v = static_cast<intptr_t>(std::lrint(clamped));
        if (plug_->HandleParameter(index, 0, ParamFlag::Get) == v) return;
        UiHost::Quiet quiet(*host_);
        plug_->HandleParameter(index, v, ParamFlag::Set | ParamFlag::MoveKnob);
        return;
    }
    if (port == kNotify && format == urids_.EventTransfer)
        if (const std::optional<std::string> name = SetNameOf(urids_, buffer, size)) FollowPluginSet(*name);
}

int PanelUi::Idle() {
    if (gone_) return 1;
    // A destroyed parent takes the panel with it; nothing is drawn into it then.
    if (!geometry_.SizeOf(Widget())) {
        gone_ = true;
        return 1;
    }
    plug_->IdleUpdate();
    if (host_->EditorResizes != resizes_) {
        resizes_ = host_->EditorResizes;
        TellSize();
    }
    if (host_->Touching() && !geometry_.ButtonHeld(Widget())) host_->EndGesture();
    ForwardOwnChoice();
    return 0;
}

int PanelUi::HostResize(int width, int height) {
    if (gone_) return 1;
    return geometry_.Resize(Widget(), {width, height}) ? 0 : 1;
}

// Every time the panel asks: the host may have sized it meanwhile.
void PanelUi::TellSize() {
    const std::optional<PanelSize> size = geometry_.SizeOf(Widget());
    if (!size) return;
    if (features_.Resize) features_.Resize->ui_resize(features_.Resize->handle, size->Width, size->Height);
}

// A set chosen on the panel's selector: the plug-in follows through the set
// property, and its ports take the set's preset.
void PanelUi::ForwardOwnChoice() {
    std::string name = host::PlayingSetName(plug_);
    if (name == setName_) return;
    setName_ = std::move(name);
    writer_.SetSet(setName_);
    for (int32_t i = 0; i < kParamCount; ++i)
        writer_.Parameter(i, static_cast<int32_t>(plug_->HandleParameter(i, 0, ParamFlag::Get)));
}

void PanelUi::FollowPluginSet(const std::string& utf8) {
    if (setName_ == utf8) return;
    UiHost::Quiet quiet(*host_);
    std::string error;
    if (!ChooseSetByName(*host_, plug_, wavTables_, utf8, setName_, error))
        std::fprintf(stderr, "Norv Keys UI: the plug-in plays set \"%s\"; the panel keeps its own: %s\n", utf8.c_str(),
                     error.c_str());
    setName_ = host::PlayingSetName(plug_);
}

}  // namespace norv::lv2
