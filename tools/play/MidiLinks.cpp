#include "tools/play/MidiLinks.h"

#include <algorithm>

namespace norv::play {

bool LinkableController(int controller) {
    if (controller < 0 || controller > 119) return false;  // 120..127: channel mode
    switch (controller) {
        case 0: case 32:                    // bank select
        case 6: case 38:                    // data entry
        case 96: case 97: case 98: case 99: case 100: case 101:  // parameter numbers
        case 7: case 10: case 11: case 64:  // the note side's
            return false;
        default:
            return true;
    }
}

void MidiLinks::Learn(int param) {
    if (param >= 0 && param < paramCount_) learning_ = param;
}

bool MidiLinks::Link(const MidiLink& link) {
    if (link.Param < 0 || link.Param >= paramCount_ || link.Channel < 0 || link.Channel > 15 ||
        !LinkableController(link.Controller))
        return false;
    std::erase_if(links_, [&](const MidiLink& l) {
        return l.Param == link.Param || (l.Channel == link.Channel && l.Controller == link.Controller);
    });
    links_.push_back(link);
    return true;
}

bool MidiLinks::Forget(int param) {
    return std::erase_if(links_, [param](const MidiLink& l) { return l.Param == param; }) > 0;
}

std::optional<MidiLink> MidiLinks::LinkOf(int param) const {
    const auto it = std::find_if(links_.begin(), links_.end(), [param](const MidiLink& l) { return l.Param == param; });
    if (it == links_.end()) return std::nullopt;
    return *it;
}

HeardControl MidiLinks::Hear(int channel, int controller) {
    if (learning_) {
        const int param = *learning_;
        if (!Link({param, channel, controller})) return {HeardControl::Refused, param};
        learning_.reset();
        return {HeardControl::Learned, param};
    }
    for (const MidiLink& l : links_)
        if (l.Channel == channel && l.Controller == controller) return {HeardControl::Moved, l.Param};
    return {};
}

}  // namespace norv::play
