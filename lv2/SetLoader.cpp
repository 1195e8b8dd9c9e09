#include "lv2/SetLoader.h"

#include <optional>
#include <stdexcept>

#include "host/StateStream.h"

namespace norv::lv2 {

SetLoader::SetLoader(const std::string& pluginPath, int32_t rate)
    : host_(std::make_unique<host::Host>(pluginPath)) {
    plug_ = host_->CreateInstance();
    if (!plug_) throw std::runtime_error(pluginPath + ": the plug-in made no instance");
    plug_->HostCommand(PlugCommand::SetSampleRate, 0, rate);
}

SetLoader::~SetLoader() {
    if (plug_) host_->DestroyInstance(plug_);
}

void SetLoader::Load(const std::string& cp936Name) {
    std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug_));
    if (!state) return;
    state->Name = cp936Name;
    host::RestoreInstanceState(*host_, plug_, host::StateBytes(*state));
}

}  // namespace norv::lv2
