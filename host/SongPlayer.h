// Plays a MIDI song through a Performer, block by block.
//
// Blocks are at most `maxBlock` frames and are cut at every event's frame, so
// each event acts at its exact sample. The song ends at its last note,
// controller or pitch bend, the last event the instrument hears: an end of
// track far after the music (a file's own padding, or a broken length) would
// otherwise be rendered as silence. From there it lasts until the instance
// holds no voice, but never longer than `tailSeconds` past the song's end:
// sustained or undamped notes are cut there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/MidiFile.h"
#include "host/Performer.h"

namespace norv::host {

class SongPlayer {
public:
    // Throws std::invalid_argument for a rate that is not positive, a block
    // under one frame or a negative tail.
    SongPlayer(Performer& performer, const MidiSong& song, double sampleRate, int32_t maxBlock, double tailSeconds);

    // Applies the events due now and renders the next block into `interleaved`
    // (room for maxBlock stereo frames). Returns the block's frame count, 0
    // once the song is over.
    int32_t Next(float* interleaved);

    int64_t Position() const { return position_; }  // frames rendered so far
    int64_t SongEndFrame() const { return songEnd_; }
    int64_t LimitFrame() const { return limit_; }
    bool Finished() const { return finished_; }
    // Rough share of the work done, 0..1: through the song, then through the tail limit.
    double Progress() const;

private:
    Performer& performer_;
    const MidiSong& song_;
    double rate_;
    int32_t maxBlock_;
    int64_t songEnd_;
    int64_t limit_;
    size_t next_ = 0;  // next event to apply
    size_t played_ = 0;  // events up to the song's end; later ones change nothing
    int64_t position_ = 0;
    bool finished_ = false;
};

}  // namespace norv::host
