#include "resources/KeyGeometry.h"

namespace norv::res {

bool IsBlackKey(int key) {
    const int k = ((key % 12) + 12) % 12;
    return k == 1 || k == 3 || k == 6 || k == 8 || k == 10;
}

std::array<TKeyRect, 12> OctaveKeyRects(int w, int b, int o, int blackHeight, int height) {
    const int c = ((b + 3) >> 1) - o;
    // The black keys lean towards the gaps they sit in, as on a real keyboard.
    const int blackLefts[5] = {w - c - 1, 2 * w - c + 1, 4 * w - c - 1, 5 * w - c, 6 * w - c + 1};
    std::array<TKeyRect, 12> rects{};
    int x = 0;
    int black = 0;
    for (int k = 0; k < 12; ++k) {
        if (IsBlackKey(k)) {
            const int left = blackLefts[black++];
            rects[k] = {left, 0, left + b, blackHeight};
        } else {
            rects[k] = {x, 0, x + w, height};
            x += w;
        }
    }
    return rects;
}

}  // namespace norv::res
