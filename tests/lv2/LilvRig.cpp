#include "lv2/LilvRig.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/patch/patch.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "lv2/Protocol.h"
#include "tools/mklv2ttl/LibraryPresets.h"
#include "wavetable/Library.h"
#include "wavetable/WavTables.h"
#include "support/TestSets.h"

namespace norv::test {
namespace fs = std::filesystem;

namespace {

constexpr size_t kAtomBytes = 16384;

LV2_URID MapThunk(LV2_URID_Map_Handle handle, const char* uri) { return static_cast<UridMap*>(handle)->Map(uri); }
const char* UnmapThunk(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
    return static_cast<UridMap*>(handle)->Unmap(urid);
}

}  // namespace

UridMap::UridMap() {
    map_ = {this, MapThunk};
    unmap_ = {this, UnmapThunk};
}

LV2_URID UridMap::Map(const char* uri) {
    std::lock_guard l(lock_);
    auto [it, added] = ids_.emplace(uri, static_cast<LV2_URID>(uris_.size() + 1));
    if (added) uris_.push_back(uri);
    return it->second;
}

const char* UridMap::Unmap(LV2_URID urid) {
    std::lock_guard l(lock_);
    return urid >= 1 && urid <= uris_.size() ? uris_[urid - 1].c_str() : nullptr;
}

TestBundle::TestBundle() : bundle_(dir_.path() / "norv-keys.lv2/") {
    const fs::path built = NORV_LV2_BUNDLE;
    fs::create_directories(bundle_ / "WavTables");
    for (const char* file : {"NorvKeys.so", "NorvKeysLv2.so", "manifest.ttl", "norv-keys.ttl"})
        fs::copy_file(built / file, bundle_ / file);
    fs::create_directory_symlink(built / "Artwork", bundle_ / "Artwork");
    for (const fs::directory_entry& e : fs::directory_iterator(built / "WavTables"))
        fs::create_symlink(e.path(), bundle_ / "WavTables" / e.path().filename());
    TestSetOptions set;
    set.Name = "Test Set";
    set.FileBase = "zz_test";
    set.Frames = 44100;  // a second before the loop, so a note's start is a clean sine
    WriteTestSet(bundle_ / "WavTables", set);
    // Written long enough ago for the plug-in to share it between instances,
    // as it shares sets installed before a session.
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(bundle_ / "WavTables"))
        if (!e.is_symlink()) fs::last_write_time(e.path(), fs::file_time_type::clock::now() - std::chrono::hours(1));
    // Its presets, one per set, as norvkeys import writes them into a bundle.
    lv2::WritePresets(lv2::PluginBundle(bundle_), ScanFolder(TPianoWaveTable(bundle_ / "WavTables", 0)));
}

Lv2World::Lv2World(const fs::path& bundle) : world_(lilv_world_new()) {
    LilvNode* uri = lilv_new_file_uri(world_, nullptr, bundle.c_str());
    lilv_world_load_specifications(world_);
    lilv_world_load_plugin_classes(world_);
    lilv_world_load_bundle(world_, uri);
    lilv_node_free(uri);
    LilvNode* plugin = lilv_new_uri(world_, norv::lv2::kPluginUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), plugin);
    lilv_node_free(plugin);
}

Lv2World::~Lv2World() { lilv_world_free(world_); }

Lv2Instance::Lv2Instance(Lv2World& world, Lv2Features features)
    : world_(world), input_(kAtomBytes / 8), notify_(kAtomBytes / 8), left_(kMaxBlock), right_(kMaxBlock) {
    const LilvPlugin* plugin = world.Plugin();
    if (!plugin) return;
    UridMap& urids = world.Urids();

    schedule_ = {this, Schedule};
    const LV2_URID intType = urids.Map(LV2_ATOM__Int);
    options_[0] = {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType,
                   &blockLength_};
    options_[1] = {LV2_OPTIONS_INSTANCE, 0, urids.Map(LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t), intType,
                   &blockLength_};
    featureStore_.push_back({LV2_OPTIONS__options, options_});
    featureStore_.push_back({LV2_BUF_SIZE__boundedBlockLength, nullptr});
    if (features.Map) featureStore_.push_back({LV2_URID__map, urids.MapFeature()});
    featureStore_.push_back({LV2_URID__unmap, urids.UnmapFeature()});
    if (features.Worker) featureStore_.push_back({LV2_WORKER__schedule, &schedule_});
    for (const LV2_Feature& f : featureStore_) features_.push_back(&f);
    features_.push_back(nullptr);

    requests_.reserve(kMaxRequests);
    instance_ = lilv_plugin_instantiate(plugin, kRate, features_.data());
    if (!instance_) return;
    workerIface_ = static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    worker_ = std::thread([this] { WorkerLoop(); });

    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    controls_.assign(ports, 0.0f);
    std::vector<float> defaults(ports);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (uint32_t p = 0; p < ports; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        symbols_[lilv_node_as_string(lilv_port_get_symbol(plugin, port))] = p;
        if (p >= norv::lv2::kFirstParam) {
            controls_[p] = defaults[p];
            lilv_instance_connect_port(instance_, p, &controls_[p]);
        }
    }
    lilv_instance_connect_port(instance_, norv::lv2::kMidiIn, input_.data());
    lilv_instance_connect_port(instance_, norv::lv2::kNotify, notify_.data());
    lilv_instance_connect_port(instance_, norv::lv2::kLeftOut, left_.data());
    lilv_instance_connect_port(instance_, norv::lv2::kRightOut, right_.data());
    lv2_atom_forge_init(&forge_, urids.MapFeature());
    ResetInput();
    lilv_instance_activate(instance_);
}

Lv2Instance::~Lv2Instance() {
    if (!instance_) return;
    {
        std::lock_guard l(lock_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
}

void Lv2Instance::Restart() {
    lilv_instance_deactivate(instance_);
    lilv_instance_activate(instance_);
}

void Lv2Instance::SetControl(const std::string& symbol, float value) { controls_.at(symbols_.at(symbol)) = value; }
float Lv2Instance::Control(const std::string& symbol) const { return controls_.at(symbols_.at(symbol)); }

void Lv2Instance::ResetInput() {
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<uint8_t*>(input_.data()), kAtomBytes);
    lv2_atom_forge_sequence_head(&forge_, &sequence_, 0);
}

void Lv2Instance::Midi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[3] = {status, data1, data2};
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_atom(&forge_, 3, world_.Urids().Map(LV2_MIDI__MidiEvent));
    lv2_atom_forge_write(&forge_, bytes, 3);
}

void Lv2Instance::RawEvent(uint32_t frame, LV2_URID type, const void* body, uint32_t size, uint32_t claimedSize) {
    lv2_atom_forge_frame_time(&forge_, frame);
    const LV2_Atom_Forge_Ref ref = lv2_atom_forge_atom(&forge_, size, type);
    lv2_atom_forge_write(&forge_, body, size);
    if (claimedSize) lv2_atom_forge_deref(&forge_, ref)->size = claimedSize;
}

void Lv2Instance::PatchSet(const std::string& utf8) {
    UridMap& u = world_.Urids();
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge_, 0);
    lv2_atom_forge_object(&forge_, &frame, 0, u.Map(LV2_PATCH__Set));
    lv2_atom_forge_key(&forge_, u.Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge_, u.Map(norv::lv2::kSetProperty));
    lv2_atom_forge_key(&forge_, u.Map(LV2_PATCH__value));
    lv2_atom_forge_string(&forge_, utf8.c_str(), static_cast<uint32_t>(utf8.size()));
    lv2_atom_forge_pop(&forge_, &frame);
}

void Lv2Instance::PatchGet() {
    UridMap& u = world_.Urids();
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge_, 0);
    lv2_atom_forge_object(&forge_, &frame, 0, u.Map(LV2_PATCH__Get));
    lv2_atom_forge_key(&forge_, u.Map(LV2_PATCH__property));
    lv2_atom_forge_urid(&forge_, u.Map(norv::lv2::kSetProperty));
    lv2_atom_forge_pop(&forge_, &frame);
}

void Lv2Instance::Render(uint32_t frames, uint32_t block, std::vector<float>& left, std::vector<float>& right) {
    block = std::min(block, kMaxBlock);
    for (uint32_t done = 0; done < frames; done += block) {
        const uint32_t n = std::min(block, frames - done);
        RunOnce(n, [](auto call) { call(); });
        left.insert(left.end(), left_.begin(), left_.begin() + n);
        right.insert(right.end(), right_.begin(), right_.begin() + n);
    }
}

void Lv2Instance::BeginRun() {
    lv2_atom_forge_pop(&forge_, &sequence_);
    auto* notify = reinterpret_cast<LV2_Atom*>(notify_.data());
    notify->type = 0;
    notify->size = kAtomBytes - sizeof(LV2_Atom);
}

void Lv2Instance::SettleWorker(std::vector<float>& left, std::vector<float>& right) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard l(lock_);
            if (requests_.empty() && responses_.empty() && busy_ == 0) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Render(256, 256, left, right);
    }
    Render(256, 256, left, right);  // the run that reports the last answer
}

void Lv2Instance::ReadNotify() {
    UridMap& u = world_.Urids();
    const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(notify_.data());
    if (sequence->atom.type != u.Map(LV2_ATOM__Sequence)) return;
    LV2_ATOM_SEQUENCE_FOREACH(sequence, ev) {
        if (ev->body.type != u.Map(LV2_ATOM__Object)) continue;
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
        if (object->body.otype != u.Map(LV2_PATCH__Set)) continue;
        const LV2_Atom* property = nullptr;
        const LV2_Atom* value = nullptr;
        lv2_atom_object_get(object, u.Map(LV2_PATCH__property), &property, u.Map(LV2_PATCH__value), &value, 0);
        if (!property || !value || value->type != u.Map(LV2_ATOM__String)) continue;
        if (reinterpret_cast<const LV2_Atom_URID*>(property)->body != u.Map(norv::lv2::kSetProperty)) continue;
        setsHeard_.emplace_back(static_cast<const char*>(LV2_ATOM_BODY_CONST(value)));
    }
}

LV2_Worker_Status Lv2Instance::Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data) {
    auto* self = static_cast<Lv2Instance*>(handle);
    {
        std::lock_guard l(self->lock_);
        if (size > sizeof(Request::Bytes) || self->requests_.size() == kMaxRequests) return LV2_WORKER_ERR_NO_SPACE;
        self->requests_.emplace_back();
        self->requests_.back().Size = size;
        std::memcpy(self->requests_.back().Bytes, data, size);
    }
    self->wake_.notify_one();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Lv2Instance::Respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data) {
    auto* self = static_cast<Lv2Instance*>(handle);
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::lock_guard l(self->lock_);
    self->responses_.emplace_back(bytes, bytes + size);
    return LV2_WORKER_SUCCESS;
}

void Lv2Instance::WorkerLoop() {
    std::unique_lock l(lock_);
    for (;;) {
        wake_.wait(l, [this] { return stop_ || !requests_.empty(); });
        if (stop_) return;
        const Request request = requests_.front();
        requests_.erase(requests_.begin());
        ++busy_;
        l.unlock();
        workerIface_->work(lilv_instance_get_handle(instance_), Respond, this, request.Size, request.Bytes);
        l.lock();
        --busy_;
    }
}

void Lv2Instance::TakeResponses() {
    delivering_.clear();
    std::lock_guard l(lock_);
    delivering_.swap(responses_);
}

void Lv2Instance::DeliverResponses() {
    for (const auto& a : delivering_)
        workerIface_->work_response(lilv_instance_get_handle(instance_), static_cast<uint32_t>(a.size()), a.data());
}

}  // namespace norv::test
