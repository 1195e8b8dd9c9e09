// The demo piece of Norv Keys, written for it.
//
// A short song in F major, 4/4. The left hand plays the harmony (broken
// chords in the quiet parts, syncopated block chords where the tune climbs),
// the right hand a tune with a few chords of its own. Each bar names its
// left-hand chords, its figure, its tune and the loudness it starts from;
// loudness glides toward the next bar's, so phrases swell and fall.
#pragma once

#include <vector>

namespace norv::demo {

enum class Figure {
    Broken,  // bass, then the upper chord notes in eighths, up and down
    Block,   // bass held, upper notes struck together on 1, the "and" of 2, and 4
    Held,    // everything struck once and held
};

struct Chord {
    const char* keys;  // left-hand voicing, lowest (the bass) first
    double beats;
};

struct Bar {
    std::vector<Chord> chords;
    Figure figure;
    const char* tune;
    int level;  // velocity at the downbeat
};

constexpr int kBeatsPerBar = 4;
constexpr double kTempoBpm = 80.0;
// Slowing beat by beat from this bar to the end, arriving at kFinalBpm.
constexpr int kRitardandoBar = 15;
constexpr double kFinalBpm = 48.0;
// The loudness the last bar fades toward.
constexpr int kEndLevel = 26;

inline const std::vector<Bar>& DemoScore() {
    static const std::vector<Bar> score = {
        // Intro: the accompaniment alone, softly.
        {{{"F2 C3 F3 A3", 4}}, Figure::Broken, "r:4", 32},
        // First phrase.
        {{{"F2 C3 F3 A3", 4}}, Figure::Broken, "A4:1.5 G4:.5 A4:1 C5:1", 40},
        {{{"D2 A2 C3 F3", 4}}, Figure::Broken, "D5:1.5 C5:.5 A4:1 F4:1", 46},
        {{{"Bb1 F2 A2 D3", 4}}, Figure::Broken, "G4:1 A4:.5 Bb4:.5 D5:1.5 C5:.5", 54},
        {{{"C2 G2 C3 F3", 2}, {"C2 G2 C3 E3", 2}}, Figure::Broken, "Bb4:1 A4:1 G4:2", 48},
        // Second phrase, answering the first.
        {{{"A1 E2 A2 C3", 4}}, Figure::Broken, "C5:1.5 Bb4:.5 A4:1 E5:1>", 46},
        {{{"Bb1 F2 Bb2 D3", 4}}, Figure::Broken, "D5:1.5 C5:.5 Bb4:.5 A4:.5 F4:1", 56},
        {{{"G1 D2 F2 Bb2", 2}, {"C2 G2 Bb2 E3", 2}}, Figure::Broken, "G4:.5 A4:.5 Bb4:1 C5:.5 Bb4:.5 G4:.5 E4:.5", 60},
        {{{"F2 C3 F3 A3", 4}}, Figure::Broken, "[F4 A4 C5]:3 r:1", 50},
        // The tune climbs over block chords to the peak.
        {{{"D2 F3 A3 D4", 4}}, Figure::Block, "A5:1.5 G5:.5 F5:1 D5:1", 58},
        {{{"Bb1 F3 Bb3 D4", 4}}, Figure::Block, "F5:1.5 D5:.5 Bb4:1 D5:1", 64},
        {{{"G1 G3 Bb3 D4", 4}}, Figure::Block, "[Bb4 D5 G5]:1.5> F5:.5 D5:1 Bb4:1", 72},
        {{{"C2 G3 Bb3 E4", 4}}, Figure::Block, "C5:.5 D5:.5 E5:.5 G5:.5 Bb5:1.5 A5:.5", 80},
        {{{"A1 G3 C4 E4", 2}, {"D2 F3 A3 D4", 2}}, Figure::Block, "[C5 E5 A5]:1.5> G5:.5 [D5 F5 A5]:1.5> F5:.5", 96},
        // Settling down, then the ritardando and the last chord.
        {{{"G1 D2 F2 Bb2", 2}, {"C2 G2 Bb2 E3", 2}}, Figure::Broken, "G5:1 F5:.5 D5:.5 E5:1 C5:1", 82},
        {{{"Bb1 F2 Bb2 D3", 2}, {"Bb1 F2 Bb2 Db3", 2}}, Figure::Broken, "D5:1.5 C5:.5 Db5:1.5 C5:.5", 64},
        {{{"C2 F2 A2 C3", 2}, {"C2 G2 Bb2 E3", 2}}, Figure::Broken, "A4:1.5 F4:.5 G4:1 E4:1", 50},
        {{{"F1 C2 F2 A2", 4}}, Figure::Held, "[F4 A4 C5 F5]:4", 36},
    };
    return score;
}

}  // namespace norv::demo
