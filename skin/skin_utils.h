// Small drawing routines and helpers of the skinned parts: shortened and
// centred text, frames of glyph strips, the line glyphs of the built-in
// (unskinned) look, work areas, window opacity and rectangle tests.
#pragma once

#include "toolkit/graphics.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <vector>

class TWinControl;

// The text, or (when wider than `width` on the canvas' font) the longest
// start of it that fits followed by "..."; just "..." when none does.
QString TruncateWithEllipsis(TCanvas* canvas, const QString& text, int width);
// Text at rect left + 2 + `leftOffset`, vertically centred, clipped to the
// rectangle (the brush fills it unless clear).
void DrawTextInRect(TCanvas* canvas, const QString& text, const QRect& rect, int leftOffset = 0);
// Frame `frame` (from 1) of `count` equal-width frames of `strip` at (x, y),
// its bottom-left pixel's colour transparent. An empty strip draws nothing.
void DrawGlyphFrame(TCanvas* canvas, int x, int y, int frame, int count, const TBitmap& strip);

// Line glyphs, each centred in `rect` and drawn in one colour.
enum class TbsGlyph {
  ArrowLeft, ArrowRight, ArrowUp, ArrowDown,  // 4 lines of 1, 3, 5, 7 pixels
  DropDown,                                   // lines of 5, 3, 1 pixels
  Check,                                      // three parallel strokes
  Close,                                      // two-pixel-wide 9 x 9 cross
  Minimize,                                   // two lines at the bottom
  Maximize,                                   // 11 x 10 box with a two-pixel top bar
  Restore,                                    // two such boxes overlapping
  RollUp, RollDown,                           // 5-line triangles
  Square,                                     // filled 6 x 6 square
};
void DrawGlyph(TCanvas* canvas, const QRect& rect, TbsGlyph glyph, TColor color);
// The glyph's rows, '#' for a drawn pixel (all rows equally long).
const std::vector<const char*>& GlyphPattern(TbsGlyph glyph);
// One-pixel frame on `rect`: `light` top and left, `dark` bottom and right.
void DrawTwoColorFrame(TCanvas* canvas, const QRect& rect, TColor light, TColor dark);

// With more than one monitor, the work area (or, without `workArea`, the
// whole area) of the monitor nearest to `window`; otherwise the desktop work
// area (or the screen rectangle).
QRect GetMonitorWorkArea(const TWinControl* window, bool workArea);

// Whether windows of the running platform take an opacity.
bool TransparencySupported();
// Gives the window of `control` the opacity alpha 0..255 (255 opaque) when
// the platform supports it; otherwise does nothing.
void SetWindowAlpha(TWinControl* control, int alpha);

// Rectangle tests (right and bottom exclusive).
inline int RectWidth(const QRect& r) { return r.width(); }
inline int RectHeight(const QRect& r) { return r.height(); }
// Width or height not positive.
inline bool IsNullRect(const QRect& r) { return r.width() <= 0 || r.height() <= 0; }
// A point with a zero coordinate counts as unset.
inline bool IsNullPoint(const QPoint& p) { return p.x() == 0 || p.y() == 0; }
// The inner rectangle's top-left (left, top) and bottom-right (right, bottom)
// points both lie in the outer one, its right and bottom edges excluded.
bool RectInRect(const QRect& inner, const QRect& outer);
