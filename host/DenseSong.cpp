#include "host/DenseSong.h"

#include <algorithm>
#include <cmath>

namespace norv::host {

MidiWriter DenseSong(double seconds) {
    constexpr uint64_t kChordTicks = 96;  // 100 ms at 480 ticks a quarter, 120 bpm
    const auto chords = static_cast<uint64_t>(std::max(1.0, std::round(seconds * 10.0)));
    MidiWriter w(0, 480);
    w.AddTrack();
    w.Tempo(0, 0, 500000);
    w.Control(0, 0, 0, 64, 127);
    for (uint64_t chord = 0; chord < chords; ++chord)
        for (uint64_t n = 0; n < 8; ++n)
            w.Note(0, chord * kChordTicks, 960, 0, static_cast<int>(30 + (chord * 7 + n * 9) % 70),
                   static_cast<int>(40 + (chord * 13 + n * 17) % 87));
    w.Control(0, chords * kChordTicks, 0, 64, 0);
    return w;
}

}  // namespace norv::host
