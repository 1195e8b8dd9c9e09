#include "lv2/SetLoader.h"

#include <optional>
#include <stdexcept>

#include "host/StateStream.h"

namespace norv::lv2 {

SetLoader::SetLoader(const std::string& pluginPath, int32_t rate)
    : host_(std::make_unique<host::Host>(pluginPath)) {
    for (Silent* s : {&ahead_, &behind_}) {
        s->Plug = host_->CreateInstance();
        if (!s->Plug) throw std::runtime_error(pluginPath + ": the plug-in made no instance");
        s->Plug->HostCommand(PlugCommand::SetSampleRate, 0, rate);
    }
}

SetLoader::~SetLoader() {
    for (Silent* s : {&ahead_, &behind_})
        if (s->Plug) host_->DestroyInstance(s->Plug);
}

void SetLoader::Prepare(const std::string& cp936Name) { ahead_.Load(*host_, cp936Name); }

void SetLoader::Follow(const std::string& cp936Name) { behind_.Load(*host_, cp936Name); }

void SetLoader::Silent::Load(host::Host& host, const std::string& cp936Name) {
    std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(Plug));
    if (!state) return;
    state->Name = cp936Name;
    host::RestoreInstanceState(host, Plug, host::StateBytes(*state));
}

}  // namespace norv::lv2
