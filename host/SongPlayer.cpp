#include "host/SongPlayer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace norv::host {
namespace {

// What the Performer acts on; program changes and pressure it ignores.
bool ReachesInstrument(MidiType type) {
    return type == MidiType::NoteOn || type == MidiType::NoteOff || type == MidiType::ControlChange ||
           type == MidiType::PitchBend;
}

}  // namespace

SongPlayer::SongPlayer(Performer& performer, const MidiSong& song, double sampleRate, int32_t maxBlock,
                       double tailSeconds)
    : performer_(performer), song_(song), rate_(sampleRate), maxBlock_(maxBlock) {
    if (!(sampleRate > 0) || !std::isfinite(sampleRate)) throw std::invalid_argument("sample rate must be positive");
    if (maxBlock < 1) throw std::invalid_argument("block length must be at least one frame");
    if (!(tailSeconds >= 0) || !std::isfinite(tailSeconds)) throw std::invalid_argument("tail must not be negative");
    for (size_t i = song.events.size(); i > 0 && played_ == 0; --i)
        if (ReachesInstrument(song.events[i - 1].type)) played_ = i;
    songEnd_ = played_ == 0 ? 0 : std::max<int64_t>(0, SecondsToFrames(song.events[played_ - 1].seconds, rate_));
    limit_ = songEnd_ + SecondsToFrames(tailSeconds, rate_);
}

int32_t SongPlayer::Next(float* interleaved) {
    if (finished_) return 0;
    const auto& events = song_.events;
    while (next_ < played_ && SecondsToFrames(events[next_].seconds, rate_) <= position_)
        performer_.Apply(events[next_++]);

    const bool eventsDone = next_ == played_;
    if (eventsDone && position_ >= songEnd_ && (position_ >= limit_ || performer_.LiveVoices() == 0)) {
        finished_ = true;
        return 0;
    }

    int64_t end = position_ + maxBlock_;
    if (!eventsDone) end = std::min(end, SecondsToFrames(events[next_].seconds, rate_));
    if (position_ < songEnd_) end = std::min(end, songEnd_);
    end = std::min(end, limit_);
    const auto frames = static_cast<int32_t>(end - position_);
    performer_.RenderBlock(interleaved, frames);
    position_ = end;
    return frames;
}

double SongPlayer::Progress() const {
    if (songEnd_ <= 0 || position_ >= songEnd_) return 1.0;
    return static_cast<double>(position_) / static_cast<double>(songEnd_);
}

}  // namespace norv::host
