#include "skin/skin_draw_pixels.h"

#include <algorithm>
#include <cstring>

namespace skin_pixels {

PixelRows PrepareOutput(TBitmap& out, int width, int height)
{
  out.SetSize(std::max(width, 0), std::max(height, 0));
  PixelRows rows;
  if (out.Empty()) return rows;
  rows.W = out.Width();
  rows.H = out.Height();
  rows.Rows.resize(size_t(rows.H));
  for (int y = 0; y < rows.H; ++y) rows.Rows[size_t(y)] = out.ScanLine(y);
  return rows;
}

TbsFBitmap ExtractArea(const QImage& picture, const QRect& area)
{
  if (picture.isNull() || area.isEmpty()) return TbsFBitmap();
  const QRect inside = area.intersected(picture.rect());
  if (inside == area) return TbsFBitmap(picture.copy(area));
  TbsFBitmap out(area.width(), area.height());
  if (inside.isEmpty()) return out;
  const TbsFBitmap part(picture.copy(inside));
  const int dx = inside.x() - area.x(), dy = inside.y() - area.y();
  for (int y = 0; y < part.Height(); ++y)
    std::memcpy(out.Rows()[dy + y] + dx * 3, part.Rows()[y], size_t(part.Width()) * 3);
  return out;
}

void CopyPiece(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s)
{
  if (d.isEmpty() || s.isEmpty() || dst.W == 0 || src.Empty()) return;
  uchar* const* srows = src.Rows();
  if (d.size() == s.size()) {
    // Columns i with 0 <= d.x + i < dst.w and 0 <= s.x + i < src width.
    const int i0 = std::max({0, -d.x(), -s.x()});
    const int i1 = std::min({d.width(), dst.W - d.x(), src.Width() - s.x()});
    if (i1 <= i0) return;
    const int j0 = std::max({0, -d.y(), -s.y()});
    const int j1 = std::min({d.height(), dst.H - d.y(), src.Height() - s.y()});
    const size_t bytes = size_t(i1 - i0) * 3;
    for (int j = j0; j < j1; ++j)
      std::memcpy(dst.Rows[size_t(d.y() + j)] + (d.x() + i0) * 3, srows[s.y() + j] + (s.x() + i0) * 3, bytes);
    return;
  }
  // Target pixel i samples source pixel floor((i + 0.5) × sourceSize / targetSize).
  auto map = [](int i, int srcSize, int dstSize) { return int((qint64(2 * i + 1) * srcSize) / (2 * qint64(dstSize))); };
  const int i0 = std::max(0, -d.x()), i1 = std::min(d.width(), dst.W - d.x());
  const int j0 = std::max(0, -d.y()), j1 = std::min(d.height(), dst.H - d.y());
  if (i1 <= i0 || j1 <= j0) return;
  std::vector<int> xs;
  xs.reserve(size_t(i1 - i0));
  for (int i = i0; i < i1; ++i) xs.push_back(s.x() + map(i, s.width(), d.width()));
  for (int j = j0; j < j1; ++j) {
    const int sy = s.y() + map(j, s.height(), d.height());
    if (sy < 0 || sy >= src.Height()) continue;
    const uchar* srow = srows[sy];
    uchar* drow = dst.Rows[size_t(d.y() + j)] + d.x() * 3;
    for (int i = i0; i < i1; ++i) {
      const int sx = xs[size_t(i - i0)];
      if (sx >= 0 && sx < src.Width()) std::memcpy(drow + i * 3, srow + sx * 3, 3);
    }
  }
}

namespace {
// Calls `piece(offset, length)` for each tile of `step` along one axis of a
// target that starts at `start` and is `length` long, up to `limit`. Whole
// tiles before 0 are skipped so a far-off rectangle costs nothing.
template <class Piece> void ForEachTile(int start, int length, int step, int limit, Piece piece)
{
  const int end = start + length;
  int p = start;
  if (p < 0) p += (-p / step) * step;
  for (const int stop = std::min(end, limit); p < stop; p += step) piece(p, std::min(step, end - p));
}
} // namespace

void TileH(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s)
{
  if (d.isEmpty() || s.isEmpty()) return;
  ForEachTile(d.x(), d.width(), s.width(), dst.W, [&](int x, int w) {
    CopyPiece(dst, QRect(x, d.y(), w, d.height()), src, QRect(s.x(), s.y(), w, s.height()));
  });
}

void TileV(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s)
{
  if (d.isEmpty() || s.isEmpty()) return;
  ForEachTile(d.y(), d.height(), s.height(), dst.H, [&](int y, int h) {
    CopyPiece(dst, QRect(d.x(), y, d.width(), h), src, QRect(s.x(), s.y(), s.width(), h));
  });
}

void Tile2D(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s)
{
  if (d.isEmpty() || s.isEmpty()) return;
  ForEachTile(d.y(), d.height(), s.height(), dst.H, [&](int y, int h) {
    TileH(dst, QRect(d.x(), y, d.width(), h), src, QRect(s.x(), s.y(), s.width(), h));
  });
}

} // namespace skin_pixels
