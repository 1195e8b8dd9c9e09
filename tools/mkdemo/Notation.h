// The small text notation the demo score is written in.
//
//   "F2 C3 A3"                      keys, lowest first
//   "A4:1.5 G4:.5 [F4 A4 C5]:2> r:1" notes and chords with their length in
//                                    beats; ">" accents, "r" rests
//
// Header-only so that the tests can compose the demo without the generator.
#pragma once

#include <cctype>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/NumberFormat.h"

namespace norv::demo {

// "C4" is key 60; a letter, then '#' or 'b' (optional), then the octave.
inline int KeyOf(std::string_view name) {
    static constexpr int kSteps[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    auto bad = [&] { return std::invalid_argument("bad note name \"" + std::string(name) + "\""); };
    if (name.size() < 2) throw bad();
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (letter < 'A' || letter > 'G') throw bad();
    int key = kSteps[letter - 'A'];
    size_t at = 1;
    if (name[at] == '#' || name[at] == 'b') key += name[at++] == '#' ? 1 : -1;
    std::string_view octave = name.substr(at);
    if (octave.empty() || octave.size() > 2) throw bad();
    int number = 0;
    bool negative = octave[0] == '-';
    for (char c : octave.substr(negative ? 1 : 0)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) throw bad();
        number = number * 10 + (c - '0');
    }
    key += 12 * ((negative ? -number : number) + 1);
    if (key < 0 || key > 127) throw bad();
    return key;
}

inline std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < text.size()) {
        if (text[at] == ' ') {
            ++at;
            continue;
        }
        size_t end = text.find(' ', at);
        if (end == std::string_view::npos) end = text.size();
        words.push_back(text.substr(at, end - at));
        at = end;
    }
    return words;
}

inline std::vector<int> Keys(std::string_view names) {
    std::vector<int> keys;
    for (std::string_view word : Words(names)) keys.push_back(KeyOf(word));
    return keys;
}

struct Written {
    std::vector<int> keys;  // empty for a rest
    double beats = 0.0;
    bool accent = false;
};

inline std::vector<Written> ParseLine(std::string_view line) {
    std::vector<Written> out;
    size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ') {
            ++at;
            continue;
        }
        // A chord's brackets hold spaces, so a token ends at the first space after its ':'.
        size_t colon = line.find(':', at);
        if (colon == std::string_view::npos) throw std::invalid_argument("missing length in \"" + std::string(line) + "\"");
        size_t end = line.find(' ', colon);
        if (end == std::string_view::npos) end = line.size();
        std::string_view pitch = line.substr(at, colon - at);
        std::string_view length = line.substr(colon + 1, end - colon - 1);

        Written w;
        if (!length.empty() && length.back() == '>') {
            w.accent = true;
            length.remove_suffix(1);
        }
        auto beats = ParseDecimal(length);
        if (!beats || *beats <= 0) throw std::invalid_argument("bad length \"" + std::string(length) + "\"");
        w.beats = *beats;
        if (pitch.size() >= 2 && pitch.front() == '[' && pitch.back() == ']')
            w.keys = Keys(pitch.substr(1, pitch.size() - 2));
        else if (pitch != "r")
            w.keys = {KeyOf(pitch)};
        out.push_back(std::move(w));
        at = end;
    }
    return out;
}

}  // namespace norv::demo
