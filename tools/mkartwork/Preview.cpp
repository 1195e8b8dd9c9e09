#include "Preview.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "resources/Artwork.h"
#include "resources/KeyGeometry.h"
#include "resources/Lettering.h"
#include "resources/PanelLayout.h"

namespace norv::mkartwork {
namespace {

using res::TImage;

// Draws the part (sx, sy, w, h) of an image, pixels, at (x, y) in logical units.
void Paint(cairo_t* cr, const TImage& image, double x, double y, int scale, int sx = 0, int sy = 0,
           int w = -1, int h = -1) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.Width, image.Height);
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int row = 0; row < image.Height; ++row) {
        auto* out = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(row) * stride);
        for (int col = 0; col < image.Width; ++col) {
            const uint32_t p = image.At(col, row), a = p >> 24;
            auto pre = [a](uint32_t c) { return (c * a + 127) / 255; };
            out[col] = (a << 24) | (pre((p >> 16) & 0xFF) << 16) | (pre((p >> 8) & 0xFF) << 8) | pre(p & 0xFF);
        }
    }
    cairo_surface_mark_dirty(s);
    cairo_save(cr);
    cairo_scale(cr, 1.0 / scale, 1.0 / scale);
    cairo_rectangle(cr, x * scale, y * scale, w < 0 ? image.Width : w, h < 0 ? image.Height : h);
    cairo_clip(cr);
    cairo_set_source_surface(cr, s, x * scale - sx, y * scale - sy);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(s);
}

// Roughly what the controls draw over the panel, to judge the whole.
void PaintControls(cairo_t* cr, double y0, int scale, bool keyboard) {
    const res::TBox& sel = res::kSelectorBox;
    Paint(cr, res::DrawViewSelector(scale), sel.Left, y0 + sel.Top, scale, 0, 0, sel.Width * scale,
          sel.Height * scale);
    res::DrawText(cr, "Norv Grand", sel.Left + 3, y0 + sel.Top + 2, res::TAlign::Left, {});
    const res::TBox& info = res::kInfoButtonBox;
    Paint(cr, res::DrawInfoButton(scale), info.Left, y0 + info.Top, scale, 0, 0, info.Width * scale,
          info.Height * scale);
    const res::TBox& kb = res::kKeyboardButtonBox;
    Paint(cr, res::DrawKeyboardButton(scale), kb.Left, y0 + kb.Top, scale, 31 * scale, 3 * scale, kb.Width * scale,
          kb.Height * scale);
    for (int i = 0; i < kParamCount; ++i) {
        const double half = res::kKnobSize / 2.0;
        const double cx = res::kKnobPlaces[i].Left + half, cy = y0 + res::kKnobPlaces[i].Top + half;
        const double level = ParamLevelOf(i, kParams[i].Initial);
        const double a = 0.75 * M_PI + 1.5 * M_PI * level;
        cairo_move_to(cr, cx, cy);
        cairo_line_to(cr, cx + 7 * std::cos(a), cy + 7 * std::sin(a));
        cairo_set_source_rgb(cr, res::kKnobLineColor.R, res::kKnobLineColor.G, res::kKnobLineColor.B);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
    }
    if (!keyboard) return;
    const TImage keys = res::DrawTestKeyboard(scale);
    const res::TBox& well = res::kKeyboardWell;
    const auto rects = res::OctaveKeyRects(17, 9, 0, 40, well.Height);
    for (int octave = 0; octave < 3; ++octave) {
        const double x = well.Left + octave * 119;
        Paint(cr, keys, x, y0 + well.Top, scale, 0, 0, 119 * scale, well.Height * scale);
        if (octave != 1) continue;
        for (int k : {0, 4, 6}) {  // a chord held: C, E, F#
            const res::TKeyRect& r = rects[k];
            Paint(cr, keys, x + r.Left, y0 + well.Top, scale, (119 + r.Left) * scale, 0,
                  (r.Right - r.Left) * scale, (r.Bottom - r.Top) * scale);
            if (!res::IsBlackKey(k))  // the black keys on it keep their look
                for (int b : {k - 1, k + 1})
                    if (b >= 0 && res::IsBlackKey(b))
                        Paint(cr, keys, x + rects[b].Left, y0 + well.Top, scale, rects[b].Left * scale, 0,
                              9 * scale, 40 * scale);
        }
    }
}

void PaintAboutLabels(cairo_t* cr, double y0) {
    const res::TTextStyle label{11, PANGO_WEIGHT_NORMAL, 0, res::kLabelColor};
    res::DrawText(cr, "Version 1.0.0.0", res::kVersionPlace.Left, y0 + res::kVersionPlace.Top, res::TAlign::Left,
                  label);
    const char* values[] = {"Norv Grand", "Norv Keys", "44100Hz", "3", "264", "A1-C9", "12 MB"};
    for (size_t i = 0; i < res::kAboutRowTops.size(); ++i)
        res::DrawText(cr, values[i], res::kAboutValueLeft, y0 + res::kAboutRowTops[i], res::TAlign::Left, label);
}

void WritePng(cairo_surface_t* s, const std::string& path) {
    const cairo_status_t status = cairo_surface_write_to_png(s, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS) throw std::runtime_error(path + ": " + cairo_status_to_string(status));
}

// Tiles of the sheet with whole pixels made larger, to judge small text
// pixel by pixel: NAME-zoomN-rRcC.png.
void WriteZoomedTiles(cairo_surface_t* sheet, const std::string& path, int zoom) {
    constexpr int kTileW = 200, kTileH = 160;
    const int w = cairo_image_surface_get_width(sheet), h = cairo_image_surface_get_height(sheet);
    const size_t dot = path.rfind('.');
    for (int row = 0; row * kTileH < h; ++row) {
        for (int col = 0; col * kTileW < w; ++col) {
            cairo_surface_t* tile = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kTileW * zoom, kTileH * zoom);
            cairo_t* cr = cairo_create(tile);
            cairo_scale(cr, zoom, zoom);
            cairo_set_source_surface(cr, sheet, -col * kTileW, -row * kTileH);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
            cairo_paint(cr);
            cairo_destroy(cr);
            WritePng(tile, path.substr(0, dot) + "-zoom" + std::to_string(zoom) + "-r" + std::to_string(row) +
                               "c" + std::to_string(col) + ".png");
            cairo_surface_destroy(tile);
        }
    }
}

}  // namespace

void WritePreview(const std::string& pngPath, int scale, int zoom) {
    const TImage back = res::DrawPanel(scale);
    const int h = res::kPanelHeight;
    const int gap = 10;
    int listsHeight = 0;
    for (const auto& l : res::kListArt) listsHeight = std::max(listsHeight, l.Height);
    const int sheetHeight = 3 * h + listsHeight + 4 * gap;

    cairo_surface_t* sheet = cairo_image_surface_create(CAIRO_FORMAT_RGB24, res::kPanelWidth * scale,
                                                        sheetHeight * scale);
    cairo_t* cr = cairo_create(sheet);
    cairo_scale(cr, scale, scale);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_paint(cr);
    Paint(cr, back, 0, 0, scale);  // the bare artwork
    const double withControls = h + gap, withAbout = 2 * (h + gap);
    Paint(cr, back, 0, withControls, scale);
    PaintControls(cr, withControls, scale, true);
    Paint(cr, back, 0, withAbout, scale, 0, 0, -1, res::kPanelHeightNoKeyboard * scale);  // keyboard hidden
    PaintControls(cr, withAbout, scale, false);
    Paint(cr, res::DrawAbout(scale), res::kAboutBox.Left, withAbout + res::kAboutBox.Top, scale);
    PaintAboutLabels(cr, withAbout + res::kAboutBox.Top);
    double x = 0;
    for (const auto& l : res::kListArt) {
        Paint(cr, l.Draw(scale), x, 3 * (h + gap), scale);
        x += l.Width * l.Count + gap;
    }
    cairo_destroy(cr);
    WritePng(sheet, pngPath);
    if (zoom > 1) WriteZoomedTiles(sheet, pngPath, zoom);
    cairo_surface_destroy(sheet);
}

}  // namespace norv::mkartwork
