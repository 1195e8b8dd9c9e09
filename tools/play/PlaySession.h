// One instance played live through JACK: the host, the instance, the audio
// side and the client, set up in the order they need each other and taken
// down the other way round.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "host/LivePlayer.h"
#include "host/CallbackStats.h"
#include "tools/play/JackPlayerClient.h"
#include "tools/play/PlayerHost.h"
#include "tools/play/StateFile.h"

namespace norv::play {

class PlaySession {
public:
    // Setup thread. Opens the client (throws when no server runs), then
    // makes the instance and loads its set at the server's rate: from
    // `initial` when given, else its own. `stats` (may be null) outlives the session.
    PlaySession(const std::string& plugin, const JackOptions& jack, const std::optional<PlayState>& initial,
                host::CallbackStats* stats = nullptr);
    ~PlaySession();
    PlaySession(const PlaySession&) = delete;
    PlaySession& operator=(const PlaySession&) = delete;

    PlayerHost& Host() { return *host_; }
    TQuirraPlug* Plug() { return plug_; }
    JackPlayerClient& Client() { return *client_; }
    host::LivePlayer& Live() { return *live_; }

    // Setup thread: processing starts.
    void Start() { client_->Activate(); }
    // GUI thread, often: controller messages to links and knobs; after a
    // rate change, the set loaded again at the new rate.
    // Returns how many controller messages it took.
    int Poll();
    // GUI thread: the instance's state and the links, as the state file keeps them.
    PlayState State();
    // Setup or GUI thread.
    void Restore(const PlayState& state);
    // Setup thread: processing stops for good; the instance stays.
    void Stop() { client_->Close(); }

private:
    std::unique_ptr<PlayerHost> host_;
    TQuirraPlug* plug_ = nullptr;
    std::unique_ptr<JackPlayerClient> client_;
    std::unique_ptr<host::LivePlayer> live_;
};

}  // namespace norv::play
