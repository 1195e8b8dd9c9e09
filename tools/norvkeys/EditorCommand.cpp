// norvkeys editor: the instrument's panel in a window of this host, or drawn
// off-screen into a PNG. Notes from the panel's keyboard start voices like any
// note; they play silently and are logged (`norvkeys play` is the one that sounds).
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/EditorWindow.h"
#include "host/HostServices.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Interrupt.h"
#include "tools/norvkeys/PanelWindow.h"
#include "tools/norvkeys/SetChoice.h"

namespace norv::tool {
namespace {

struct EditorOptions {
    std::string Set;
    double Scale = 1.0;
    std::string Screenshot;
};

constexpr int kRate = 44100;

// The host of the editor window: what the instance tells it goes to the log,
// one line per event, so scripts and tests can follow.
class EditorHost : public host::Host {
public:
    using host::Host::Host;
    TQuirraPlug* Plug = nullptr;

    void NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) override {
        // The instance's own value at this moment shows the order of the two calls.
        const intptr_t before = Plug ? Plug->HandleParameter(index, 0, ParamFlag::Get) : 0;
        host::Host::NotifyParamChanged(tag, index, value);
        LogEvent("param " + std::to_string(index) + " " + std::to_string(value) + " instance " + std::to_string(before));
    }
    intptr_t HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) override {
        if (opcode == HostOpcode::RunParamMenuItem)
            LogEvent("menu-item " + std::to_string(index) + " " + std::to_string(value));
        return host::Host::HostDispatch(tag, opcode, index, value);
    }
};

// Sounds the voices the panel's keys start, at the pace of time, into nothing.
class SilentPlayer {
public:
    SilentPlayer(EditorHost& host, TQuirraPlug* plug) : host_(host), plug_(plug), last_(Clock::now()) {}
    void Advance() {
        const auto now = Clock::now();
        const double seconds = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        if (host_.Voices(plug_).empty()) return;
        int64_t frames = std::min<int64_t>(static_cast<int64_t>(seconds * kRate), kRate);
        while (frames > 0) {
            const int32_t n = static_cast<int32_t>(std::min<int64_t>(frames, 256));
            host_.RenderBlock(plug_, buffer_.data(), n);
            frames -= n;
        }
    }

private:
    using Clock = std::chrono::steady_clock;
    EditorHost& host_;
    TQuirraPlug* plug_;
    Clock::time_point last_;
    std::vector<float> buffer_ = std::vector<float>(512);
};

void SaveScreenshot(TQuirraPlug* plug, const std::string& file) {
    const std::string partial = file + ".partial-" + std::to_string(getpid());
    if (plug->HostCommand(PlugCommand::SaveEditorImage, 0, reinterpret_cast<intptr_t>(partial.c_str())) != 1) {
        std::filesystem::remove(partial);
        throw std::runtime_error(file + ": the instrument could not draw its panel into it");
    }
    std::error_code ec;
    std::filesystem::rename(partial, file, ec);
    if (ec) {
        std::filesystem::remove(partial);
        throw std::runtime_error(file + ": " + ec.message());
    }
}

void RunEditor(const CommonOptions& common, const EditorOptions& o) {
    const ChosenSet chosen = ResolveSet(common.Plugin, o.Set);
    std::optional<host::EditorWindow> window;  // outlives the instance
    EditorHost host(chosen.Plugin);
    host.MenuItems = {{"Print value", 0}, {"Print name", 0}};
    TQuirraPlug* plug = host.CreateInstance();
    if (!plug) throw std::runtime_error(common.Plugin + ": the plug-in refused to create an instance");
    host.Plug = plug;
    plug->HostCommand(PlugCommand::SetSampleRate, 0, kRate);
    if (chosen.Entry) ChooseSet(host, plug, *chosen.Entry, false);
    plug->HostCommand(PlugCommand::SetEditorScale, 0, static_cast<intptr_t>(std::lround(o.Scale * 100)));

    if (!o.Screenshot.empty()) {
        SaveScreenshot(plug, o.Screenshot);
        host.DestroyInstance(plug);
        return;
    }

    window.emplace("Norv Keys", o.Scale);
    PanelWindow panel(*window, host, plug);

    host.OnKeyboardNote = [&](intptr_t, int key, int velocity) {
        if (velocity > 0) {
            host.StartVoice(plug, 0, key, velocity / 100.0f, velocity / 100.0f, 0, 100.0f * (key - 60));
            LogEvent("note-on " + std::to_string(key) + " " + std::to_string(velocity));
            return;
        }
        for (host::HostVoice* v : host.Voices(plug))
            if (v->Key == key && v->KeyDown) {
                v->KeyDown = false;
                host.ReleaseVoice(v);
            }
        LogEvent("note-off " + std::to_string(key));
    };

    InterruptGuard interrupt;
    SilentPlayer player(host, plug);
    // The panel's own connection is pumped from here: often while the mouse
    // is on it, seldom when nothing can happen but key notices and hints.
    while (!interrupt.Interrupted() && panel.Pump(panel.PointerInside() || !host.Voices(plug).empty() ? 10 : 40))
        player.Advance();
}

void AddEditorCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand("editor",
                                   "Show the instrument's panel in a window: play its keyboard, turn its knobs, choose "
                                   "sets. Prints one line per event (notes, knob changes, menu items, sets)");
    auto o = std::make_shared<EditorOptions>();
    cmd->add_option("--set", o->Set, "Sound set to start with (as for render)");
    cmd->add_option("--scale", o->Scale, "Size of the panel: device pixels per panel pixel (1 to 4, e.g. 1.5 or 2)")
        ->capture_default_str()
        ->check(CLI::Range(0.5, 4.0));
    cmd->add_option("--screenshot", o->Screenshot,
                    "Draw the panel off-screen into this PNG file and exit; no display needed");
    cmd->callback([&common, o] { RunEditor(common, *o); });
}

const CommandRegistrar kEditor(AddEditorCommand);

}  // namespace
}  // namespace norv::tool
