#include "tools/import/ZonePlan.h"

#include <algorithm>
#include <set>

#include "tools/import/VelocityMeasure.h"

namespace norv::import {
namespace {

struct Span {
    int Lo, Hi;
};

std::string SpanText(int lo, int hi) { return lo == hi ? std::to_string(lo) : std::to_string(lo) + "-" + std::to_string(hi); }

// Intervals between the edges of the regions' ranges.
std::vector<Span> Intervals(const std::vector<SourceRegion>& regions, bool keys) {
    std::set<int> edges;
    for (const SourceRegion& r : regions) {
        edges.insert(keys ? r.LoKey : r.LoVel);
        edges.insert((keys ? r.HiKey : r.HiVel) + 1);
    }
    std::vector<Span> spans;
    for (auto it = edges.begin(); std::next(it) != edges.end(); ++it) spans.push_back({*it, *std::next(it) - 1});
    return spans;
}

class Planner {
public:
    Planner(const std::vector<SourceRegion>& regions) : regions_(regions) {}
    ZonePlan Plan(int maxLayers);

private:
    void FillCells(const std::vector<Span>& keys, const std::vector<Span>& vels);
    void CloseKeyGaps();
    void FillEmptyLayers();
    void MergeLayer(size_t drop, size_t into);
    void MergeSameSampleLayers();
    void CapLayers(int maxLayers);
    void SetLimits();
    void MergeEqualZones();

    const std::vector<SourceRegion>& regions_;
    ZonePlan plan_;
    size_t overlaps_ = 0;
};

void Planner::FillCells(const std::vector<Span>& keys, const std::vector<Span>& vels) {
    for (const Span& v : vels) plan_.Layers.push_back({v.Lo, v.Hi, 0});
    std::string example;
    for (const Span& k : keys) {
        PlannedZone zone{k.Lo, k.Hi, {}};
        for (const Span& v : vels) {
            std::vector<int> cover;
            for (size_t i = 0; i < regions_.size(); ++i) {
                const SourceRegion& r = regions_[i];
                if (r.LoKey <= k.Lo && k.Hi <= r.HiKey && r.LoVel <= v.Lo && v.Hi <= r.HiVel)
                    cover.push_back(static_cast<int>(i));
            }
            zone.Regions.push_back(cover.empty() ? -1 : cover.front());
            if (cover.size() > 1 && overlaps_++ == 0)
                example = "keys " + SpanText(k.Lo, k.Hi) + ", velocities " + SpanText(v.Lo, v.Hi) + ": " +
                          regions_[static_cast<size_t>(cover[0])].Where + " plays, " +
                          std::to_string(cover.size() - 1) + " more left out";
        }
        plan_.Zones.push_back(std::move(zone));
    }
    if (overlaps_)
        plan_.Notes.push_back("regions overlap (voices layered on one note) in " + std::to_string(overlaps_) +
                              " places; the first region listed plays, e.g. " + example);
}

// A key range that no region covers takes the nearest zones' samples: its
// lower half plays the zone below, its upper half the zone above.
void Planner::CloseKeyGaps() {
    std::vector<PlannedZone>& zones = plan_.Zones;
    for (size_t z = 0; z < zones.size();) {
        const bool empty = std::all_of(zones[z].Regions.begin(), zones[z].Regions.end(), [](int r) { return r < 0; });
        if (!empty) {
            ++z;
            continue;
        }
        // Edges come from regions, so the first and last zone are never empty.
        const int lo = zones[z].LoKey, hi = zones[z].HiKey, mid = lo + (hi - lo + 1) / 2 - 1;
        zones[z - 1].HiKey = mid;
        zones[z + 1].LoKey = mid + 1;
        plan_.Notes.push_back("keys " + SpanText(lo, hi) + " have no region: " +
                              (mid >= lo ? "keys " + SpanText(lo, mid) + " play the zone below, " : std::string()) +
                              "keys " + SpanText(mid + 1, hi) + " the zone above");
        zones.erase(zones.begin() + static_cast<long>(z));
    }
}

// A zone without a region for some velocities plays its nearest layer's there.
void Planner::FillEmptyLayers() {
    std::vector<int> filled(plan_.Layers.size(), 0);
    for (PlannedZone& zone : plan_.Zones) {
        const std::vector<int> own = zone.Regions;
        for (size_t l = 0; l < own.size(); ++l) {
            if (own[l] >= 0) continue;
            for (size_t d = 1; d < own.size(); ++d) {
                const size_t from = l >= d && own[l - d] >= 0 ? l - d : l + d < own.size() && own[l + d] >= 0 ? l + d : l;
                if (from == l) continue;
                zone.Regions[l] = own[from];
                break;
            }
            ++filled[l];
        }
    }
    for (size_t l = 0; l < filled.size(); ++l)
        if (filled[l])
            plan_.Notes.push_back("velocities " + SpanText(plan_.Layers[l].LoVel, plan_.Layers[l].HiVel) +
                                  " have no region in " + std::to_string(filled[l]) +
                                  " zone(s): the nearest velocities' region plays there");
}

void Planner::MergeLayer(size_t drop, size_t into) {
    PlannedLayer& keep = plan_.Layers[into];
    keep.LoVel = std::min(keep.LoVel, plan_.Layers[drop].LoVel);
    keep.HiVel = std::max(keep.HiVel, plan_.Layers[drop].HiVel);
    plan_.Layers.erase(plan_.Layers.begin() + static_cast<long>(drop));
    for (PlannedZone& zone : plan_.Zones) zone.Regions.erase(zone.Regions.begin() + static_cast<long>(drop));
}

bool SameSound(const SourceRegion& a, const SourceRegion& b) {
    return a.Sample == b.Sample && a.Frames.Start == b.Frames.Start && a.Frames.End == b.Frames.End &&
           a.IsLooped == b.IsLooped && (!a.IsLooped || (a.LoopFrames.Start == b.LoopFrames.Start &&
                                                         a.LoopFrames.End == b.LoopFrames.End)) &&
           a.Root == b.Root && a.TuneCents == b.TuneCents;
}

// Neighbouring layers that play the same recordings in every zone differ
// only in the gain the source gives each velocity; the instrument's own
// velocity response does that, so they become one layer, the wider one's gain.
void Planner::MergeSameSampleLayers() {
    for (size_t l = 0; l + 1 < plan_.Layers.size();) {
        const bool same = std::all_of(plan_.Zones.begin(), plan_.Zones.end(), [&](const PlannedZone& z) {
            return SameSound(regions_[static_cast<size_t>(z.Regions[l])], regions_[static_cast<size_t>(z.Regions[l + 1])]);
        });
        if (!same) {
            ++l;
            continue;
        }
        const PlannedLayer& a = plan_.Layers[l];
        const PlannedLayer& b = plan_.Layers[l + 1];
        plan_.Notes.push_back("velocities " + SpanText(a.LoVel, a.HiVel) + " and " + SpanText(b.LoVel, b.HiVel) +
                              " play the same samples: one layer");
        if (b.HiVel - b.LoVel > a.HiVel - a.LoVel)
            MergeLayer(l, l + 1);
        else
            MergeLayer(l + 1, l);
    }
}

// The narrowest layer goes into its narrower neighbour, whose samples then
// play its velocities, until at most maxLayers are left.
void Planner::CapLayers(int maxLayers) {
    const size_t before = plan_.Layers.size();
    if (maxLayers <= 0 || before <= static_cast<size_t>(maxLayers)) return;
    const auto width = [this](size_t l) { return plan_.Layers[l].HiVel - plan_.Layers[l].LoVel; };
    while (plan_.Layers.size() > static_cast<size_t>(maxLayers)) {
        size_t narrow = 0;
        for (size_t l = 1; l < plan_.Layers.size(); ++l)
            if (width(l) < width(narrow)) narrow = l;
        size_t into = narrow == 0 ? 1 : narrow - 1;
        if (narrow > 0 && narrow + 1 < plan_.Layers.size() && width(narrow + 1) < width(narrow - 1)) into = narrow + 1;
        MergeLayer(narrow, into);
    }
    plan_.Notes.push_back(std::to_string(before) + " velocity layers merged into " + std::to_string(maxLayers) +
                          " (--layers)");
}

// A layer whose MIDI velocities all fall on its lower neighbour's limit can
// never play: it goes. A split where neighbouring MIDI velocities share one
// instrument velocity moves to the nearest MIDI velocity where they differ,
// down when both are as near.
void Planner::SetLimits() {
    for (size_t l = 1; l < plan_.Layers.size();) {
        const PlannedLayer& layer = plan_.Layers[l];
        const int below = plan_.Layers[l - 1].LoVel;
        const int limit = InstrumentVelocity(layer.LoVel - 1);
        if (InstrumentVelocity(layer.HiVel) <= limit) {
            plan_.Notes.push_back("velocities " + SpanText(layer.LoVel, layer.HiVel) +
                                  " all give the instrument's velocity " + std::to_string(limit) + " or less, as " +
                                  std::to_string(layer.LoVel - 1) + " does: the layer below plays them");
            MergeLayer(l, l - 1);
            continue;
        }
        const auto splits = [](int v) { return InstrumentVelocity(v - 1) != InstrumentVelocity(v); };
        int up = layer.LoVel, down = layer.LoVel;
        while (!splits(up)) ++up;
        while (down > below + 1 && !splits(down)) --down;
        const int split = splits(down) && layer.LoVel - down <= up - layer.LoVel ? down : up;
        if (split != layer.LoVel)
            plan_.Notes.push_back("MIDI velocities " + std::to_string(layer.LoVel - 1) + " and " +
                                  std::to_string(layer.LoVel) + " both give the instrument's velocity " +
                                  std::to_string(limit) + ": the layer of velocities " + std::to_string(layer.LoVel) +
                                  " up starts at " + std::to_string(split));
        plan_.Layers[l].Limit = InstrumentVelocity(split - 1);
        plan_.Layers[l - 1].HiVel = split - 1;
        plan_.Layers[l].LoVel = split;
        ++l;
    }
    plan_.Layers[0].Limit = 0;
}

void Planner::MergeEqualZones() {
    std::vector<PlannedZone>& zones = plan_.Zones;
    for (size_t z = 1; z < zones.size();) {
        if (zones[z].Regions == zones[z - 1].Regions) {
            zones[z - 1].HiKey = zones[z].HiKey;
            zones.erase(zones.begin() + static_cast<long>(z));
        } else {
            ++z;
        }
    }
}

ZonePlan Planner::Plan(int maxLayers) {
    FillCells(Intervals(regions_, true), Intervals(regions_, false));
    CloseKeyGaps();
    FillEmptyLayers();
    MergeSameSampleLayers();
    CapLayers(maxLayers);
    SetLimits();
    MergeEqualZones();
    return std::move(plan_);
}

}  // namespace

ZonePlan PlanZones(const std::vector<SourceRegion>& regions, int maxLayers) { return Planner(regions).Plan(maxLayers); }

}  // namespace norv::import
