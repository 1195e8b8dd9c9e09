// Plain geometry and input types of the toolkit, in logical pixels.
#pragma once

#include <algorithm>
#include <cstdint>

namespace norv::tk {

struct TPoint {
    int X = 0, Y = 0;
};

// Right and bottom are exclusive.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    bool Contains(int x, int y) const { return x >= Left && x < Right && y >= Top && y < Bottom; }
    TRect Offset(int dx, int dy) const { return {Left + dx, Top + dy, Right + dx, Bottom + dy}; }
    TRect Inset(int d) const { return {Left + d, Top + d, Right - d, Bottom - d}; }
    TRect Intersect(const TRect& o) const {
        return {std::max(Left, o.Left), std::max(Top, o.Top), std::min(Right, o.Right), std::min(Bottom, o.Bottom)};
    }
    TRect Union(const TRect& o) const {
        if (Empty()) return o;
        if (o.Empty()) return *this;
        return {std::min(Left, o.Left), std::min(Top, o.Top), std::max(Right, o.Right), std::max(Bottom, o.Bottom)};
    }
    bool operator==(const TRect&) const = default;
};

enum class TMouseButton { Left, Right, Middle, X1, X2 };

// Keys and buttons held during a mouse event.
enum TShiftFlag : uint32_t {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
};
using TShiftState = uint32_t;

enum class TCursor { Default, HandPoint, SizeUp, SizeDown };

}  // namespace norv::tk
