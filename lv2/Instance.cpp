#include "lv2/Instance.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "host/StateStream.h"
#include "lv2/AtomEvents.h"
#include "lv2/GuiThread.h"
#include "lv2/Protocol.h"

namespace norv::lv2 {
namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string StatsFile() {
    const char* file = std::getenv("NORV_LV2_STATS");
    return file ? file : "";
}

}  // namespace

Instance::Instance(double rate, const std::string& bundlePath, const HostFeatures& features)
    : bundle_(WithSlash(bundlePath)),
      logger_(features.Logger),
      schedule_(features.Schedule),
      uris_(*features.Map),
      stats_(StatsFile(), rate) {
    host_ = std::make_unique<host::Host>(bundle_ + "NorvKeys.so");
    plug_ = host_->CreateInstance();
    if (!plug_) throw std::runtime_error(bundle_ + "NorvKeys.so: the plug-in made no instance");
    plug_->HostCommand(PlugCommand::SetSampleRate, 0, static_cast<intptr_t>(std::lround(rate)));
    loader_ = std::make_unique<SetLoader>(bundle_ + "NorvKeys.so", static_cast<int32_t>(std::lround(rate)));
    player_ = std::make_unique<host::LivePlayer>(*host_, plug_);
    setName_ = host::PlayingSetName(plug_);
    lv2_atom_forge_init(&forge_, const_cast<LV2_URID_Map*>(features.Map));
}

Instance::~Instance() {
    std::string error;
    if (!stats_.Write(player_->SkippedPeriods(), player_->LongestSkip(), error))
        lv2_log_error(&logger_, "Norv Keys: %s\n", error.c_str());
    player_.reset();
    loader_.reset();
    host_->DestroyInstance(plug_);
}

void Instance::ConnectPort(uint32_t port, void* data) {
    switch (port) {
        case kMidiIn:
            events_ = data;
            break;
        case kLeftOut:
            left_ = static_cast<float*>(data);
            break;
        case kRightOut:
            right_ = static_cast<float*>(data);
            break;
        case kNotify:
            notify_ = data;
            break;
        default:
            if (port >= kFirstParam && port <= kPolyphony) controls_.Connect(port - kFirstParam, static_cast<const float*>(data));
            break;
    }
}

void Instance::Activate() {
    if (!reloadForRate_) return;
    reloadForRate_ = false;
    std::vector<uint8_t> state = host::SaveInstanceState(plug_);
    const std::optional<host::SavedState> parsed = host::ParseState(state);
    if (parsed) loader_->Prepare(parsed->Name);
    host::RestoreInstanceState(*host_, plug_, std::move(state));
    if (parsed) loader_->Follow(parsed->Name);
}

void Instance::Deactivate() {
    // Nothing may ring on, nor a pedal stay down, when the host starts the
    // instance again. A busy lock keeps the messages for the next period.
    float none[1] = {};
    player_->Begin(none, none, 0);
    for (uint8_t channel = 0; channel < 16; ++channel) {
        const uint8_t reset[3] = {static_cast<uint8_t>(0xB0 | channel), 121, 0};
        const uint8_t allOff[3] = {static_cast<uint8_t>(0xB0 | channel), 123, 0};
        player_->Midi(0, reset, 3);
        player_->Midi(0, allOff, 3);
    }
    player_->End();
    plug_->HostCommand(PlugCommand::EndAllVoices, 0, 0);
}

void Instance::Run(uint32_t frames) {
    const timespec start = stats_.On() ? RunStats::Now() : timespec{};
    StartNotify();
    if (answerPending_) {
        NotifySet(answer_);
        answerPending_ = false;
    }
    if (tellSet_.exchange(false, std::memory_order_relaxed)) {
        request_.Kind = SetRequest::Tell;
        request_.Name.Size = 0;
        Schedule(request_);
    }
    if (left_ && right_) {
        const bool locked = player_->Begin(left_, right_, static_cast<int32_t>(frames));
        // Controls move only while no set is being switched; a skipped
        // period leaves them for the next one.
        if (locked) ApplyControls();
        ReadEvents();
        player_->End();
    }
    FinishNotify();
    if (stats_.On()) stats_.Record(start, RunStats::Now(), frames);
}

void Instance::ApplyControls() {
    controls_.ApplyChanges([this](uint32_t slot, int32_t value) {
        if (slot == ControlPorts::kPolyphonySlot)
            plug_->HandleEvent(PlugEvent::SetPolyphony, value, 0);
        else
            plug_->HandleParameter(static_cast<intptr_t>(slot), value, ParamFlag::Set);
    });
}

void Instance::ReadEvents() {
    ForEachEvent(events_, [this](const AtomEvent& e) {
        if (e.Type == uris_.MidiEvent) {
            if (e.Size >= 1 && e.Size <= 3) player_->Midi(static_cast<int32_t>(e.Frame), e.Body, e.Size);
        } else if (e.Type == uris_.AtomObject) {
            alignas(8) uint8_t scratch[sizeof(LV2_Atom) + sizeof(SetRequest) + 256];
            if (const LV2_Atom* atom = AlignedAtom(e, scratch))
                ReadPatch(reinterpret_cast<const LV2_Atom_Object*>(atom));
        }
    });
}

void Instance::ReadPatch(const LV2_Atom_Object* object) {
    const LV2_Atom* property = nullptr;
    const LV2_Atom* value = nullptr;
    lv2_atom_object_get(object, uris_.PatchProperty, &property, uris_.PatchValue, &value, 0);
    if (!property || property->type != uris_.AtomUrid ||
        reinterpret_cast<const LV2_Atom_URID*>(property)->body != uris_.SetProperty)
        return;
    if (object->body.otype == uris_.PatchGet) {
        request_.Kind = SetRequest::Tell;
        request_.Name.Size = 0;
        Schedule(request_);
    } else if (object->body.otype == uris_.PatchSet && value && value->type == uris_.AtomString) {
        const char* text = static_cast<const char*>(LV2_ATOM_BODY_CONST(value));
        size_t size = value->size;
        while (size > 0 && text[size - 1] == '\0') --size;  // the string atom's own terminator
        request_.Kind = SetRequest::Choose;
        request_.Name.Assign({text, size});
        Schedule(request_);
    }
}

void Instance::Schedule(const SetRequest& request) {
    schedule_->schedule_work(schedule_->handle, sizeof request, &request);
}

void Instance::StartNotify() {
    notifyOpen_ = false;
    if (!notify_) return;
    // The host tells the port's room in its atom's size. The sequence is
    // built in a buffer of ours, aligned as the forge needs, and copied out.
    LV2_Atom port;
    std::memcpy(&port, notify_, sizeof port);
    const uint32_t capacity = std::min<uint32_t>(port.size + sizeof(LV2_Atom), sizeof notifyBuffer_);
    lv2_atom_forge_set_buffer(&forge_, notifyBuffer_, capacity);
    notifyOpen_ = lv2_atom_forge_sequence_head(&forge_, &notifyFrame_, 0) != 0;
    if (!notifyOpen_) {
        const LV2_Atom empty{0, 0};  // no room even for an empty sequence
        std::memcpy(notify_, &empty, sizeof empty);
    }
}

void Instance::FinishNotify() {
    if (!notifyOpen_) return;
    lv2_atom_forge_pop(&forge_, &notifyFrame_);
    LV2_Atom sequence;
    std::memcpy(&sequence, notifyBuffer_, sizeof sequence);
    std::memcpy(notify_, notifyBuffer_, sizeof sequence + sequence.size);
}

void Instance::NotifySet(const SetName& name) {
    if (!notifyOpen_) return;
    LV2_Atom_Forge_Frame frame;
    if (!lv2_atom_forge_frame_time(&forge_, 0)) return;
    if (!lv2_atom_forge_object(&forge_, &frame, 0, uris_.PatchSet)) return;
    lv2_atom_forge_key(&forge_, uris_.PatchProperty);
    lv2_atom_forge_urid(&forge_, uris_.SetProperty);
    lv2_atom_forge_key(&forge_, uris_.PatchValue);
    lv2_atom_forge_string(&forge_, name.Bytes, name.Size);
    lv2_atom_forge_pop(&forge_, &frame);
}

LV2_Worker_Status Instance::Work(LV2_Worker_Respond_Function respond, LV2_Worker_Respond_Handle handle,
                                 uint32_t size, const void* data) {
    if (size != sizeof(SetRequest) || !data) return LV2_WORKER_ERR_UNKNOWN;
    SetRequest request;
    std::memcpy(&request, data, sizeof request);
    request.Name.Size = std::min<uint32_t>(request.Name.Size, SetName::kCapacity);
    SetName answer;
    {
        std::lock_guard gui(GuiThreadLock());
        if (request.Kind == SetRequest::Choose) {
            std::string error;
            if (!ChooseSetByName(*host_, plug_, bundle_ + "WavTables/", request.Name.View(), setName_, error,
                                 loader_.get()))
                lv2_log_warning(&logger_, "Norv Keys: %s\n", error.c_str());
        }
        answer.Assign(setName_);
    }
    respond(handle, sizeof answer, &answer);
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Instance::WorkResponse(uint32_t size, const void* data) {
    if (size != sizeof(SetName) || !data) return LV2_WORKER_ERR_UNKNOWN;
    std::memcpy(&answer_, data, sizeof answer_);
    answer_.Size = std::min<uint32_t>(answer_.Size, SetName::kCapacity);
    answerPending_ = true;
    return LV2_WORKER_SUCCESS;
}

}  // namespace norv::lv2
