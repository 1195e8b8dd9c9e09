// norvkeys render: a standard MIDI file played on the instrument into a WAVE
// or FLAC file.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/HostServices.h"
#include "host/MidiFile.h"
#include "host/Performer.h"
#include "host/SongPlayer.h"
#include "host/StateStream.h"
#include "base/Cp936.h"
#include "base/NumberFormat.h"
#include "base/TextCase.h"
#include "tools/norvkeys/AtomicFile.h"
#include "tools/norvkeys/AudioOutput.h"
#include "tools/norvkeys/Commands.h"
#include "tools/norvkeys/Interrupt.h"
#include "tools/norvkeys/ParamOption.h"
#include "tools/norvkeys/SetChoice.h"

namespace norv::tool {
namespace {

struct RenderOptions {
    std::string Input;
    std::string Output;
    std::string Set;
    int Rate = 48000;
    int Block = 256;
    std::vector<std::string> Params;
    std::string State;
    std::string SaveState;
    std::string Bits = "16";
    double Tail = 30.0;
};

constexpr size_t kMaxStateFileBytes = 1 << 20;

std::vector<uint8_t> ReadStateFile(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) throw std::runtime_error(path + ": cannot read: " + ec.message());
    if (size > kMaxStateFileBytes) throw std::runtime_error(path + ": not a saved state (too large)");
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) throw std::runtime_error(path + ": cannot read");
    return bytes;
}

// The state file checked before the instance sees it: the instance quietly
// ignores states it cannot read, a tool should say so.
host::SavedState CheckState(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::optional<host::SavedState> state = host::ParseState(bytes);
    if (!state) throw std::runtime_error(path + ": not a saved state of this instrument");
    if (state->Version > 1)
        throw std::runtime_error(path + ": saved state version " + std::to_string(state->Version) +
                                 " is newer than this instrument reads");
    return *state;
}

std::string Seconds(double s) { return FormatFixed(s, 0, s < 10 ? 2 : 1) + " s"; }

// Everything before the first note: rate, state, set, parameters, --save-state.
void SetUpInstance(host::Host& host, TQuirraPlug* plug, const RenderOptions& o, const std::vector<uint8_t>& stateBytes,
                   const TLibraryEntry* set) {
    plug->HostCommand(PlugCommand::SetSampleRate, 0, o.Rate);
    if (!o.State.empty()) {
        const host::SavedState wanted = CheckState(o.State, stateBytes);
        const auto count = static_cast<size_t>(plug->Info->ParamCount);
        if (wanted.Values.size() != count)
            throw std::runtime_error(o.State + ": holds " + std::to_string(wanted.Values.size()) +
                                     " parameter values; the instrument has " + std::to_string(count));
        host::RestoreInstanceState(host, plug, stateBytes);
        const std::optional<host::SavedState> now = host::ParseState(host::SaveInstanceState(plug));
        if (!set && now && !EqualsIgnoreCase(now->Name, wanted.Name))
            std::cerr << "norvkeys: warning: " << o.State << ": set \"" << DisplayText(wanted.Name)
                      << "\" is not installed; playing \"" << DisplayText(now->Name) << "\"\n";
    }
    if (set) {
        ChooseSet(host, plug, *set);
    } else if (o.State.empty()) {
        // The instance converted its first set before it knew the rate; a
        // restore of its own state loads it again at the render rate, so a
        // render sounds the same with or without --state and --set.
        host::RestoreInstanceState(host, plug, host::SaveInstanceState(plug));
    }
    const std::vector<std::string> names = ParamNames(plug);
    for (const std::string& p : o.Params) ApplyParamSetting(plug, names, ParseParamSetting(p));
    if (!o.SaveState.empty()) {
        const std::vector<uint8_t> saved = host::SaveInstanceState(plug);
        WriteFileAtomically(o.SaveState, saved.data(), saved.size());
    }
}

void PrintSummary(const std::string& set, const AudioFileWriter& out, int rate, double elapsed,
                  const host::Performer& performer) {
    const double length = static_cast<double>(out.Frames()) / rate;
    const double peak = out.Peak();
    std::cout << "set:     " << set << "\n";
    std::cout << "length:  " << FormatFixed(length, 0, 2) << " s\n";
    if (peak > 0)
        std::cout << "peak:    " << FormatFixed(20.0 * std::log10(peak), 0, 2) << " dBFS (" << FormatFixed(peak, 0, 4)
                  << ")\n";
    else
        std::cout << "peak:    silent (0)\n";
    if (elapsed > 0) std::cout << "speed:   " << FormatFixed(length / elapsed, 0, 1) << " x real time\n";
    std::cout << "voices:  " << performer.VoicesStarted() << "\n";
    if (performer.VoicesRefused() > 0)
        std::cerr << "norvkeys: warning: the instrument refused " << performer.VoicesRefused() << " notes\n";
    if (out.Clipped() > 0)
        std::cerr << "norvkeys: warning: " << out.Clipped()
                  << " samples were clipped at full scale; lower the volume or use --bits 32f\n";
}

void RenderToFile(host::Host& host, TQuirraPlug* plug, const host::MidiSong& song, const RenderOptions& o,
                  const AudioFormat& format) {
    AudioFileWriter out(o.Output, format, o.Rate);
    host::Performer performer(host, plug);
    host::SongPlayer player(performer, song, o.Rate, o.Block, o.Tail);
    std::vector<float> buffer(2 * static_cast<size_t>(o.Block));
    InterruptGuard interrupt;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point shown{};
    while (const int32_t n = player.Next(buffer.data())) {
        out.Write(buffer.data(), n);
        if (interrupt.Interrupted()) {
            host.Status.Finish();
            throw std::runtime_error(o.Output + ": interrupted; nothing written");
        }
        const Clock::time_point now = Clock::now();
        if (now - shown > std::chrono::milliseconds(100)) {
            shown = now;
            const bool inSong = player.Position() < player.SongEndFrame();
            host.Status.ShowFraction(player.Progress(), (inSong ? "rendering " : "ringing out ") +
                                                            Seconds(static_cast<double>(player.Position()) / o.Rate));
        }
    }
    out.Commit();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    host.Status.ShowFraction(1.0, "done");
    host.Status.Finish();
    PrintSummary(CurrentSetName(plug), out, o.Rate, elapsed, performer);
}

void Render(const CommonOptions& common, const RenderOptions& o) {
    // Everything that can be checked without the instrument is checked first.
    if (!std::isfinite(o.Tail) || o.Tail < 0) throw std::runtime_error("--tail: must be 0 or more seconds");
    const AudioFormat format = ChooseAudioFormat(o.Output, o.Bits);
    std::error_code ec;
    if (std::filesystem::equivalent(o.Input, o.Output, ec))
        throw std::runtime_error(o.Output + ": would overwrite the input");
    for (const std::string& p : o.Params) ParseParamSetting(p);
    const host::MidiSong song = host::ReadMidiFile(o.Input);
    std::vector<uint8_t> stateBytes;
    if (!o.State.empty()) {
        stateBytes = ReadStateFile(o.State);
        CheckState(o.State, stateBytes);
    }
    std::vector<TLibraryEntry> sets;
    if (!o.Set.empty()) {
        sets = InstalledSets(common.Plugin);
        sets = {sets[FindSet(sets, o.Set)]};
    }

    host::Host host(common.Plugin);
    TQuirraPlug* plug = host.CreateInstance();
    if (!plug) throw std::runtime_error(common.Plugin + ": the plug-in refused to create an instance");
    SetUpInstance(host, plug, o, stateBytes, sets.empty() ? nullptr : &sets[0]);
    RenderToFile(host, plug, song, o, format);
}

void AddRenderCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand("render", "Play a standard MIDI file on the instrument into a WAVE or FLAC file");
    auto o = std::make_shared<RenderOptions>();
    cmd->add_option("input", o->Input, "Standard MIDI file (format 0 or 1) to play")->required();
    cmd->add_option("-o,--output", o->Output, "Output file: .wav or .flac")->required();
    cmd->add_option("--set", o->Set,
                    "Sound set to play, by name (any letter case) or by its index in `norvkeys list` (default: the "
                    "set the instrument loads first). Chosen after --state; the set's preset replaces the "
                    "parameters it names, the others keep their values");
    cmd->add_option("--rate", o->Rate, "Sample rate in Hz")->capture_default_str()->check(CLI::Range(8000, 384000));
    cmd->add_option("--block", o->Block, "Largest block in frames; blocks are also cut at every event")
        ->capture_default_str()
        ->check(CLI::Range(1, 65536));
    cmd->add_option("--param", o->Params,
                    "Parameter in knob units, INDEX=VALUE or NAME=VALUE; NAME is the instrument's name or one of "
                    "decay, release, hardness, velhard, muffle, velmuffle, velsens, stereo, tune, detune, stretch, "
                    "treble, pantrem, lforate, overdrive (repeatable; see `norvkeys params` for ranges)")
        ->allow_extra_args(false);
    cmd->add_option("--state", o->State, "Saved state to restore first (a --save-state file)");
    cmd->add_option("--save-state", o->SaveState, "Save the instrument's state, after the options above, to this file");
    cmd->add_option("--bits", o->Bits, "Sample format: 16, 24 or 32f (32-bit float, WAVE only)")->capture_default_str();
    cmd->add_option("--tail", o->Tail,
                    "Seconds the notes may ring on after the song's end; rendering stops earlier once every "
                    "voice has ended")
        ->capture_default_str();
    cmd->callback([&common, o] { Render(common, *o); });
}

const CommandRegistrar kRender(AddRenderCommand);

}  // namespace
}  // namespace norv::tool
