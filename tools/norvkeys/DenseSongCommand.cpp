// norvkeys dense-song: writes the dense piece the render benchmark plays, so
// a render at high polyphony can be timed against real time by hand. Hidden
// from the command list: it serves measurement, not music.
#include <memory>
#include <stdexcept>
#include <string>

#include "host/DenseSong.h"
#include "tools/norvkeys/Commands.h"

namespace norv::tool {
namespace {

struct DenseSongOptions {
    std::string Output;
    double Seconds = 60.0;
};

void AddDenseSongCommand(CLI::App& app, CommonOptions&) {
    auto* cmd = app.add_subcommand("dense-song",
                                   "Write a dense piano piece (chords of eight every 100 ms, pedal down) as a MIDI file, "
                                   "for timing `render --polyphony 256`");
    cmd->group("");
    auto o = std::make_shared<DenseSongOptions>();
    cmd->add_option("output", o->Output, "MIDI file to write")->required();
    cmd->add_option("--seconds", o->Seconds, "Length of the piece")->capture_default_str()->check(CLI::Range(0.1, 3600.0));
    cmd->callback([o] { host::DenseSong(o->Seconds).Save(o->Output); });
}

const CommandRegistrar kDenseSong(AddDenseSongCommand);

}  // namespace
}  // namespace norv::tool
