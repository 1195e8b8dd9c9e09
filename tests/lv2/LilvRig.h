// A small LV2 host on lilv for the instrument's tests: a URID map, a worker
// on a thread of its own, options, and one instance whose ports the test
// plays: MIDI and patch messages in, stereo and the notify port out.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace norv::test {

class UridMap {
public:
    UridMap();
    LV2_URID Map(const char* uri);
    const char* Unmap(LV2_URID urid);
    LV2_URID_Map* MapFeature() { return &map_; }
    LV2_URID_Unmap* UnmapFeature() { return &unmap_; }

private:
    std::mutex lock_;
    std::map<std::string, LV2_URID> ids_;
    std::deque<std::string> uris_;
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};
};

// A copy of the built bundle in a temporary folder, with the small test set
// "Test Set" beside the default one in its library.
class TestBundle {
public:
    TestBundle();
    const std::filesystem::path& Path() const { return bundle_; }  // ends in '/'

private:
    TempDir dir_;
    std::filesystem::path bundle_;
};

// lilv's world with one bundle loaded.
class Lv2World {
public:
    explicit Lv2World(const std::filesystem::path& bundle);
    ~Lv2World();
    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;
    LilvWorld* World() const { return world_; }
    const LilvPlugin* Plugin() const { return plugin_; }
    UridMap& Urids() { return urids_; }

private:
    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
    UridMap urids_;
};

// Which of the features the instrument needs the host offers.
struct Lv2Features {
    bool Map = true;
    bool Worker = true;
};

class Lv2Instance {
public:
    static constexpr uint32_t kMaxBlock = 512;
    static constexpr double kRate = 48000.0;

    // Not Ok() when the plug-in refuses to instantiate.
    explicit Lv2Instance(Lv2World& world, Lv2Features features = {});
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;
    bool Ok() const { return instance_ != nullptr; }
    LilvInstance* Get() const { return instance_; }

    // A control port's value, by its symbol.
    void SetControl(const std::string& symbol, float value);
    float Control(const std::string& symbol) const;

    // Messages for the next Render's first run, at `frame` of it.
    void Midi(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2);
    void PatchSet(const std::string& utf8);
    // Any atom as an event; `claimedSize` other than 0 is written as its
    // size afterwards, as a broken host might.
    void RawEvent(uint32_t frame, LV2_URID type, const void* body, uint32_t size, uint32_t claimedSize = 0);
    void PatchGet();

    // Runs blocks of `block` frames (the queued messages go with the first)
    // and appends what the outputs gave. After each run, the worker's answers
    // are delivered as a host does.
    void Render(uint32_t frames, uint32_t block, std::vector<float>& left, std::vector<float>& right);

    // One run of `frames` frames with the queued messages, then the worker's
    // answers delivered: wrap(call) makes each call into the instance, for
    // tests that watch what the audio thread does. The output is not kept.
    template <class Wrap>
    void RunOnce(uint32_t frames, Wrap&& wrap) {
        BeginRun();
        wrap([&] { lilv_instance_run(instance_, frames); });
        ReadNotify();
        TakeResponses();
        wrap([&] { DeliverResponses(); });
        ResetInput();
    }

    // The set names the notify port has reported so far.
    const std::vector<std::string>& SetsHeard() const { return setsHeard_; }
    // Waits (rendering silence meanwhile) until the worker has nothing left to do.
    void SettleWorker(std::vector<float>& left, std::vector<float>& right);

private:
    static LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data);
    static LV2_Worker_Status Respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data);
    void WorkerLoop();
    void BeginRun();
    void TakeResponses();
    void DeliverResponses();
    void ReadNotify();
    void ResetInput();

    Lv2World& world_;
    LilvInstance* instance_ = nullptr;
    const LV2_Worker_Interface* workerIface_ = nullptr;
    std::vector<float> controls_;
    std::map<std::string, uint32_t> symbols_;
    std::vector<uint64_t> input_, notify_;  // 8-byte aligned atom buffers
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame sequence_{};
    std::vector<float> left_, right_;
    std::vector<std::string> setsHeard_;

    // The worker: requests in, answers out, each behind the lock.
    std::mutex lock_;
    std::condition_variable wake_;
    // Requests come from run(): kept in room made beforehand, as hosts do.
    struct Request {
        uint32_t Size = 0;
        uint8_t Bytes[1024];
    };
    static constexpr size_t kMaxRequests = 64;
    std::vector<Request> requests_;
    std::vector<std::vector<uint8_t>> responses_, delivering_;
    int busy_ = 0;
    bool stop_ = false;
    std::thread worker_;

    LV2_Worker_Schedule schedule_{};
    int32_t blockLength_ = kMaxBlock;
    LV2_Options_Option options_[3]{};
    std::vector<LV2_Feature> featureStore_;
    std::vector<const LV2_Feature*> features_;
};

}  // namespace norv::test
