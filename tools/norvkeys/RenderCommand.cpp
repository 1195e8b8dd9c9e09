// norvkeys render: a standard MIDI file played on the instrument into a WAVE
// or FLAC file.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/ChannelFilter.h"
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
    int Polyphony = -1;  // the plug-in's default
    double GainDb = 0.0;
    bool Quiet = false;
    std::string Channels;  // empty: every channel but the drums'
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

int Polyphony(TQuirraPlug* plug, const RenderOptions& o) {
    if (o.Polyphony >= 0) return o.Polyphony;
    return plug->Info ? static_cast<int32_t>(plug->Info->DefaultPolyphony) : 0;
}

// A state saved from a set that its name does not find again restores
// another set; say which.
void WarnIfStateLosesSet(const std::string& plugin, const std::string& saveState, TQuirraPlug* plug,
                         const TLibraryEntry& set) {
    const std::optional<host::SavedState> state = host::ParseState(host::SaveInstanceState(plug));
    const std::vector<TLibraryEntry> installed = InstalledSets(plugin);
    if (!state || installed.empty()) return;
    size_t found = 0;
    while (found < installed.size() && !EqualsIgnoreCase(installed[found].Name, state->Name)) ++found;
    if (found == installed.size()) found = 0;  // the instance's fallback
    std::error_code ec;
    if (std::filesystem::equivalent(installed[found].File, set.File, ec)) return;
    std::cerr << "norvkeys: warning: " << saveState << ": ";
    if (state->Name.empty())
        std::cerr << "set \"" << DisplayText(set.Name) << "\" has no name of its own, so this state names none";
    else
        std::cerr << "this state names set \"" << DisplayText(state->Name) << "\"";
    std::cerr << "; restoring it loads \"" << DisplayText(installed[found].Name) << "\"\n";
}

// Everything before the first note: rate, state, set, parameters, --save-state.
void SetUpInstance(host::Host& host, TQuirraPlug* plug, const RenderOptions& o, const std::vector<uint8_t>& stateBytes,
                   const TLibraryEntry* set, const std::string& installedPlugin) {
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
        ChooseSet(host, plug, *set, !o.State.empty());
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
        if (set) WarnIfStateLosesSet(installedPlugin, o.SaveState, plug, *set);
    }
    plug->HandleEvent(PlugEvent::SetPolyphony, Polyphony(plug, o), 0);
}

std::string SkippedText(const host::SkippedNotes& skipped) {
    const host::ChannelSet channels = skipped.Channels();
    std::string text = std::to_string(skipped.Total()) + (skipped.Total() == 1 ? " note" : " notes") + " on ";
    if (channels.count() == 1) {
        text += "channel " + host::FormatChannelList(channels);
    } else {
        text += "channels ";
        for (size_t c = 0, shown = 0; c < 16; ++c) {
            if (!channels.test(c)) continue;
            text += (shown++ ? ", " : "") + std::to_string(c + 1) + " (" + std::to_string(skipped.PerChannel[c]) + ")";
        }
    }
    if (channels.test(9)) text += "; channel 10 is the drum channel";
    return text + "; --channels chooses, --channels all plays every one";
}

struct RenderFacts {
    std::string Set;
    double Elapsed = 0;
    int Polyphony = 0;
    host::SkippedNotes Skipped;
};

void PrintSummary(std::ostream& os, const RenderFacts& f, const AudioFileWriter& out, int rate,
                  const host::Performer& performer) {
    const double length = static_cast<double>(out.Frames()) / rate;
    const double peak = out.Peak();
    os << "set:     " << f.Set << "\n";
    os << "length:  " << FormatFixed(length, 0, 2) << " s\n";
    if (peak > 0)
        os << "peak:    " << FormatFixed(20.0 * std::log10(peak), 0, 2) << " dBFS (" << FormatFixed(peak, 0, 4) << ")\n";
    else
        os << "peak:    silent (0)\n";
    if (f.Elapsed > 0) os << "speed:   " << FormatFixed(length / f.Elapsed, 0, 1) << " x real time\n";
    os << "voices:  " << performer.VoicesStarted() << " (at most " << performer.PeakVoices() << " at once; "
       << (f.Polyphony > 0 ? "polyphony " + std::to_string(f.Polyphony) : std::string("no polyphony limit"))
       << ")\n";
    if (f.Skipped.Total() > 0) os << "skipped: " << SkippedText(f.Skipped) << "\n";
}

void PrintWarnings(const AudioFileWriter& out, const host::Performer& performer) {
    if (performer.VoicesRefused() > 0)
        std::cerr << "norvkeys: warning: the instrument refused " << performer.VoicesRefused() << " notes\n";
    if (out.Clipped() > 0)
        std::cerr << "norvkeys: warning: " << out.Clipped()
                  << " samples were clipped at full scale; lower --gain or use --bits 32f\n";
}

void ApplyGain(float* interleaved, int32_t frames, float gain) {
    for (size_t i = 0; i < 2 * static_cast<size_t>(frames); ++i) interleaved[i] *= gain;
}

void RenderToFile(host::Host& host, TQuirraPlug* plug, const host::MidiSong& song, const RenderOptions& o,
                  const AudioFormat& format, RenderFacts facts, InterruptGuard& interrupt, int streamFd) {
    AudioFileWriter out(o.Output, format, o.Rate, streamFd);
    host::Performer performer(host, plug);
    host::SongPlayer player(performer, song, o.Rate, o.Block, o.Tail);
    std::vector<float> buffer(2 * static_cast<size_t>(o.Block));
    const auto gain = static_cast<float>(std::pow(10.0, o.GainDb / 20.0));
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point shown{};
    while (const int32_t n = player.Next(buffer.data())) {
        if (o.GainDb != 0.0) ApplyGain(buffer.data(), n, gain);
        out.Write(buffer.data(), n);
        if (interrupt.Interrupted()) {
            host.Status.Finish();
            throw std::runtime_error(out.Name() + ": interrupted; nothing written");
        }
        const Clock::time_point now = Clock::now();
        if (now - shown > std::chrono::milliseconds(100)) {
            shown = now;
            const bool inSong = player.Position() < player.SongEndFrame();
            host.Status.ShowFraction(player.Progress(), (inSong ? "rendering " : "ringing out ") +
                                                            Seconds(static_cast<double>(player.Position()) / o.Rate));
        }
    }
    facts.Elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    out.Commit();
    host.Status.ShowFraction(1.0, "done");
    host.Status.Finish();
    if (!o.Quiet) PrintSummary(streamFd >= 0 ? std::cerr : std::cout, facts, out, o.Rate, performer);
    PrintWarnings(out, performer);
}

std::string ShownSetName(TQuirraPlug* plug, const ChosenSet& chosen) {
    std::string name = host::PlayingSetName(plug);
    if (name.empty() && chosen.Entry) name = DisplayText(chosen.Entry->Name);
    if (name.empty()) name = "(a set without a name)";
    if (!chosen.Given.empty()) name += " (" + chosen.Given + ")";
    return name;
}

void Render(const CommonOptions& common, const RenderOptions& o) {
    // Everything that can be checked without the instrument is checked first.
    if (!std::isfinite(o.Tail) || o.Tail < 0) throw std::runtime_error("--tail: must be 0 or more seconds");
    if (!std::isfinite(o.GainDb)) throw std::runtime_error("--gain: must be a number of decibels");
    const AudioFormat format = ChooseAudioFormat(o.Output, o.Bits);
    const bool toStream = o.Output == kStandardOutput;
    const std::string outputName = toStream ? "standard output" : o.Output;
    std::error_code ec;
    if (!toStream && std::filesystem::equivalent(o.Input, o.Output, ec))
        throw std::runtime_error(o.Output + ": would overwrite the input");
    host::ChannelSet channels = host::DefaultChannels();
    if (!o.Channels.empty()) {
        try {
            channels = host::ParseChannelList(o.Channels);
        } catch (const std::invalid_argument& e) {
            throw std::runtime_error("--channels " + o.Channels + ": " + e.what());
        }
    }
    for (const std::string& p : o.Params) ParseParamSetting(p);
    host::MidiSong song = host::ReadMidiFile(o.Input);
    RenderFacts facts;
    facts.Skipped = host::KeepChannels(song, channels);
    std::vector<uint8_t> stateBytes;
    if (!o.State.empty()) {
        stateBytes = ReadStateFile(o.State);
        CheckState(o.State, stateBytes);
    }

    // From here on temporary files exist: a signal only stops the work, so
    // that they are removed on the way out.
    InterruptGuard interrupt;
    const ChosenSet chosen = ResolveSet(common.Plugin, o.Set);
    std::optional<StandardOutputClaim> claim;
    if (toStream) claim.emplace();

    host::Host host(chosen.Plugin);
    host.Status.Quiet = o.Quiet;
    TQuirraPlug* plug = host.CreateInstance();
    if (!plug) throw std::runtime_error(common.Plugin + ": the plug-in refused to create an instance");
    SetUpInstance(host, plug, o, stateBytes, chosen.Entry ? &*chosen.Entry : nullptr, common.Plugin);
    if (interrupt.Interrupted()) throw std::runtime_error(outputName + ": interrupted; nothing written");
    facts.Set = ShownSetName(plug, chosen);
    facts.Polyphony = Polyphony(plug, o);
    RenderToFile(host, plug, song, o, format, std::move(facts), interrupt, claim ? claim->Fd() : -1);
}

void AddRenderCommand(CLI::App& app, CommonOptions& common) {
    auto* cmd = app.add_subcommand("render", "Play a standard MIDI file on the instrument into a WAVE or FLAC file");
    auto o = std::make_shared<RenderOptions>();
    cmd->add_option("input", o->Input, "Standard MIDI file (format 0 or 1) to play")->required();
    cmd->add_option("-o,--output", o->Output,
                    "Output file: .wav or .flac; - writes WAVE to standard output (the summary goes to standard "
                    "error then)")
        ->required();
    cmd->add_option("--set", o->Set,
                    "Sound set to play: an installed set by name (any letter case), by its label, file name (with or "
                    "without .wti) or index in `norvkeys list`; or the path of a .wti file anywhere, played with the "
                    "files beside it (default: the set the instrument loads first). Chosen after --state; the set's "
                    "preset replaces the parameters it names, the others keep the state's values, or without "
                    "--state take their defaults");
    cmd->add_option("--rate", o->Rate, "Sample rate in Hz")->capture_default_str()->check(CLI::Range(8000, 384000));
    cmd->add_option("--block", o->Block, "Largest block in frames; blocks are also cut at every event")
        ->capture_default_str()
        ->check(CLI::Range(1, 65536));
    cmd->add_option("--param", o->Params,
                    "Parameter in knob units, INDEX=VALUE or NAME=VALUE; NAME is the instrument's name or one of " +
                        ShortNameList() + " (repeatable; see `norvkeys params` for ranges)")
        ->allow_extra_args(false);
    cmd->add_option("--state", o->State, "Saved state to restore first (a --save-state file)");
    cmd->add_option("--save-state", o->SaveState, "Save the instrument's state, after the options above, to this file");
    cmd->add_option("--bits", o->Bits, "Sample format: 16, 24 or 32f (32-bit float, WAVE only)")->capture_default_str();
    cmd->add_option("--tail", o->Tail,
                    "Seconds the notes may ring on after the song's last note or controller; rendering stops "
                    "earlier once every voice has ended")
        ->capture_default_str();
    cmd->add_option("--polyphony", o->Polyphony,
                    "Most voices sounding at once; a note beyond them ends the quietest (default: the instrument's "
                    "own, 32 for Norv Keys; 0: no limit)")
        ->check(CLI::NonNegativeNumber);
    cmd->add_option("--gain", o->GainDb, "Gain in decibels applied to the rendered audio before it is written")
        ->capture_default_str()
        ->check(CLI::Range(-200.0, 100.0));
    cmd->add_option("--channels", o->Channels,
                    "MIDI channels whose notes and controllers the instrument plays: all, or channels 1-16 and "
                    "ranges joined by commas, e.g. 1-9,11-16 (default: every channel but 10, the General MIDI "
                    "drum channel)");
    cmd->add_flag("-q,--quiet", o->Quiet, "No progress bar and no summary; warnings and errors still go to standard error");
    cmd->callback([&common, o] { Render(common, *o); });
}

const CommandRegistrar kRender(AddRenderCommand);

}  // namespace
}  // namespace norv::tool
