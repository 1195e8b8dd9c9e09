#include "tools/import/SourceRegion.h"

#include "tools/import/ImportError.h"

namespace norv::import {
namespace {

std::string RangeText(const FrameRange& r) { return std::to_string(r.Start) + ".." + std::to_string(r.End - 1); }

}  // namespace

void CompleteRegion(SourceRegion& region, const SampleInfo& sample, const std::string& file) {
    const std::string where = file + ": " + region.Where + ": sample '" + sample.Name + "'";
    region.Frames = {region.StartOffset, region.End ? *region.End : sample.Frames + region.EndOffset};
    if (region.Frames.Start < 0 || region.Frames.End > sample.Frames || region.Frames.Length() < 1)
        throw ImportError(where + ": frames " + RangeText(region.Frames) + " do not lie within its " +
                          std::to_string(sample.Frames) + " frames");

    region.IsLooped = region.Looped.value_or(sample.Loop.has_value());
    if (region.IsLooped) {
        const FrameRange own = sample.Loop.value_or(region.Frames);
        const FrameRange loop{region.LoopStart.value_or(own.Start) + region.LoopStartOffset,
                              region.LoopEnd.value_or(own.End) + region.LoopEndOffset};
        if (loop.Start < region.Frames.Start || loop.End > region.Frames.End || loop.Length() < 1)
            throw ImportError(where + ": loop " + RangeText(loop) + " does not lie within its frames " +
                              RangeText(region.Frames));
        region.LoopFrames = loop;
    }

    region.Root = region.RootKey ? *region.RootKey : sample.RootKey.value_or(60);
    if (region.Root < 0 || region.Root > 127)
        throw ImportError(where + ": root key " + std::to_string(region.Root) + " is not a MIDI key (0..127)");
}

void LeftOutList::Add(const std::string& what, const std::string& unit) {
    for (Item& item : items_) {
        if (item.What == what && item.Unit == unit) {
            ++item.Count;
            return;
        }
    }
    items_.push_back({what, unit, 1});
}

std::vector<std::string> LeftOutList::Lines() const {
    std::vector<std::string> lines;
    for (const Item& item : items_)
        lines.push_back(item.What + " (" + std::to_string(item.Count) + " " + item.Unit + (item.Count == 1 ? "" : "s") +
                        ")");
    return lines;
}

}  // namespace norv::import
