#include "host/MidiWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace norv::host {

namespace {

constexpr uint64_t kMaxDelta = 0x0FFFFFFF;

void PutVlq(std::vector<uint8_t>& out, uint64_t value) {
    uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(groups[--n] | 0x80);
    out.push_back(groups[0]);
}

void PutBe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Check(bool ok, const char* what) {
    if (!ok) throw std::invalid_argument(std::string("MidiWriter: ") + what);
}

}  // namespace

MidiWriter::MidiWriter(int format, int ticksPerQuarter) : format_(format), ticksPerQuarter_(ticksPerQuarter) {
    Check(format == 0 || format == 1, "format must be 0 or 1");
    Check(ticksPerQuarter >= 1 && ticksPerQuarter <= 0x7FFF, "ticks per quarter note must be 1..32767");
}

size_t MidiWriter::AddTrack() {
    Check(format_ != 0 || tracks_.empty(), "format 0 has exactly one track");
    tracks_.emplace_back();
    return tracks_.size() - 1;
}

MidiWriter::Track& MidiWriter::At(size_t track) {
    Check(track < tracks_.size(), "no such track");
    return tracks_[track];
}

void MidiWriter::Put(size_t track, uint64_t tick, std::vector<uint8_t> message) {
    At(track).items.push_back({tick, std::move(message)});
}

void MidiWriter::Channel(size_t track, uint64_t tick, MidiType type, int channel, int data1, int data2) {
    Check(channel >= 0 && channel < 16, "channel must be 0..15");
    Check(data1 >= 0 && data1 < 128 && data2 >= 0 && data2 < 128, "data bytes must be 0..127");
    std::vector<uint8_t> message{static_cast<uint8_t>(static_cast<uint8_t>(type) | channel),
                                 static_cast<uint8_t>(data1)};
    if (MidiDataLength(type) == 2) message.push_back(static_cast<uint8_t>(data2));
    Put(track, tick, std::move(message));
}

void MidiWriter::Add(size_t track, const MidiEvent& event) {
    Channel(track, event.tick, event.type, event.channel, event.data1, event.data2);
}

void MidiWriter::Note(size_t track, uint64_t tick, uint64_t length, int channel, int key, int velocity) {
    Check(velocity >= 1, "a note needs a velocity of at least 1");
    Channel(track, tick, MidiType::NoteOn, channel, key, velocity);
    Channel(track, tick + length, MidiType::NoteOff, channel, key, 0);
}

void MidiWriter::Control(size_t track, uint64_t tick, int channel, int controller, int value) {
    Channel(track, tick, MidiType::ControlChange, channel, controller, value);
}

void MidiWriter::Tempo(size_t track, uint64_t tick, uint32_t microsPerQuarter) {
    Check(microsPerQuarter >= 1 && microsPerQuarter <= 0xFFFFFF, "tempo must be 1..16777215 microseconds");
    const uint8_t data[3] = {static_cast<uint8_t>(microsPerQuarter >> 16), static_cast<uint8_t>(microsPerQuarter >> 8),
                             static_cast<uint8_t>(microsPerQuarter)};
    Meta(track, tick, 0x51, data);
}

void MidiWriter::Meta(size_t track, uint64_t tick, uint8_t type, std::span<const uint8_t> data) {
    Check(type < 0x80, "meta type must be 0..127");
    Check(type != 0x2F, "use EndTrack for the end of a track");
    std::vector<uint8_t> message{0xFF, type};
    PutVlq(message, data.size());
    message.insert(message.end(), data.begin(), data.end());
    Put(track, tick, std::move(message));
}

void MidiWriter::Text(size_t track, uint64_t tick, uint8_t type, std::string_view text) {
    Meta(track, tick, type, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

void MidiWriter::SysEx(size_t track, uint64_t tick, std::span<const uint8_t> data) {
    std::vector<uint8_t> message{0xF0};
    PutVlq(message, data.size());
    message.insert(message.end(), data.begin(), data.end());
    Put(track, tick, std::move(message));
}

void MidiWriter::EndTrack(size_t track, uint64_t tick) {
    Track& t = At(track);
    t.end = std::max(t.end, tick);
}

std::vector<uint8_t> MidiWriter::Bytes() const {
    Check(!tracks_.empty(), "a file needs at least one track");
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    PutBe(out, static_cast<uint32_t>(format_), 2);
    PutBe(out, static_cast<uint32_t>(tracks_.size()), 2);
    PutBe(out, static_cast<uint32_t>(ticksPerQuarter_), 2);

    for (const Track& track : tracks_) {
        std::vector<const Item*> order;
        for (const Item& item : track.items) order.push_back(&item);
        std::stable_sort(order.begin(), order.end(), [](const Item* a, const Item* b) { return a->tick < b->tick; });

        std::vector<uint8_t> body;
        uint64_t now = 0;
        uint8_t running = 0;
        auto delta = [&](uint64_t tick) {
            Check(tick - now <= kMaxDelta, "a gap between two events is too long for a delta time");
            PutVlq(body, tick - now);
            now = tick;
        };
        for (const Item* item : order) {
            delta(item->tick);
            uint8_t status = item->message[0];
            bool channel = status < 0xF0;
            bool skip = runningStatus_ && channel && status == running;
            body.insert(body.end(), item->message.begin() + (skip ? 1 : 0), item->message.end());
            // Conforming readers drop running status at meta and sysex events.
            running = channel ? status : 0;
        }
        delta(std::max(track.end, now));
        body.insert(body.end(), {0xFF, 0x2F, 0x00});

        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        Check(body.size() <= 0xFFFFFFFF, "a track is too long for one chunk");
        PutBe(out, static_cast<uint32_t>(body.size()), 4);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

void MidiWriter::Save(const std::filesystem::path& path) const {
    std::vector<uint8_t> bytes = Bytes();
    std::string name = path.string();
    std::filesystem::path temp = path;
    temp += ".tmp-" + std::to_string(::getpid());

    FILE* file = std::fopen(temp.c_str(), "wb");
    if (!file) throw std::runtime_error(name + ": cannot write: " + std::strerror(errno));
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        std::remove(temp.c_str());
        throw std::runtime_error(name + ": cannot write: " + std::strerror(error));
    }
}

}  // namespace norv::host
