// The set's shape from a source's regions: key zones rising by their high
// key, the same velocity layers in every zone, and which region plays each
// zone and layer. What had to be bent to fit (overlaps, gaps, merged
// layers, MIDI velocities that share a limit) is said in Notes.
#pragma once

#include <string>
#include <vector>

#include "tools/import/SourceRegion.h"

namespace norv::import {

struct PlannedZone {
    int LoKey = 0, HiKey = 0;
    std::vector<int> Regions;  // one per layer, softest first
};

struct PlannedLayer {
    int LoVel = 1, HiVel = 127;  // MIDI velocities
    int Limit = 0;               // the set's limit: the instrument's velocity of LoVel - 1 (0 for layer 0)
};

struct ZonePlan {
    std::vector<PlannedZone> Zones;
    std::vector<PlannedLayer> Layers;
    std::vector<std::string> Notes;
};

// `maxLayers` 0: no cap. The regions must not be empty.
ZonePlan PlanZones(const std::vector<SourceRegion>& regions, int maxLayers);

}  // namespace norv::import
