#include "host/ChannelFilter.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

#include "base/TextCase.h"

namespace norv::host {
namespace {

int ParseChannel(std::string_view text, std::string_view item) {
    text = TrimBlanks(text);
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        throw std::invalid_argument("\"" + std::string(item) + "\" is not a channel or a range of channels");
    if (value < 1 || value > 16)
        throw std::invalid_argument("channel " + std::string(text) + " is outside 1 to 16");
    return value;
}

}  // namespace

ChannelSet DefaultChannels() { return ChannelSet().set().reset(9); }

ChannelSet ParseChannelList(std::string_view text) {
    if (EqualsIgnoreCase(TrimBlanks(text), "all")) return ChannelSet().set();
    ChannelSet set;
    size_t from = 0;
    while (true) {
        const size_t comma = text.find(',', from);
        const std::string_view item = text.substr(from, comma == std::string_view::npos ? text.npos : comma - from);
        const size_t dash = item.find('-');
        if (TrimBlanks(item).empty()) throw std::invalid_argument("empty item in the channel list");
        const int first = ParseChannel(item.substr(0, dash), item);
        const int last = dash == std::string_view::npos ? first : ParseChannel(item.substr(dash + 1), item);
        if (last < first)
            throw std::invalid_argument("range " + std::string(TrimBlanks(item)) + " runs backwards");
        for (int c = first; c <= last; ++c) set.set(static_cast<size_t>(c - 1));
        if (comma == std::string_view::npos) break;
        from = comma + 1;
    }
    return set;
}

std::string FormatChannelList(const ChannelSet& channels) {
    std::string text;
    for (int c = 0; c < 16; ++c) {
        if (!channels.test(static_cast<size_t>(c))) continue;
        int last = c;
        while (last + 1 < 16 && channels.test(static_cast<size_t>(last + 1))) ++last;
        if (!text.empty()) text += ", ";
        text += std::to_string(c + 1);
        if (last > c) text += "-" + std::to_string(last + 1);
        c = last;
    }
    return text;
}

int64_t SkippedNotes::Total() const {
    int64_t total = 0;
    for (int64_t n : PerChannel) total += n;
    return total;
}

ChannelSet SkippedNotes::Channels() const {
    ChannelSet set;
    for (size_t c = 0; c < PerChannel.size(); ++c) set.set(c, PerChannel[c] > 0);
    return set;
}

SkippedNotes KeepChannels(MidiSong& song, const ChannelSet& keep) {
    SkippedNotes skipped;
    std::erase_if(song.events, [&](const MidiEvent& e) {
        if (keep.test(e.channel)) return false;
        if (e.type == MidiType::NoteOn && e.data2 > 0) ++skipped.PerChannel[e.channel];
        return true;
    });
    return skipped;
}

}  // namespace norv::host
