#include "tools/play/PlaySession.h"

#include <stdexcept>

#include "host/StateStream.h"

namespace norv::play {

PlaySession::PlaySession(const std::string& plugin, const JackOptions& jack, const std::optional<PlayState>& initial,
                         host::CallbackStats* stats)
    : host_(std::make_unique<PlayerHost>(plugin)) {
    // The client first: without a server there is nothing to load a set for.
    client_ = std::make_unique<JackPlayerClient>(jack);
    plug_ = host_->CreateInstance();
    if (!plug_) throw std::runtime_error(plugin + ": the plug-in refused to create an instance");
    host_->SetInstance(plug_);
    live_ = std::make_unique<host::LivePlayer>(*host_, plug_);
    client_->Attach(*live_, *host_, plug_, stats);
    client_->TakeRateChange();
    // The instance loaded its first set before it knew the rate; a restore
    // loads it again at this one.
    if (initial)
        Restore(*initial);
    else
        host::RestoreInstanceState(*host_, plug_, host::SaveInstanceState(plug_));
}

PlaySession::~PlaySession() {
    client_->Close();
    live_.reset();
    host_->DestroyInstance(plug_);
}

int PlaySession::Poll() {
    int taken = 0;
    host::MidiMessage m;
    while (live_->PopControl(m)) {
        host_->HearControl(m);
        ++taken;
    }
    if (client_->TakeRateChange()) {
        host::RestoreInstanceState(*host_, plug_, host::SaveInstanceState(plug_));
        host_->Log("rate " + std::to_string(client_->SampleRate()));
    }
    return taken;
}

PlayState PlaySession::State() { return {host::SaveInstanceState(plug_), host_->Links.All()}; }

void PlaySession::Restore(const PlayState& state) {
    host::RestoreInstanceState(*host_, plug_, state.Instance);
    host_->Links = MidiLinks(kParamCount);
    for (const MidiLink& l : state.Links) host_->Links.Link(l);
}

}  // namespace norv::play
