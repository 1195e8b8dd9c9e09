#include "hostlib_notes/FakePlug.h"

#include <algorithm>

// The plug-in frame's two out-of-line members, as an instrument supplies them.
void TQuirraPlug::DestroyInstance() { delete this; }
TQuirraPlug::~TQuirraPlug() = default;

namespace norv::test {
namespace {

RecordSnapshot Snapshot(const THostVoiceRecord& r) {
    return {r.InitVolume, r.InitPitch, r.CurPan, r.CurVolume, r.CurPitch};
}

}  // namespace

FakePlug* FakePlug::last = nullptr;

FakePlug::FakePlug(THostServices* host) : host_(host) {}

TQuirraPlug* FakePlug::Create(THostServices* host, intptr_t tag) {
    last = new FakePlug(host);
    last->HostTag = tag;
    return last;
}

intptr_t FakePlug::HostCommand(intptr_t opcode, intptr_t, intptr_t) {
    if (opcode == PlugCommand::EndAllVoices) {
        calls.push_back({FakeCall::EndAll, -1, framesRendered, 0, inRender_, {}});
        host_->LockProcessing();
        for (auto& [handle, v] : voices) v.ended = true;
        host_->UnlockProcessing();
    }
    return 0;
}

intptr_t FakePlug::StartVoice(THostVoiceRecord* record, intptr_t voiceTag) {
    if (refuseStarts) return -1;
    const intptr_t handle = nextHandle_++;
    voices[handle] = {record, voiceTag};
    calls.push_back({FakeCall::Start, handle, framesRendered, 0, inRender_, Snapshot(*record)});
    return handle;
}

void FakePlug::ReleaseVoice(intptr_t handle) {
    calls.push_back({FakeCall::Release, handle, framesRendered, 0, inRender_, {}});
    auto it = voices.find(handle);
    if (it != voices.end()) it->second.released = true;
}

void FakePlug::KillVoice(intptr_t handle) {
    calls.push_back({FakeCall::Kill, handle, framesRendered, 0, inRender_, {}});
    voices.erase(handle);
    blocksSinceRelease_.erase(handle);
}

void FakePlug::RenderMix(float* dest, int32_t* frames) {
    inRender_ = true;
    const int32_t n = *frames;
    calls.push_back({FakeCall::Render, -1, framesRendered, n, true, {}});
    for (int32_t i = 0; i < 2 * n; ++i) {
        if (dest[i] != 0.0f) everyBufferZeroed = false;
        dest[i] += 0.25f;
    }
    std::map<intptr_t, RecordSnapshot> seen;
    for (auto& [handle, v] : voices) {
        seen[handle] = Snapshot(*v.record);
        if (v.released && endReleasedAfterBlocks >= 0 && ++blocksSinceRelease_[handle] >= endReleasedAfterBlocks)
            v.ended = true;
    }
    blocks.push_back(std::move(seen));
    for (intptr_t handle : endAfterBlock) {
        auto it = voices.find(handle);
        if (it != voices.end()) it->second.ended = true;
    }
    endAfterBlock.clear();
    framesRendered += n;
    // Reported like the engine does: every ended voice, after the block; the
    // host may kill it inside the call.
    std::vector<std::pair<intptr_t, intptr_t>> ended;
    for (auto& [handle, v] : voices)
        if (v.ended) ended.emplace_back(handle, v.tag);
    for (auto& [handle, tag] : ended)
        if (voices.count(handle)) host_->NotifyVoiceEnded(tag, -1);
    inRender_ = false;
}

std::vector<int32_t> FakePlug::BlockSizes() const {
    std::vector<int32_t> r;
    for (const FakeCall& c : calls)
        if (c.kind == FakeCall::Render) r.push_back(c.frames);
    return r;
}

std::vector<FakeCall> FakePlug::CallsOf(FakeCall::Kind kind) const {
    std::vector<FakeCall> r;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(r), [kind](const FakeCall& c) { return c.kind == kind; });
    return r;
}

}  // namespace norv::test
