// Row-level copying shared by the image builders: same-size copies, nearest
// neighbour stretches and tiling between 24-bit buffers, clipped on both sides
// so that any rectangle a skin names is safe.
#pragma once

#include "skin/skin_effects.h"

#include <QRect>
#include <vector>

namespace skin_pixels {

// Exclusive right and bottom edges.
inline int Right(const QRect& r) { return r.x() + r.width(); }
inline int Bottom(const QRect& r) { return r.y() + r.height(); }

// Writable rows of a 24-bit target.
struct PixelRows {
  std::vector<uchar*> Rows;
  int W = 0, H = 0;
};

// Creates or resizes `out` to width × height (negative sizes count as 0) and
// hands out its rows. The caller signals the change when done.
PixelRows PrepareOutput(TBitmap& out, int width, int height);

// The part of `picture` under `area` as a 24-bit buffer of the area's size;
// what lies outside the picture is black. Empty for an empty area or picture.
TbsFBitmap ExtractArea(const QImage& picture, const QRect& area);

// Copies source piece `s` onto target rectangle `d`, scaling by nearest
// neighbour (pixel centres) when the sizes differ.
void CopyPiece(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s);
// Lays copies of `s` across `d` from its left edge (TileH) or top edge
// (TileV), the last one cut; a piece whose other side differs from `d`'s is
// scaled on that side.
void TileH(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s);
void TileV(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s);
// Tiles `s` both ways over `d` from its top-left corner, the last row and column cut.
void Tile2D(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s);

} // namespace skin_pixels
