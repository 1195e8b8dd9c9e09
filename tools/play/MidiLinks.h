// Which MIDI controller turns which knob, and learning a new link from the
// next controller heard. One controller drives one knob and a knob follows
// one controller: a new link takes the place of any link of either.
//
// The controllers the note side acts on (volume 7, pan 10, expression 11,
// sustain 64, the channel mode messages 120..127) stay with the notes, and
// bank select (0, 32) and the parameter-number messages (6, 38, 96..101)
// only mean something in sequence; none of these can be linked.
//
// GUI thread only.
#pragma once

#include <optional>
#include <vector>

namespace norv::play {

struct MidiLink {
    int Param = 0;
    int Channel = 0;  // 0..15
    int Controller = 0;
    bool operator==(const MidiLink&) const = default;
};

// What one controller message did.
struct HeardControl {
    enum Kind { Nothing, Learned, Refused, Moved } What = Nothing;
    int Param = -1;  // Learned, Refused (the knob still waiting), Moved
};

bool LinkableController(int controller);

class MidiLinks {
public:
    explicit MidiLinks(int paramCount) : paramCount_(paramCount) {}

    // The next linkable controller heard links to `param`; any earlier wait ends.
    void Learn(int param);
    void CancelLearn() { learning_.reset(); }
    std::optional<int> Learning() const { return learning_; }

    // Links `link` in place of any link of its knob or of its controller;
    // false (nothing changes) when the knob, channel or controller is out of
    // range or the controller cannot be linked.
    bool Link(const MidiLink& link);
    // False when the knob had no link.
    bool Forget(int param);
    std::optional<MidiLink> LinkOf(int param) const;
    // In the order they were made.
    const std::vector<MidiLink>& All() const { return links_; }

    // A controller message (channel 0..15): learned while learning, else the
    // knob it moves, if any.
    HeardControl Hear(int channel, int controller);

private:
    int paramCount_;
    std::optional<int> learning_;
    std::vector<MidiLink> links_;
};

}  // namespace norv::play
