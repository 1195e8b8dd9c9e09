// Turns the demo score into a standard MIDI file: format 1, a conductor
// track (names, metre, key, tempo with the closing ritardando) and a piano
// track on channel 0 with notes, velocities and sustain pedal.
//
// Header-only so that the tests can compose the demo without the generator.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <vector>

#include "host/MidiWriter.h"
#include "tools/mkdemo/Notation.h"
#include "tools/mkdemo/Score.h"
#include "base/NumberFormat.h"

namespace norv::demo {

constexpr int kTicksPerQuarter = 480;
constexpr int kChannel = 0;
constexpr int kSustain = 64;

class Composer {
public:
    host::MidiWriter Compose(const std::vector<Bar>& score) {
        for (size_t b = 0; b < score.size(); ++b) ComposeBar(score, b);
        uint64_t end = Ticks(static_cast<double>(score.size()) * kBeatsPerBar);

        host::MidiWriter out(1, kTicksPerQuarter);
        size_t conductor = out.AddTrack();
        size_t piano = out.AddTrack();
        out.Text(conductor, 0, 0x03, "Norv Keys demo");
        out.Meta(conductor, 0, 0x58, std::vector<uint8_t>{4, 2, 24, 8});  // 4/4
        out.Meta(conductor, 0, 0x59, std::vector<uint8_t>{0xFF, 0});   // F major
        WriteTempo(out, conductor, score.size());
        out.Text(piano, 0, 0x03, "Piano");

        WriteNotes(out, piano);
        // Legato pedalling: lift just after each new chord sounds, catch it again
        // at once; the last chord rings one more beat under the pedal.
        for (size_t i = 0; i < chordStarts_.size(); ++i) {
            uint64_t t = chordStarts_[i];
            if (i > 0) out.Control(piano, t + 12, kChannel, kSustain, 0);
            out.Control(piano, t + (i > 0 ? 72 : 24), kChannel, kSustain, 127);
        }
        out.Control(piano, end + kTicksPerQuarter, kChannel, kSustain, 0);
        out.EndTrack(piano, end + kTicksPerQuarter + kTicksPerQuarter / 2);
        out.EndTrack(conductor, end + kTicksPerQuarter + kTicksPerQuarter / 2);
        return out;
    }

private:
    struct Sounding {
        uint64_t start, end;
        int key, velocity;
    };

    static uint64_t Ticks(double beats) {
        double exact = beats * kTicksPerQuarter;
        long long ticks = RoundEven(exact);
        if (ticks != exact || ticks < 0) throw std::logic_error("a length that is not a whole number of ticks");
        return static_cast<uint64_t>(ticks);
    }

    static int Clamp(double velocity) { return static_cast<int>(std::clamp<long long>(RoundEven(velocity), 1, 127)); }

    // Loudness glides from each bar's level to the next one's.
    static double Level(const std::vector<Bar>& score, size_t bar, double beat) {
        double from = score[bar].level;
        double to = bar + 1 < score.size() ? score[bar + 1].level : kEndLevel;
        return from + (to - from) * beat / kBeatsPerBar;
    }

    void Play(uint64_t start, uint64_t end, int key, double velocity) {
        notes_.push_back({start, end, key, Clamp(velocity)});
    }

    void ComposeBar(const std::vector<Bar>& score, size_t b) {
        const Bar& bar = score[b];
        double barStart = static_cast<double>(b) * kBeatsPerBar;
        double beat = 0.0;
        for (const Chord& chord : bar.chords) {
            std::vector<int> keys = Keys(chord.keys);
            if (keys.size() < 2) throw std::logic_error("a chord needs a bass and upper notes");
            uint64_t start = Ticks(barStart + beat);
            uint64_t end = Ticks(barStart + beat + chord.beats);
            chordStarts_.push_back(start);
            auto level = [&](double at) { return Level(score, b, beat + at); };
            switch (bar.figure) {
                case Figure::Broken: Broken(keys, start, end, chord.beats, level); break;
                case Figure::Block: Block(keys, start, end, chord.beats, level); break;
                case Figure::Held:
                    Play(start, end, keys[0], level(0));
                    for (size_t i = 1; i < keys.size(); ++i) Play(start, end, keys[i], level(0) - 6);
                    break;
            }
            beat += chord.beats;
        }
        if (beat != kBeatsPerBar) throw std::logic_error("the chords of a bar do not fill it");

        beat = 0.0;
        for (const Written& w : ParseLine(bar.tune)) {
            uint64_t start = Ticks(barStart + beat);
            uint64_t end = Ticks(barStart + beat + w.beats) - 12;  // room to strike the next note
            double velocity = Level(score, b, beat) + 10 + (w.accent ? 14 : 0);
            // In a chord the top note carries the tune; the others stay under it.
            for (size_t i = 0; i < w.keys.size(); ++i)
                Play(start, end, w.keys[i], i + 1 == w.keys.size() ? velocity : velocity - 8);
            beat += w.beats;
        }
        if (beat != kBeatsPerBar) throw std::logic_error("the tune of a bar does not fill it");
    }

    template <typename LevelAt>
    void Broken(const std::vector<int>& keys, uint64_t start, uint64_t end, double beats, LevelAt level) {
        Play(start, end, keys[0], level(0));
        // Upper notes up and down without repeating the turning points: 1 2 3 2 1 2 ...
        std::vector<size_t> cycle;
        for (size_t i = 1; i < keys.size(); ++i) cycle.push_back(i);
        for (size_t i = keys.size() - 2; i >= 2; --i) cycle.push_back(i);
        int eighths = static_cast<int>(beats * 2);
        for (int i = 1; i < eighths; ++i) {
            double at = i / 2.0;
            bool onBeat = i % 2 == 0;
            Play(start + Ticks(at), end, keys[cycle[(i - 1) % cycle.size()]], level(at) - 12 + (onBeat ? 4 : 0));
        }
    }

    template <typename LevelAt>
    void Block(const std::vector<int>& keys, uint64_t start, uint64_t end, double beats, LevelAt level) {
        Play(start, end, keys[0], level(0) + 2);
        // 3 + 3 + 2 eighths across a whole bar, one strike a beat in a half bar.
        std::vector<double> strikes = beats == 4 ? std::vector<double>{0, 1.5, 3} : std::vector<double>{0, 1};
        for (size_t s = 0; s < strikes.size(); ++s) {
            if (strikes[s] >= beats) break;
            uint64_t from = start + Ticks(strikes[s]);
            uint64_t to = s + 1 < strikes.size() && strikes[s + 1] < beats ? start + Ticks(strikes[s + 1]) : end;
            for (size_t i = 1; i < keys.size(); ++i) Play(from, to, keys[i], level(strikes[s]) - 4 + (s == 0 ? 4 : 0));
        }
    }

    // A key struck again cuts its earlier note short, so every note-off
    // belongs to the note before it.
    void WriteNotes(host::MidiWriter& out, size_t track) {
        std::stable_sort(notes_.begin(), notes_.end(),
                         [](const Sounding& a, const Sounding& b) { return a.start < b.start; });
        std::map<int, size_t> last;
        for (size_t i = 0; i < notes_.size(); ++i) {
            auto found = last.find(notes_[i].key);
            if (found != last.end()) {
                Sounding& before = notes_[found->second];
                before.end = std::min(before.end, notes_[i].start);
            }
            last[notes_[i].key] = i;
        }
        for (const Sounding& n : notes_)
            if (n.end > n.start) out.Note(track, n.start, n.end - n.start, kChannel, n.key, n.velocity);
    }

    static void WriteTempo(host::MidiWriter& out, size_t track, size_t bars) {
        auto micros = [](double bpm) { return static_cast<uint32_t>(RoundEven(60e6 / bpm)); };
        out.Tempo(track, 0, micros(kTempoBpm));
        int beats = static_cast<int>(bars - kRitardandoBar) * kBeatsPerBar;
        for (int k = 0; k < beats; ++k) {
            double bpm = kTempoBpm + (kFinalBpm - kTempoBpm) * (k + 1) / beats;
            out.Tempo(track, Ticks(kRitardandoBar * kBeatsPerBar + k), micros(bpm));
        }
    }

    std::vector<Sounding> notes_;
    std::vector<uint64_t> chordStarts_;
};

inline host::MidiWriter ComposeDemo() { return Composer().Compose(DemoScore()); }

}  // namespace norv::demo
