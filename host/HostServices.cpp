#include "host/HostServices.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace norv::host {
namespace {

std::string DataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/share";
    }
    return base + "/norvstudio/";
}

}  // namespace

void BalanceGains(float pan, float volume, float& left, float& right) {
    left = volume * (1.0f - std::max(pan, 0.0f));
    right = volume * (1.0f + std::min(pan, 0.0f));
}

Host::Host(const std::string& pluginPath) : Host(std::make_unique<PluginLibrary>(pluginPath)) {}

Host::Host(CreatePlugInstanceFn create) : HostPath(DataFolder()), create_(create) { Init(); }

Host::Host(std::unique_ptr<PluginLibrary> library)
    : HostPath(DataFolder()), library_(std::move(library)), create_(library_->Create()) {
    Init();
}

void Host::Init() {
    HostVersion = kHostVersion;
    HostAppWindow = 0;
    pool_ = std::make_unique<HostVoice[]>(kVoiceCapacity);
    for (size_t i = 0; i < kVoiceCapacity; ++i) PutFree(&pool_[i]);
}

void Host::PutFree(HostVoice* voice) {
    voice->InUse = false;
    voice->Older = nullptr;
    voice->Newer = nullptr;
    if (freeNewest_)
        freeNewest_->Newer = voice;
    else
        freeOldest_ = voice;
    freeNewest_ = voice;
}

Host::~Host() {
    std::vector<TQuirraPlug*> live;
    for (auto& [plug, tag] : tags_) live.push_back(plug);
    for (TQuirraPlug* plug : live) DestroyInstance(plug);
}

TQuirraPlug* Host::CreateInstance() {
    intptr_t tag = nextTag_++;
    TQuirraPlug* plug = create_(this, tag);
    if (plug) tags_[plug] = tag;
    return plug;
}

void Host::DestroyInstance(TQuirraPlug* plug) {
    if (!plug) return;
    for (HostVoice* v : Voices(plug)) KillVoice(v);
    tags_.erase(plug);
    plug->DestroyInstance();
}

HostVoice* Host::StartVoice(TQuirraPlug* plug, int channel, int key, float initVolume, float curVolume, float pan,
                            float curPitch) {
    std::lock_guard lock(processing_);
    HostVoice* voice = freeOldest_;
    if (!voice) return nullptr;
    freeOldest_ = voice->Newer;
    if (!freeOldest_) freeNewest_ = nullptr;
    *voice = HostVoice{};
    voice->Serial = ++serial_;
    voice->Plug = plug;
    voice->Channel = channel;
    voice->Key = key;
    voice->InitVolume = initVolume;
    voice->InitPitch = 100.0f * static_cast<float>(key);
    voice->CurVolume = curVolume;
    voice->CurPan = pan;
    voice->CurPitch = curPitch;
    voice->Handle = plug->StartVoice(voice, reinterpret_cast<intptr_t>(voice));
    if (voice->Handle == -1) {
        PutFree(voice);
        return nullptr;
    }
    voice->InUse = true;
    voice->Older = newest_;
    (newest_ ? newest_->Newer : oldest_) = voice;
    newest_ = voice;
    return voice;
}

void Host::ReleaseVoice(HostVoice* voice) {
    std::lock_guard lock(processing_);
    if (!voice->InUse) return;
    voice->KeyDown = false;
    if (voice->Released) return;
    voice->Released = true;
    voice->Plug->ReleaseVoice(voice->Handle);
}

void Host::KillVoice(HostVoice* voice) {
    std::lock_guard lock(processing_);
    if (!voice->InUse) return;
    TQuirraPlug* plug = voice->Plug;
    intptr_t handle = voice->Handle;
    Forget(voice);
    plug->KillVoice(handle);
}

std::vector<HostVoice*> Host::Voices(TQuirraPlug* plug) const {
    std::vector<HostVoice*> r;
    ForEachVoice(plug, [&](HostVoice* v) { r.push_back(v); });
    return r;
}

size_t Host::CollectVoices(TQuirraPlug* plug, std::span<VoiceRef> out) const {
    size_t n = 0;
    ForEachVoice(plug, [&](HostVoice* v) {
        if (n < out.size()) out[n++] = {v, v->Serial};
    });
    return n;
}

size_t Host::VoiceCount(TQuirraPlug* plug) const {
    size_t n = 0;
    ForEachVoice(plug, [&](HostVoice*) { ++n; });
    return n;
}

void Host::Forget(HostVoice* voice) {
    (voice->Older ? voice->Older->Newer : oldest_) = voice->Newer;
    (voice->Newer ? voice->Newer->Older : newest_) = voice->Older;
    PutFree(voice);
}

HostVoice* Host::Owned(intptr_t voiceTag) {
    const auto address = static_cast<uintptr_t>(voiceTag);
    const auto first = reinterpret_cast<uintptr_t>(pool_.get());
    const uintptr_t bytes = kVoiceCapacity * sizeof(HostVoice);
    if (address < first || address - first >= bytes || (address - first) % sizeof(HostVoice) != 0) return nullptr;
    HostVoice* voice = &pool_[(address - first) / sizeof(HostVoice)];
    return voice->InUse ? voice : nullptr;
}

void Host::RenderBlock(TQuirraPlug* plug, float* interleaved, int32_t frames) {
    std::fill(interleaved, interleaved + 2 * static_cast<size_t>(std::max(frames, 0)), 0.0f);
    std::lock_guard lock(processing_);
    int32_t n = frames;
    plug->RenderMix(interleaved, &n);
}

intptr_t Host::HostDispatch(intptr_t tag, intptr_t opcode, intptr_t index, intptr_t value) {
    switch (static_cast<int32_t>(opcode)) {
        case HostOpcode::RunParamMenuItem:
            MenuRuns.push_back({tag, index, value});
            return 0;
        case HostOpcode::EditorResized:
            ++EditorResizes;
            return 0;
        case HostOpcode::GetParamMenuItem:
            if (value < 0 || static_cast<size_t>(value) >= MenuItems.size()) return 0;
            return reinterpret_cast<intptr_t>(&MenuItems[static_cast<size_t>(value)]);
        case HostOpcode::KeyboardNoteOn:
            if (OnKeyboardNote) OnKeyboardNote(tag, static_cast<int>(index), static_cast<int>(value));
            return 0;
        case HostOpcode::KeyboardNoteOff:
            if (OnKeyboardNote) OnKeyboardNote(tag, static_cast<int>(index), 0);
            return 0;
        case HostOpcode::StatusText: {
            const char* text = reinterpret_cast<const char*>(value);
            if (!text) return 0;
            StatusTexts.emplace_back(text);
            Status.Show(text);
            return 0;
        }
        case HostOpcode::GetHostPath:
            return reinterpret_cast<intptr_t>(HostPath.c_str());
        case HostOpcode::InstanceReady:
            ++ReadyCalls;
            return 0;
        case HostOpcode::GetMainWindow:
            return MainWindow;
        default:
            return 0;
    }
}

void Host::NotifyParamChanged(intptr_t tag, intptr_t index, intptr_t value) { ParamChanges.push_back({tag, index, value}); }

void Host::DisplayHint(intptr_t tag, const char* text) { LastHint[tag] = text ? text : ""; }

void Host::NotifyVoiceEnded(intptr_t voiceTag, intptr_t code) {
    HostVoice* voice = Owned(voiceTag);
    if (!voice) return;
    if (static_cast<int32_t>(code) == -1) {
        KillVoice(voice);  // inside the call, as hosts do
    } else {
        Forget(voice);  // the instance frees it itself
    }
}

void Host::LockProcessing() {
    processing_.lock();
    ++ProcessingLocks;
}

void Host::UnlockProcessing() { processing_.unlock(); }

void Host::ComputeVoiceGains(float* left, float* right, float pan, float volume) {
    float l, r;
    BalanceGains(pan, volume, l, r);
    if (left) *left = l;
    if (right) *right = r;
}

void Host::LockMixOutput() {
    mix_.lock();
    ++MixLocks;
}

void Host::UnlockMixOutput() { mix_.unlock(); }

}  // namespace norv::host
