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

Host::Host(const std::string& pluginPath)
    : HostPath(DataFolder()), library_(std::make_unique<PluginLibrary>(pluginPath)), create_(library_->Create()) {
    HostVersion = kHostVersion;
    HostAppWindow = 0;
}

Host::Host(CreatePlugInstanceFn create) : HostPath(DataFolder()), create_(create) {
    HostVersion = kHostVersion;
    HostAppWindow = 0;
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
    auto voice = std::make_unique<HostVoice>();
    voice->Plug = plug;
    voice->Channel = channel;
    voice->Key = key;
    voice->InitVolume = initVolume;
    voice->InitPitch = 100.0f * static_cast<float>(key);
    voice->CurVolume = curVolume;
    voice->CurPan = pan;
    voice->CurPitch = curPitch;
    std::lock_guard lock(processing_);
    voice->Handle = plug->StartVoice(voice.get(), reinterpret_cast<intptr_t>(voice.get()));
    if (voice->Handle == -1) return nullptr;
    voices_.push_back(std::move(voice));
    return voices_.back().get();
}

void Host::ReleaseVoice(HostVoice* voice) {
    std::lock_guard lock(processing_);
    voice->KeyDown = false;
    if (voice->Released) return;
    voice->Released = true;
    voice->Plug->ReleaseVoice(voice->Handle);
}

void Host::KillVoice(HostVoice* voice) {
    std::lock_guard lock(processing_);
    TQuirraPlug* plug = voice->Plug;
    intptr_t handle = voice->Handle;
    Forget(voice);
    plug->KillVoice(handle);
}

std::vector<HostVoice*> Host::Voices(TQuirraPlug* plug) const {
    std::vector<HostVoice*> r;
    for (const auto& v : voices_)
        if (v->Plug == plug) r.push_back(v.get());
    return r;
}

void Host::Forget(HostVoice* voice) {
    voices_.remove_if([voice](const std::unique_ptr<HostVoice>& v) { return v.get() == voice; });
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
    auto* voice = reinterpret_cast<HostVoice*>(voiceTag);
    auto it = std::find_if(voices_.begin(), voices_.end(), [voice](const auto& v) { return v.get() == voice; });
    if (it == voices_.end()) return;
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
