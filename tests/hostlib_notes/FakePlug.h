// An instrument that only records what the host asks of it, for testing the
// host's note side without the real engine.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "plugin/QP_Def.h"

namespace norv::test {

struct RecordSnapshot {
    float InitVolume, InitPitch, CurPan, CurVolume, CurPitch;
};

struct FakeCall {
    enum Kind { Start, Release, Kill, Render, EndAll } kind;
    intptr_t handle = -1;   // Start, Release, Kill
    int64_t frame = 0;      // frames rendered before the call
    int32_t frames = 0;     // Render: block length
    bool insideRender = false;
    RecordSnapshot record{};  // Start: the record as handed in
};

class FakePlug final : public TQuirraPlug {
public:
    explicit FakePlug(THostServices* host);

    // The instance most recently created through Create.
    static FakePlug* last;
    static TQuirraPlug* Create(THostServices* host, intptr_t tag);

    intptr_t HostCommand(intptr_t opcode, intptr_t index, intptr_t value) override;
    void IdleUpdate() override {}
    void ExchangeState(IStateStream*, intptr_t) override {}
    void DescribeItem(intptr_t, intptr_t, intptr_t, char*) override {}
    intptr_t HandleEvent(intptr_t, intptr_t, intptr_t) override { return 0; }
    intptr_t HandleParameter(intptr_t, intptr_t value, intptr_t) override { return value; }
    void RenderEffect(float*, float*, intptr_t) override {}
    void RenderMix(float* dest, int32_t* frames) override;
    intptr_t StartVoice(THostVoiceRecord* record, intptr_t voiceTag) override;
    void ReleaseVoice(intptr_t handle) override;
    void KillVoice(intptr_t handle) override;
    intptr_t VoiceEvent(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
    intptr_t ReservedOp13(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
    intptr_t ReservedOp14(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
    intptr_t ReservedOp15(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
    intptr_t ReservedOp16(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }
    intptr_t ReservedOp17(intptr_t, intptr_t, intptr_t, intptr_t) override { return 0; }

    struct Voice {
        THostVoiceRecord* record;
        intptr_t tag;
        bool released = false;
        bool ended = false;
    };

    std::vector<FakeCall> calls;
    std::map<intptr_t, Voice> voices;  // by handle
    // Records of the live voices as RenderMix saw them, one map per block.
    std::vector<std::map<intptr_t, RecordSnapshot>> blocks;
    bool everyBufferZeroed = true;
    int64_t framesRendered = 0;
    // A released voice ends (and is reported) after this many blocks; < 0: never.
    int endReleasedAfterBlocks = -1;
    // Voices to report as ended after the current block, by handle.
    std::vector<intptr_t> endAfterBlock;
    bool refuseStarts = false;

    std::vector<int32_t> BlockSizes() const;
    std::vector<FakeCall> CallsOf(FakeCall::Kind kind) const;

private:
    THostServices* host_;
    intptr_t nextHandle_ = 1000;
    bool inRender_ = false;
    std::map<intptr_t, int> blocksSinceRelease_;
};

}  // namespace norv::test
