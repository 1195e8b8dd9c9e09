#include <gtest/gtest.h>

#include <stdexcept>

#include "host/ChannelFilter.h"

namespace norv::host {
namespace {

ChannelSet Channels(std::initializer_list<int> numbers) {
    ChannelSet set;
    for (int c : numbers) set.set(static_cast<size_t>(c - 1));
    return set;
}

std::string ErrorOf(std::string_view text) {
    try {
        ParseChannelList(text);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(accepted)";
}

TEST(ChannelList, ListsRangesAndTheirErrors) {
    EXPECT_EQ(ParseChannelList("1-9,11-16"), DefaultChannels());
    EXPECT_EQ(DefaultChannels(), ChannelSet(0xFDFF));
    EXPECT_EQ(ParseChannelList("1,2"), Channels({1, 2}));
    EXPECT_EQ(ParseChannelList(" 16 , 3-3,2 - 4"), Channels({2, 3, 4, 16}));
    EXPECT_EQ(ParseChannelList("ALL"), ChannelSet(0xFFFF));
    EXPECT_EQ(ParseChannelList("10"), Channels({10}));

    EXPECT_EQ(ErrorOf("0"), "channel 0 is outside 1 to 16");
    EXPECT_EQ(ErrorOf("1-17"), "channel 17 is outside 1 to 16");
    EXPECT_EQ(ErrorOf("9-2"), "range 9-2 runs backwards");
    EXPECT_EQ(ErrorOf("1,,2"), "empty item in the channel list");
    EXPECT_EQ(ErrorOf(""), "empty item in the channel list");
    EXPECT_EQ(ErrorOf("3,"), "empty item in the channel list");
    EXPECT_EQ(ErrorOf("drums"), "\"drums\" is not a channel or a range of channels");
    EXPECT_EQ(ErrorOf("1-"), "\"1-\" is not a channel or a range of channels");
    EXPECT_EQ(ErrorOf("1-2-3"), "\"1-2-3\" is not a channel or a range of channels");
    EXPECT_EQ(ErrorOf("+5"), "\"+5\" is not a channel or a range of channels");
    EXPECT_EQ(ErrorOf("99999999999"), "\"99999999999\" is not a channel or a range of channels");

    // Every set but the empty one is written as a list that reads back as itself.
    EXPECT_EQ(FormatChannelList(DefaultChannels()), "1-9, 11-16");
    EXPECT_EQ(FormatChannelList(Channels({1, 3, 4, 16})), "1, 3-4, 16");
    for (unsigned long bits = 1; bits < 0x10000; ++bits) {
        const ChannelSet set(bits);
        ASSERT_EQ(ParseChannelList(FormatChannelList(set)), set) << FormatChannelList(set);
    }
}

TEST(ChannelList, KeepsOnlyTheChosenChannelsAndCountsTheNotesLeftOut) {
    auto event = [](MidiType type, int channel, int d1, int d2) {
        MidiEvent e;
        e.type = type;
        e.channel = static_cast<uint8_t>(channel);
        e.data1 = static_cast<uint8_t>(d1);
        e.data2 = static_cast<uint8_t>(d2);
        return e;
    };
    MidiSong song;
    song.events = {event(MidiType::NoteOn, 0, 60, 100),        event(MidiType::NoteOn, 9, 36, 100),
                   event(MidiType::NoteOn, 9, 36, 0),          event(MidiType::ControlChange, 9, 7, 10),
                   event(MidiType::NoteOn, 9, 38, 90),         event(MidiType::NoteOff, 9, 38, 0),
                   event(MidiType::PitchBend, 11, 0, 64),      event(MidiType::NoteOn, 11, 50, 1),
                   event(MidiType::ControlChange, 0, 64, 127), event(MidiType::NoteOn, 2, 62, 100)};
    const SkippedNotes skipped = KeepChannels(song, ParseChannelList("1-9,11,13-16"));
    // Note-ons with a velocity; a note-on with velocity 0 is a note-off.
    EXPECT_EQ(skipped.PerChannel[9], 2);
    EXPECT_EQ(skipped.PerChannel[11], 1);
    EXPECT_EQ(skipped.Total(), 3);
    EXPECT_EQ(skipped.Channels(), Channels({10, 12}));
    ASSERT_EQ(song.events.size(), 3u);
    EXPECT_EQ(song.events[0].data1, 60);
    EXPECT_EQ(song.events[1].data1, 64);
    EXPECT_EQ(song.events[2].data1, 62);

    const SkippedNotes none = KeepChannels(song, ChannelSet().set());
    EXPECT_EQ(none.Total(), 0);
    EXPECT_EQ(song.events.size(), 3u);
}

}  // namespace
}  // namespace norv::host
