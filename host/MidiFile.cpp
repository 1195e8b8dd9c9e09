#include "host/MidiFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "base/NumberFormat.h"

namespace norv::host {

namespace {

constexpr uint32_t kDefaultTempo = 500000;  // 120 beats per minute

// Tick sums times microseconds per quarter can pass 64 bits in a long file;
// 128 bits keep every event time exact until the one final division.
__extension__ typedef unsigned __int128 Wide;

int BitLength(Wide value) {
    auto high = static_cast<uint64_t>(value >> 64), low = static_cast<uint64_t>(value);
    if (high != 0) return 128 - __builtin_clzll(high);
    return low != 0 ? 64 - __builtin_clzll(low) : 0;
}

// The double nearest to num / den, rounded once: the quotient is scaled to
// 64 significant bits with a sticky bit for the remainder, and the one
// rounding happens in the conversion to double.
double Quotient(Wide num, Wide den) {
    if (num == 0) return 0.0;
    int shift = 64 - (BitLength(num) - BitLength(den));
    if (shift > 0)
        num <<= shift;
    else
        den <<= -shift;
    Wide q = num / den;
    bool sticky = num % den != 0;
    if (q >> 64) {
        sticky = sticky || (q & 1);
        q >>= 1;
        --shift;
    }
    return std::ldexp(static_cast<double>(static_cast<uint64_t>(q) | (sticky ? 1 : 0)), -shift);
}

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

struct TempoMark {
    uint64_t tick;
    uint16_t track;
    uint32_t micros;
};

// Error offsets point at what the reader was looking at: the field of a
// header, the header of a chunk, or the first byte of the delta time or event
// that is broken (so a cut-off event is reported where it starts).
class Parser {
public:
    Parser(std::span<const uint8_t> bytes, const std::string& name) : bytes_(bytes), name_(name) {}

    MidiSong Run() {
        ReadHeader();
        size_t pos = headerEnd_;
        int read = 0;
        while (read < declaredTracks_) {
            size_t left = bytes_.size() - pos;
            if (left == 0)
                Fail(pos, "file ends after " + std::to_string(read) + " of " +
                              std::to_string(declaredTracks_) + " track chunks");
            if (left < 8) Fail(pos, "truncated chunk header");
            bool track = std::memcmp(&bytes_[pos], "MTrk", 4) == 0;
            uint32_t length = Be32(pos + 4);
            if (length > left - 8)
                Fail(pos, std::string(track ? "track chunk" : "chunk") + " length " + std::to_string(length) +
                              " runs past the end of the file (" + std::to_string(left - 8) + " bytes left)");
            if (track) ReadTrack(static_cast<uint16_t>(read++), pos + 8, pos + 8 + length);
            pos += 8 + size_t{length};
        }
        song_.trackCount = read;
        Finish();
        return std::move(song_);
    }

private:
    [[noreturn]] void Fail(size_t offset, const std::string& reason) const {
        throw MidiFileError(name_, offset, reason);
    }

    uint32_t Be32(size_t at) const {
        return uint32_t{bytes_[at]} << 24 | uint32_t{bytes_[at + 1]} << 16 | uint32_t{bytes_[at + 2]} << 8 |
               uint32_t{bytes_[at + 3]};
    }
    uint16_t Be16(size_t at) const { return static_cast<uint16_t>(bytes_[at] << 8 | bytes_[at + 1]); }

    void ReadHeader() {
        if (bytes_.size() < 4 || std::memcmp(bytes_.data(), "MThd", 4) != 0)
            Fail(0, "not a standard MIDI file (no MThd header)");
        if (bytes_.size() < 8) Fail(4, "truncated header chunk");
        uint32_t length = Be32(4);
        if (length < 6) Fail(4, "header chunk length " + std::to_string(length) + " is shorter than 6");
        if (length > bytes_.size() - 8)
            Fail(4, "header chunk length " + std::to_string(length) + " runs past the end of the file");
        headerEnd_ = 8 + size_t{length};

        int format = Be16(8);
        if (format == 2) Fail(8, "format 2 (independent sequences) is not supported");
        if (format > 2) Fail(8, "unknown format " + std::to_string(format));
        song_.format = format;

        declaredTracks_ = Be16(10);
        if (declaredTracks_ == 0) Fail(10, "the header declares no tracks");
        if (format == 0 && declaredTracks_ != 1)
            Fail(10, "format 0 with " + std::to_string(declaredTracks_) + " tracks");

        uint16_t division = Be16(12);
        if (division & 0x8000) {
            int rate = -static_cast<int8_t>(division >> 8);
            if (rate != 24 && rate != 25 && rate != 29 && rate != 30)
                Fail(12, "unknown SMPTE frame rate " + std::to_string(rate));
            if ((division & 0xFF) == 0) Fail(12, "SMPTE division with 0 ticks per frame");
            song_.smpteRate = rate;
            song_.ticksPerFrame = division & 0xFF;
        } else {
            if (division == 0) Fail(12, "division of 0 ticks per quarter note");
            song_.ticksPerQuarter = division;
        }
    }

    // A variable-length number of at most four bytes, all inside the chunk.
    uint32_t Vlq(size_t& pos, size_t end, size_t itemStart, const char* what) const {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos >= end) Fail(itemStart, std::string(what) + " runs past the end of the track chunk");
            uint8_t b = bytes_[pos++];
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        Fail(itemStart, std::string(what) + " is longer than 4 bytes");
    }

    void ReadTrack(uint16_t track, size_t pos, size_t end) {
        uint64_t tick = 0;
        uint8_t running = 0;
        while (pos < end) {
            size_t deltaStart = pos;
            tick += Vlq(pos, end, deltaStart, "delta time");
            if (pos >= end) Fail(deltaStart, "delta time runs past the end of the track chunk");
            size_t start = pos;
            uint8_t status = bytes_[pos];
            if (status >= 0x80) {
                ++pos;
            } else if (running == 0) {
                Fail(start, "data byte " + Hex(status) + " where a status byte is required");
            } else {
                status = running;
            }

            if (status == 0xFF) {
                if (pos >= end) Fail(start, "meta event runs past the end of the track chunk");
                uint8_t type = bytes_[pos++];
                uint32_t length = Vlq(pos, end, start, "meta event length");
                if (length > end - pos)
                    Fail(start, "meta event length " + std::to_string(length) +
                                    " runs past the end of the track chunk");
                if (type == 0x2F) break;  // end of track; anything after it is padding
                if (type == 0x51) ReadTempo(track, tick, start, pos, length);
                pos += length;
                continue;  // meta and sysex leave running status alone: tolerant of writers that rely on it
            }
            if (status == 0xF0 || status == 0xF7) {
                uint32_t length = Vlq(pos, end, start, "system exclusive length");
                if (length > end - pos)
                    Fail(start, "system exclusive length " + std::to_string(length) +
                                    " runs past the end of the track chunk");
                pos += length;
                continue;
            }
            if (status >= 0xF0) Fail(start, "status byte " + Hex(status) + " is not allowed in a track");

            running = status;
            MidiEvent e;
            e.tick = tick;
            e.track = track;
            e.type = static_cast<MidiType>(status & 0xF0);
            e.channel = status & 0x0F;
            int count = MidiDataLength(e.type);
            if (end - pos < static_cast<size_t>(count))
                Fail(start, "event runs past the end of the track chunk");
            for (int i = 0; i < count; ++i)
                if (bytes_[pos + i] & 0x80)
                    Fail(pos + i, "status byte " + Hex(bytes_[pos + i]) + " inside a " + Hex(status) + " message");
            e.data1 = bytes_[pos];
            e.data2 = count == 2 ? bytes_[pos + 1] : 0;
            pos += count;
            song_.events.push_back(e);
        }
        song_.endTick = std::max(song_.endTick, tick);
    }

    void ReadTempo(uint16_t track, uint64_t tick, size_t start, size_t pos, uint32_t length) {
        if (length != 3) Fail(start, "tempo meta event of length " + std::to_string(length) + " (3 expected)");
        uint32_t micros = uint32_t{bytes_[pos]} << 16 | uint32_t{bytes_[pos + 1]} << 8 | bytes_[pos + 2];
        if (micros == 0) Fail(start, "tempo of 0 microseconds per quarter note");
        marks_.push_back({tick, track, micros});
    }

    // Merges the tracks and puts seconds on every tick.
    void Finish() {
        auto byTickThenTrack = [](const auto& a, const auto& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.track < b.track;
        };
        std::stable_sort(song_.events.begin(), song_.events.end(), byTickThenTrack);
        if (song_.smpteRate == 0) BuildTempoMap(byTickThenTrack);
        for (MidiEvent& e : song_.events) e.seconds = Seconds(e.tick);
        song_.endSeconds = Seconds(song_.endTick);
    }

    template <typename Less>
    void BuildTempoMap(Less less) {
        std::stable_sort(marks_.begin(), marks_.end(), less);
        Wide elapsed = 0;  // microseconds times ticks per quarter
        uint64_t lastTick = 0;
        uint32_t lastMicros = kDefaultTempo;
        for (const TempoMark& m : marks_) {
            elapsed += Wide{m.tick - lastTick} * lastMicros;
            lastTick = m.tick;
            lastMicros = m.micros;
            if (!song_.tempos.empty() && song_.tempos.back().tick == m.tick) {
                song_.tempos.back().microsPerQuarter = m.micros;
                continue;
            }
            song_.tempos.push_back({m.tick, 0.0, m.micros});
            elapsedAt_.push_back(elapsed);
        }
        for (MidiTempo& t : song_.tempos) t.seconds = Seconds(t.tick);
    }

    double Seconds(uint64_t tick) const {
        if (song_.smpteRate != 0) {
            // 29 is 30 frames counted at 30000/1001 per second.
            Wide framesPerSecond = song_.smpteRate == 29 ? 30000 : Wide(song_.smpteRate);
            Wide scale = song_.smpteRate == 29 ? 1001 : 1;
            return Quotient(Wide{tick} * scale, framesPerSecond * song_.ticksPerFrame);
        }
        auto after = std::upper_bound(song_.tempos.begin(), song_.tempos.end(), tick,
                                      [](uint64_t t, const MidiTempo& m) { return t < m.tick; });
        Wide elapsed = 0;
        uint64_t from = 0;
        uint32_t micros = kDefaultTempo;
        if (after != song_.tempos.begin()) {
            size_t i = static_cast<size_t>(std::distance(song_.tempos.begin(), after)) - 1;
            elapsed = elapsedAt_[i];
            from = song_.tempos[i].tick;
            micros = song_.tempos[i].microsPerQuarter;
        }
        elapsed += Wide{tick - from} * micros;
        return Quotient(elapsed, Wide{1000000} * song_.ticksPerQuarter);
    }

    std::span<const uint8_t> bytes_;
    const std::string& name_;
    MidiSong song_;
    size_t headerEnd_ = 0;
    int declaredTracks_ = 0;
    std::vector<TempoMark> marks_;
    std::vector<Wide> elapsedAt_;  // index for index with song_.tempos
};

}  // namespace

int MidiDataLength(MidiType type) {
    return type == MidiType::ProgramChange || type == MidiType::ChannelPressure ? 1 : 2;
}

MidiFileError::MidiFileError(const std::string& name, size_t offset, const std::string& reason)
    : std::runtime_error(name + ": offset " + std::to_string(offset) + ": " + reason),
      name_(name),
      offset_(offset),
      reason_(reason) {}

MidiSong ReadMidiFile(const std::filesystem::path& path) {
    std::string name = path.string();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) throw std::runtime_error(name + ": is a folder, not a MIDI file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error(name + ": cannot open: " + std::strerror(errno));
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw std::runtime_error(name + ": cannot read: " + std::strerror(errno));
    return ParseMidi(bytes, name);
}

MidiSong ParseMidi(std::span<const uint8_t> bytes, const std::string& name) {
    return Parser(bytes, name).Run();
}

int64_t SecondsToFrames(double seconds, double sampleRate) {
    return RoundEven(static_cast<long double>(seconds) * sampleRate);
}

}  // namespace norv::host
