// The twelve key rectangles of one keyboard octave image, laid out from a
// white key width, black key width, black key offset and black key height.
#pragma once

#include <array>

namespace norv::res {

struct TKeyRect {
    int Left, Top, Right, Bottom;  // right and bottom exclusive
};

bool IsBlackKey(int key);  // key mod 12 of C# D# F# G# A#

std::array<TKeyRect, 12> OctaveKeyRects(int whiteWidth, int blackWidth, int blackOffset,
                                        int blackHeight, int height);

// The test keyboard's octave: 119 x 66.
inline constexpr int kWhiteKeyWidth = 17;
inline constexpr int kBlackKeyWidth = 9;
inline constexpr int kBlackKeyOffset = 0;
inline constexpr int kBlackKeyHeight = 40;
inline constexpr int kOctaveWidth = 7 * kWhiteKeyWidth;
inline constexpr int kOctaveHeight = 66;

}  // namespace norv::res
