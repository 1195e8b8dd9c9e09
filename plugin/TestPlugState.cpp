// The saved state: version 1, the set's name, the fifteen parameter values.
#include <algorithm>
#include <optional>
#include <string>

#include "editor/SynthForm.h"
#include "plugin/TestPlug.h"
#include "base/StateLayout.h"
#include "base/TextCase.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

// Reads exactly `count` bytes; false when the stream ends early.
bool ReadExactly(IStateStream& stream, void* buffer, size_t count) {
    if (count == 0) return true;
    uint32_t got = 0;
    stream.Read(buffer, static_cast<uint32_t>(count), &got);
    return got == count;
}

}  // namespace

void TTestPlug::ExchangeState(IStateStream* stream, intptr_t save) {
    if (!stream) return;
    if (save) {
        const std::string& name = WaveTable ? WaveTable->Name : std::string();
        const auto write = [stream](const void* bytes, size_t count) {
            stream->Write(bytes, static_cast<uint32_t>(count), nullptr);
        };
        state::WriteFields(write, state::kVersion, name, ParamValues);
        return;
    }

    KillAllVoices();

    // The whole state is read before anything changes, so a state that ends
    // early is refused like one from a newer version.
    const auto read = [stream](void* bytes, size_t count) { return ReadExactly(*stream, bytes, count); };
    const std::optional<state::Fields> saved = state::ReadFields(read, kParamCount);
    if (!saved) return;

    TSynthEditorForm* form = Form();
    form->ShowLoading(true, false);
    LoadWaveTable(std::max(IndexOfIgnoreCase(WaveTableNames, saved->Name), 0), false, false, false);
    form->ShowLoading(false, false);

    std::copy(saved->Values.begin(), saved->Values.end(), ParamValues.begin());
    RefreshAllParameters();
    UpdateWorkingValues(-1);
}

}  // namespace norv
