// The saved state: version 1, the set's name, the fifteen parameter values.
#include <algorithm>
#include <array>
#include <string>

#include "editor/SynthForm.h"
#include "plugin/TestPlug.h"
#include "base/TextCase.h"
#include "wavetable/WavTables.h"

namespace norv {
namespace {

constexpr int32_t kStateVersion = 1;
constexpr size_t kMaxNameBytes = 254;
constexpr size_t kParamBlockBytes = 4 * kParamCount;

void PutInt32(uint8_t* p, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int32_t GetInt32(const uint8_t* p) {
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    return static_cast<int32_t>(u);
}

// Reads exactly `count` bytes; false when the stream ends early.
bool ReadExactly(IStateStream& stream, void* buffer, uint32_t count) {
    if (count == 0) return true;
    uint32_t got = 0;
    stream.Read(buffer, count, &got);
    return got == count;
}

}  // namespace

void TTestPlug::ExchangeState(IStateStream* stream, intptr_t save) {
    if (!stream) return;
    if (save) {
        uint8_t version[4];
        PutInt32(version, kStateVersion);
        stream->Write(version, 4, nullptr);
        const std::string& name = WaveTable ? WaveTable->Name : std::string();
        uint8_t length = static_cast<uint8_t>(std::min(name.size(), kMaxNameBytes));
        stream->Write(&length, 1, nullptr);
        stream->Write(name.data(), length, nullptr);
        uint8_t block[kParamBlockBytes];
        for (size_t i = 0; i < kParamCount; ++i) PutInt32(block + 4 * i, ParamValues[i]);
        stream->Write(block, kParamBlockBytes, nullptr);
        return;
    }

    KillAllVoices();

    // The whole state is read before anything changes, so a state that ends
    // early is refused like one from a newer version.
    uint8_t version[4];
    if (!ReadExactly(*stream, version, 4) || GetInt32(version) > kStateVersion) return;
    uint8_t length = 0;
    if (!ReadExactly(*stream, &length, 1)) return;
    std::string name(length, '\0');
    if (!ReadExactly(*stream, name.data(), length)) return;
    uint8_t block[kParamBlockBytes];
    if (!ReadExactly(*stream, block, kParamBlockBytes)) return;

    TSynthEditorForm* form = Form();
    form->ShowLoading(true, false);
    LoadWaveTable(std::max(IndexOfIgnoreCase(WaveTableNames, name), 0), false, false, false);
    form->ShowLoading(false, false);

    for (size_t i = 0; i < kParamCount; ++i) ParamValues[i] = GetInt32(block + 4 * i);
    RefreshAllParameters();
    UpdateWorkingValues(-1);
}

}  // namespace norv
