// What the LV2 host offers an instance: the features it passed and the
// options among them that the instrument reads.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/log/logger.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <cstdint>
#include <string>

namespace norv::lv2 {

struct HostFeatures {
    const LV2_URID_Map* Map = nullptr;
    const LV2_Worker_Schedule* Schedule = nullptr;
    LV2_Log_Logger Logger{};  // prints to standard error when the host gives no log
    int32_t MaxBlockLength = 0;      // 0: not given
    int32_t NominalBlockLength = 0;  // 0: not given
    // The URI of a required feature the host did not give; empty when all are there.
    std::string Missing;
};

// Instantiate thread.
HostFeatures ReadHostFeatures(const LV2_Feature* const* features);

}  // namespace norv::lv2
