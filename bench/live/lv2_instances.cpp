// Instances of the LV2 instrument in one process, as a DAW session holds
// them: lilv loads the bundle, COUNT instances are instantiated at 48 kHz,
// activated and run for one block each. Prints the process's resident and
// peak memory in kB, for bench/memory-lv2.
#include <lilv/lilv.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cmath>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "lv2/Protocol.h"

namespace {

std::map<std::string, LV2_URID> gIds;
std::deque<std::string> gUris;

LV2_URID Map(LV2_URID_Map_Handle, const char* uri) {
    auto [it, fresh] = gIds.emplace(uri, static_cast<LV2_URID>(gIds.size() + 1));
    if (fresh) gUris.emplace_back(uri);
    return it->second;
}

// No set is switched here, so the worker is never asked.
LV2_Worker_Status Schedule(LV2_Worker_Schedule_Handle, uint32_t, const void*) { return LV2_WORKER_SUCCESS; }

long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"LV2 instances of the instrument in one process; prints resident and peak kB"};
    std::string bundle;
    int count = 1;
    app.add_option("bundle", bundle, "The norv-keys.lv2 folder")->required()->check(CLI::ExistingDirectory);
    app.add_option("--count", count, "Instances")->check(CLI::Range(0, 64));
    CLI11_PARSE(app, argc, argv);
    if (bundle.back() != '/') bundle += '/';

    LilvWorld* world = lilv_world_new();
    LilvNode* uri = lilv_new_file_uri(world, nullptr, bundle.c_str());
    lilv_world_load_specifications(world);
    lilv_world_load_plugin_classes(world);
    lilv_world_load_bundle(world, uri);
    LilvNode* pluginUri = lilv_new_uri(world, norv::lv2::kPluginUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), pluginUri);
    if (!plugin) {
        std::cerr << "bench_lv2_instances: no plug-in in " << bundle << "\n";
        return 1;
    }
    LV2_URID_Map map{nullptr, &Map};
    LV2_Worker_Schedule schedule{nullptr, &Schedule};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[] = {&mapFeature, &scheduleFeature, nullptr};

    using namespace norv::lv2;
    std::vector<float> mins(kPortCount), maxs(kPortCount), controls(kPortCount), left(256), right(256);
    lilv_plugin_get_port_ranges_float(plugin, mins.data(), maxs.data(), controls.data());
    for (float& c : controls)
        if (std::isnan(c)) c = 0.0f;
    // An empty input sequence, and room for the notifications.
    std::vector<uint64_t> events(64, 0), notify(512, 0);
    auto* sequence = reinterpret_cast<uint32_t*>(events.data());
    sequence[0] = 8;
    sequence[1] = static_cast<uint32_t>(map.map(nullptr, "http://lv2plug.in/ns/ext/atom#Sequence"));
    auto* room = reinterpret_cast<uint32_t*>(notify.data());
    room[0] = static_cast<uint32_t>(notify.size() * 8 - 8);
    room[1] = static_cast<uint32_t>(map.map(nullptr, "http://lv2plug.in/ns/ext/atom#Chunk"));
    std::vector<LilvInstance*> instances;
    for (int i = 0; i < count; ++i) {
        LilvInstance* in = lilv_plugin_instantiate(plugin, 48000.0, features);
        if (!in) {
            std::cerr << "bench_lv2_instances: instance " << i << " refused\n";
            return 1;
        }
        lilv_instance_connect_port(in, kMidiIn, events.data());
        lilv_instance_connect_port(in, kLeftOut, left.data());
        lilv_instance_connect_port(in, kRightOut, right.data());
        lilv_instance_connect_port(in, kNotify, notify.data());
        for (uint32_t p = kFirstParam; p < kPortCount; ++p) lilv_instance_connect_port(in, p, &controls[p]);
        lilv_instance_activate(in);
        lilv_instance_run(in, 256);
        instances.push_back(in);
    }
    std::cout << "instances " << count << " resident " << StatusKb("VmRSS:") << " peak " << StatusKb("VmHWM:") << "\n";
    for (LilvInstance* in : instances) {
        lilv_instance_deactivate(in);
        lilv_instance_free(in);
    }
    lilv_node_free(pluginUri);
    lilv_node_free(uri);
    lilv_world_free(world);
    return 0;
}
