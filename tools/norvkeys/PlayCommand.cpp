// norvkeys play: the instrument as a JACK client, its panel in a window.
// Notes come from JACK MIDI and from the panel's keyboard; each knob's menu
// links it to a MIDI controller. --state keeps the instance and the links
// from one run to the next.
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/Parameters.h"
#include "host/EditorWindow.h"
#include "host/StateStream.h"
#include "tools/norvkeys/AtomicFile.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Interrupt.h"
#include "tools/norvkeys/PanelWindow.h"
#include "tools/norvkeys/SetChoice.h"
#include "tools/play/PlaySession.h"

namespace norv::tool {
namespace {

struct PlayOptions {
    std::string Set;
    std::string State;
    int Polyphony = -1;  // the plug-in's default
    double Scale = 1.0;
    bool Connect = true;
    bool Headless = false;
    play::JackOptions Jack;
    std::string Stats;
};

using Clock = std::chrono::steady_clock;

// The panel is pumped often while the mouse is on it or controllers move
// knobs, seldom otherwise.
void RunWindow(PanelWindow& panel, play::PlaySession& session, const InterruptGuard& interrupt) {
    session.Host().Notice = [&panel](const std::string& text) { panel.SetStatus(text); };
    auto lastControl = Clock::now() - std::chrono::seconds(1);
    while (!interrupt.Interrupted() && !session.Client().ServerGone()) {
        const bool busy = panel.PointerInside() || Clock::now() - lastControl < std::chrono::milliseconds(500);
        if (!panel.Pump(busy ? 10 : 40)) break;
        if (session.Poll() > 0) lastControl = Clock::now();
    }
    session.Host().Notice = nullptr;
}

void RunHeadless(play::PlaySession& session, const InterruptGuard& interrupt) {
    LogEvent("set " + host::PlayingSetName(session.Plug()));
    while (!interrupt.Interrupted() && !session.Client().ServerGone()) {
        session.Poll();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void SaveState(const std::string& path, play::PlaySession& session) {
    const std::string text = play::FormatPlayState(session.State());
    WriteFileAtomically(path, text.data(), text.size());
}

void RunPlay(const CommonOptions& common, const PlayOptions& o) {
    const ChosenSet chosen = ResolveSet(common.Plugin, o.Set);
    // A malformed state file stops everything before it could be overwritten.
    std::optional<play::PlayState> initial;
    if (!o.State.empty()) initial = play::ReadPlayStateFile(o.State, kParamCount);
    auto stats = o.Stats.empty() ? nullptr : std::make_unique<host::CallbackStats>();

    std::optional<host::EditorWindow> window;  // outlives the instance
    play::PlaySession session(chosen.Plugin, o.Jack, initial, stats.get());
    LogEvent("client " + session.Client().Name());
    TQuirraPlug* plug = session.Plug();
    if (chosen.Entry) ChooseSet(session.Host(), plug, *chosen.Entry, initial.has_value());
    if (o.Polyphony >= 0) plug->HandleEvent(PlugEvent::SetPolyphony, o.Polyphony, 0);
    session.Host().OnKeyboardNote = [&session](intptr_t, int key, int velocity) {
        session.Live().PanelNote(key, velocity);
        LogEvent(velocity > 0 ? "note-on " + std::to_string(key) + " " + std::to_string(velocity)
                              : "note-off " + std::to_string(key));
    };

    // The window before the sound: without a display nothing starts.
    std::optional<PanelWindow> panel;
    if (!o.Headless) {
        plug->HostCommand(PlugCommand::SetEditorScale, 0, static_cast<intptr_t>(std::lround(o.Scale * 100)));
        window.emplace("Norv Keys", o.Scale);
        panel.emplace(*window, session.Host(), plug);
    }
    session.Start();
    if (o.Connect)
        for (const std::string& c : session.Client().ConnectPhysical()) LogEvent("connected " + c);

    {
        InterruptGuard interrupt;
        if (panel)
            RunWindow(*panel, session, interrupt);
        else
            RunHeadless(session, interrupt);
    }
    session.Stop();
    panel.reset();
    session.Host().OnKeyboardNote = nullptr;

    if (!o.State.empty()) SaveState(o.State, session);
    if (const int64_t skipped = session.Live().SkippedPeriods(); skipped > 0)
        LogEvent("skipped " + std::to_string(skipped) + " of " + std::to_string(session.Live().Periods()) +
                 " periods: silent while a set was switching");
    if (stats) host::WriteStats(o.Stats, stats->Summary("norvkeys-play", session.Client().Xruns()));
    if (session.Client().ServerGone())
        throw std::runtime_error("JACK server \"" + play::ServerName(o.Jack) + "\" went away");
}

void AddPlayCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand("play",
                                   "Play the instrument live as a JACK client (stereo out, MIDI in) with its panel in "
                                   "a window. Prints one line per event (notes, knob changes, MIDI learn, sets)");
    auto o = std::make_shared<PlayOptions>();
    cmd->add_option("--set", o->Set, "Sound set to start with (as for render)");
    cmd->add_option("--state", o->State,
                    "Player state file: restored at start when it exists, saved at exit (the instrument's settings "
                    "and MIDI links)");
    cmd->add_option("--polyphony", o->Polyphony,
                    "Most voices sounding at once; a note beyond them ends the quietest (default: the instrument's "
                    "own; 0: no limit)")
        ->check(CLI::Range(0, 4096));
    cmd->add_option("--scale", o->Scale, "Size of the panel: device pixels per panel pixel (1 to 4, e.g. 1.5 or 2)")
        ->capture_default_str()
        ->check(CLI::Range(0.5, 4.0));
    cmd->add_flag("--connect,!--no-connect", o->Connect,
                  "Connect the outputs to the first physical playback ports and every physical MIDI capture port "
                  "to the input (default: on)");
    cmd->add_option("--name", o->Jack.ClientName, "JACK client name")->capture_default_str();
    cmd->add_option("--server", o->Jack.Server, "JACK server name (default: $JACK_DEFAULT_SERVER, else default)");
    cmd->add_flag("--headless", o->Headless, "No window: play until interrupted (Ctrl-C)");
    cmd->add_option("--stats", o->Stats,
                    "Time every process callback and write the shares of the period and the xruns into this file "
                    "at exit")
        ->group("");
    cmd->callback([&common, o] { RunPlay(common, *o); });
}

const CommandRegistrar kPlay(AddPlayCommand);

}  // namespace
}  // namespace norv::tool
