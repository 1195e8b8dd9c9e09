#include "lv2/HostFeatures.h"

#include <lv2/log/log.h>
#include <lv2/options/options.h>

#include <cstring>

#include "lv2/Uris.h"

namespace norv::lv2 {
namespace {

const void* Find(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f && *f; ++f)
        if ((*f)->URI && std::strcmp((*f)->URI, uri) == 0) return (*f)->data;
    return nullptr;
}

// An integer option, 0 when absent or of another type.
int32_t IntOption(const LV2_Options_Option* options, LV2_URID key, LV2_URID intType) {
    for (const LV2_Options_Option* o = options; o && o->key; ++o)
        if (o->key == key && o->type == intType && o->size == sizeof(int32_t) && o->value)
            return *static_cast<const int32_t*>(o->value);
    return 0;
}

}  // namespace

HostFeatures ReadHostFeatures(const LV2_Feature* const* features) {
    HostFeatures h;
    h.Map = static_cast<const LV2_URID_Map*>(Find(features, LV2_URID__map));
    h.Schedule = static_cast<const LV2_Worker_Schedule*>(Find(features, LV2_WORKER__schedule));
    auto* log = static_cast<LV2_Log_Log*>(const_cast<void*>(Find(features, LV2_LOG__log)));
    // Without a map the log's message types cannot be named: standard error then.
    lv2_log_logger_init(&h.Logger, const_cast<LV2_URID_Map*>(h.Map), h.Map ? log : nullptr);
    if (!h.Map) {
        h.Missing = LV2_URID__map;
        return h;
    }
    if (!h.Schedule) h.Missing = LV2_WORKER__schedule;
    const Uris uris(*h.Map);
    const auto* options = static_cast<const LV2_Options_Option*>(Find(features, LV2_OPTIONS__options));
    h.MaxBlockLength = IntOption(options, uris.MaxBlockLength, uris.AtomInt);
    h.NominalBlockLength = IntOption(options, uris.NominalBlockLength, uris.AtomInt);
    return h;
}

}  // namespace norv::lv2
