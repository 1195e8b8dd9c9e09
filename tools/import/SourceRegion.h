// What the importer reads from any source: regions of keys and velocities,
// each playing one sample (mono, or a stereo pair) with a root key, a tuning,
// a gain and a loop. SoundFont and SFZ readers both produce these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/import/NoteShape.h"

namespace norv::import {

struct FrameRange {
    int64_t Start = 0;
    int64_t End = 0;  // exclusive
    int64_t Length() const { return End - Start; }
};

struct SourceRegion {
    std::string Where;  // "instrument 'Piano' zone 3", "region 4 (line 17)": for messages
    int LoKey = 0, HiKey = 127;
    int LoVel = 1, HiVel = 127;
    int Sample = -1;  // index into the source's samples
    // MIDI key at which the sample sounds at its recorded pitch; empty: the
    // sample's own (a WAVE file's unity note), filled by CompleteRegion.
    std::optional<int> RootKey;
    double TuneCents = 0;  // pitch added at every key
    double GainDb = 0;     // at every velocity
    // How the source plays the region; empty: at GainDb, nothing more known.
    NoteShaper Shape;
    // Frames of the sample: offsets from its first frame and from its end.
    int64_t StartOffset = 0;
    std::optional<int64_t> End;  // last frame + 1 counted from the sample's first; empty: its end
    int64_t EndOffset = 0;       // added to the sample's end when End is empty
    // Empty: loop when the sample has a loop of its own.
    std::optional<bool> Looped;
    // Loop frames counted from the sample's first; empty: the sample's own.
    std::optional<int64_t> LoopStart, LoopEnd;  // LoopEnd exclusive
    int64_t LoopStartOffset = 0, LoopEndOffset = 0;

    // Filled by CompleteRegion.
    FrameRange Frames;
    FrameRange LoopFrames;  // meaningful when IsLooped
    bool IsLooped = false;
    int Root = 60;
};

// What a source knows of a sample before decoding it.
struct SampleInfo {
    std::string Name;  // for messages: the sample header's name or the file
    double Rate = 44100;
    int Channels = 1;
    int64_t Frames = 0;
    std::optional<FrameRange> Loop;
    std::optional<int> RootKey;
    int64_t SourceBytes = 0;  // bytes of the source this sample occupies
};

// Fills the region's frames, loop and root from the sample; throws
// ImportError naming `file` and the region when they do not fit the sample.
void CompleteRegion(SourceRegion& region, const SampleInfo& sample, const std::string& file);

// Things a source holds that a set cannot carry, counted:
// Add("release triggers", "region") twice gives "release triggers (2 regions)".
class LeftOutList {
public:
    void Add(const std::string& what, const std::string& unit);
    std::vector<std::string> Lines() const;
    bool Empty() const { return items_.empty(); }

private:
    struct Item {
        std::string What, Unit;
        int Count = 0;
    };
    std::vector<Item> items_;
};

}  // namespace norv::import
