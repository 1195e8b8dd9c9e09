#include "editor/MusicControls.h"

#include <algorithm>

#include "toolkit/Application.h"
#include "toolkit/Color.h"

namespace norv {
namespace {

constexpr int kWhiteKeys[] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kBlackKeys[] = {1, 3, 6, 8, 10};
// Black keys lie on the white ones, so they are tested first.
constexpr int kHitOrder[] = {1, 3, 6, 8, 10, 0, 2, 4, 5, 7, 9, 11};

bool IsBlack(int k) { return std::find(std::begin(kBlackKeys), std::end(kBlackKeys), k) != std::end(kBlackKeys); }

int FloorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

void TKbDIBmpList::SetKeyGeometry(int w, int b, int o, int h) {
    const int c = ((b + 3) >> 1) - o;
    const int blackLefts[] = {w - c - 1, 2 * w - c + 1, 4 * w - c - 1, 5 * w - c, 6 * w - c + 1};
    for (size_t i = 0; i < 5; ++i) {
        const int l = blackLefts[i];
        KeyRects[static_cast<size_t>(kBlackKeys[i])] = {l, 0, l + b, h};
    }
    int x = 0;
    for (int k : kWhiteKeys) {
        KeyRects[static_cast<size_t>(k)] = {x, 0, x + w, DefaultHeight};
        x += w;
    }
}

tk::TRect TKbDIBmpList::KeyRect(int key, int scrollOffset, int gutter) const {
    const int octave = FloorDiv(key, 12), k = key - 12 * octave;
    return KeyRects[static_cast<size_t>(k)].Offset(octave * DefaultWidth - scrollOffset, gutter);
}

void TKbDIBmpList::KeyAt(int x, int y, int& key, int& velocity) const {
    velocity = 0;
    if (x < 0) {
        key = -1;
        return;
    }
    const int octave = x / DefaultWidth, xo = x % DefaultWidth;
    y = std::clamp(y, 0, DefaultHeight - 1);
    for (int k : kHitOrder) {
        const tk::TRect& r = KeyRects[static_cast<size_t>(k)];
        if (!r.Contains(xo, y)) continue;
        key = octave * 12 + k;
        const int a = r.Height() - 1;
        velocity = a > 0 ? std::min(y, a) * 128 / a : 0;
        return;
    }
    key = octave * 12;
}

void TKbDIBmpList::Paint(cairo_t* cr, double scale, int scrollOffset, int gutter,
                         const std::vector<uint16_t>& pressed, const tk::TRect& area) const {
    if (DefaultWidth <= 0) return;
    const int first = FloorDiv(area.Left + scrollOffset, DefaultWidth);
    const int last = FloorDiv(area.Right - 1 + scrollOffset, DefaultWidth);
    for (int octave = first; octave <= last; ++octave)
        Images.Draw(cr, scale, 0, octave * DefaultWidth - scrollOffset, gutter);
    for (uint16_t key : pressed) {
        const int k = key % 12;
        const tk::TRect r = KeyRect(key, scrollOffset, gutter);
        const int originX = r.Left - KeyRects[static_cast<size_t>(k)].Left;
        cairo_save(cr);
        cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
        cairo_clip(cr);
        if (!IsBlack(k)) {
            // The black keys lying on a white key keep their look.
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
            cairo_rectangle(cr, r.Left, r.Top, r.Width(), r.Height());
            for (int n : {k - 1, k + 1}) {
                if ((n == k - 1 && k == 0) || (n == k + 1 && k >= 10)) continue;
                const tk::TRect nr = KeyRect(key - k + n, scrollOffset, gutter);
                cairo_rectangle(cr, nr.Left, nr.Top, nr.Width(), nr.Height());
            }
            cairo_clip(cr);
        }
        Images.Draw(cr, scale, 1, originX, gutter);
        cairo_restore(cr);
    }
}

int32_t TQuickMIDIKbEx::ScrollOffset() const {
    return KbBmpList ? KbBmpList->KeyRect(MinKey, 0, 0).Left : 0;
}

bool TQuickMIDIKbEx::IsPressed(int32_t key) const {
    return std::any_of(pressed_.begin(), pressed_.end(), [&](const PressedKey& p) { return p.Key == key; });
}

void TQuickMIDIKbEx::InvalidateKey(int32_t key) {
    if (KbBmpList)
        InvalidateRect(KbBmpList->KeyRect(key, ScrollOffset(), GutterSize));
    else
        Invalidate();
}

void TQuickMIDIKbEx::PressKey(int32_t key) {
    if (key < MinKey || key > MaxKey) return;
    for (auto& p : pressed_) {
        if (p.Key == key) {
            ++p.ExtraPresses;
            return;
        }
    }
    pressed_.push_back({static_cast<uint16_t>(key), 0});
    InvalidateKey(key);
}

void TQuickMIDIKbEx::ReleaseKey(int32_t key) {
    if (key < MinKey || key > MaxKey) return;
    for (auto it = pressed_.begin(); it != pressed_.end(); ++it) {
        if (it->Key != key) continue;
        if (it->ExtraPresses > 0) {
            --it->ExtraPresses;
        } else {
            pressed_.erase(it);
            InvalidateKey(key);
        }
        return;
    }
}

void TQuickMIDIKbEx::KeyAtPoint(int x, int y, int& key, int& velocity) const {
    key = -1;
    velocity = 0;
    if (KbBmpList) KbBmpList->KeyAt(x + ScrollOffset(), y - GutterSize, key, velocity);
    key = std::clamp(key, MinKey, MaxKey);
}

void TQuickMIDIKbEx::PlayKey(int32_t key, int32_t velocity) {
    if (key < MinKey || key > MaxKey) key = -1;
    if (key == currentKey_) return;
    if (currentKey_ >= 0) {
        const int32_t old = currentKey_;
        currentKey_ = -1;
        ReleaseKey(old);
        if (OnNoteOff) OnNoteOff(this, old, velocity);
    }
    currentKey_ = key;
    if (key >= 0) {
        PressKey(key);
        if (OnNoteOn) OnNoteOn(this, key, velocity);
    }
}

void TQuickMIDIKbEx::MouseDown(tk::TMouseButton b, tk::TShiftState s, int x, int y) {
    if (b != tk::TMouseButton::Left) return;
    holding_ = true;
    MouseMove(s, x, y);
}

void TQuickMIDIKbEx::MouseMove(tk::TShiftState, int x, int y) {
    if (!holding_ || tk::Application().CaptureControl != this) return;
    int key = 0, v = 0;
    KeyAtPoint(x, y, key, v);
    if (dragVelocity_ < 0)
        dragVelocity_ = v;
    else
        v = dragVelocity_;
    PlayKey(key, v);
}

void TQuickMIDIKbEx::MouseUp(tk::TMouseButton b, tk::TShiftState, int, int) {
    if (b != tk::TMouseButton::Left || !holding_) return;
    holding_ = false;
    PlayKey(-1, 0);
    dragVelocity_ = -1;
}

void TQuickMIDIKbEx::Paint(cairo_t* cr) {
    if (GutterSize > 1) {
        tk::SetSourceColor(cr, Color);
        cairo_rectangle(cr, 0, 0, Width(), GutterSize - 1);
        cairo_fill(cr);
    }
    if (!KbBmpList) return;
    std::vector<uint16_t> keys;
    keys.reserve(pressed_.size());
    for (const PressedKey& p : pressed_) keys.push_back(p.Key);
    double x1, y1, x2, y2;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    const tk::TRect area{static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2) + 1, static_cast<int>(y2) + 1};
    KbBmpList->Paint(cr, Scale(), ScrollOffset(), GutterSize, keys, area.Intersect({0, 0, Width(), Height()}));
}

}  // namespace norv
