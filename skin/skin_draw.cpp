#include "skin/skin_draw.h"

#include "skin/skin_definitions.h"
#include "skin/skin_draw_pixels.h"

#include <algorithm>
#include <cstring>

using namespace skin_pixels;

TbsFramePoints MoveFramePoints(const TbsFramePoints& s, int dx, int dy)
{
  TbsFramePoints t = s;
  t.RT += QPoint(dx, 0);
  t.LB += QPoint(0, dy);
  t.RB += QPoint(dx, dy);
  t.ClientRect = SkinRect(s.ClientRect.x(), s.ClientRect.y(), Right(s.ClientRect) + dx, Bottom(s.ClientRect) + dy);
  return t;
}

namespace {

// Nothing to cut: a blank image, whatever a reused bitmap held before.
void Clear(const PixelRows& dst)
{
  for (uchar* row : dst.Rows) std::memset(row, 0, size_t(dst.W) * 3);
}

enum class EdgeMode { Tile, Stretch, TileToEdge };

void DrawEdge(const PixelRows& dst, const QRect& d, const TbsFBitmap& src, const QRect& s, bool horizontal,
              EdgeMode mode)
{
  if (mode == EdgeMode::Stretch) CopyPiece(dst, d, src, s);
  else if (horizontal) TileH(dst, d, src, s);
  else TileV(dst, d, src, s);
}

void BuildNineParts(const TbsFramePoints& s, const TbsFramePoints& t, int W, int H, const QRect& skinRect,
                    const QImage& picture, bool fillClient, const EdgeMode modes[4], TBitmap& out)
{
  const PixelRows dst = PrepareOutput(out, W, H);
  const TbsFBitmap src = ExtractArea(picture, skinRect);
  if (src.Empty() || s.RB.x() == s.LT.x() || s.RB.y() == s.LT.y()) {
    Clear(dst);
    return;
  }
  const int sw = src.Width(), sh = src.Height();
  const QRect& cl = s.ClientRect;
  const QRect& ct = t.ClientRect;
  const bool toEdge = modes[0] == EdgeMode::TileToEdge;

  // The edge strips (modes are indexed left, top, right, bottom).
  DrawEdge(dst, SkinRect(t.LT.x(), 0, toEdge ? W : t.RT.x(), ct.y()), src, SkinRect(s.LT.x(), 0, s.RT.x(), cl.y()),
           true, modes[1]);
  DrawEdge(dst, SkinRect(t.LB.x(), Bottom(ct), toEdge ? W : t.RB.x(), H), src,
           SkinRect(s.LB.x(), Bottom(cl), s.RB.x(), sh), true, modes[3]);
  DrawEdge(dst, SkinRect(0, t.LT.y(), ct.x(), toEdge ? H : t.LB.y()), src, SkinRect(0, s.LT.y(), cl.x(), s.LB.y()),
           false, modes[0]);
  DrawEdge(dst, SkinRect(Right(ct), t.RT.y(), W, toEdge ? H : t.RB.y()), src,
           SkinRect(Right(cl), s.RT.y(), sw, s.RB.y()), false, modes[2]);

  // The eight fixed pieces.
  CopyPiece(dst, SkinRect(0, 0, t.LT.x(), ct.y()), src, SkinRect(0, 0, s.LT.x(), cl.y()));
  CopyPiece(dst, SkinRect(0, ct.y(), ct.x(), t.LT.y()), src, SkinRect(0, cl.y(), cl.x(), s.LT.y()));
  CopyPiece(dst, SkinRect(t.RT.x(), 0, W, ct.y()), src, SkinRect(s.RT.x(), 0, sw, cl.y()));
  CopyPiece(dst, SkinRect(Right(ct), ct.y(), W, t.RT.y()), src, SkinRect(Right(cl), cl.y(), sw, s.RT.y()));
  CopyPiece(dst, SkinRect(0, t.LB.y(), ct.x(), H), src, SkinRect(0, s.LB.y(), cl.x(), sh));
  CopyPiece(dst, SkinRect(ct.x(), Bottom(ct), t.LB.x(), H), src, SkinRect(cl.x(), Bottom(cl), s.LB.x(), sh));
  CopyPiece(dst, SkinRect(t.RB.x(), Bottom(ct), W, H), src, SkinRect(s.RB.x(), Bottom(cl), sw, sh));
  CopyPiece(dst, SkinRect(Right(ct), t.RB.y(), W, Bottom(ct)), src, SkinRect(Right(cl), s.RB.y(), sw, Bottom(cl)));

  if (fillClient) Tile2D(dst, ct, src, cl);
}

} // namespace

void BuildSkinImage(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                    const QRect& skinRect, const QImage& picture, bool fillClient, TBitmap& out)
{
  const EdgeMode modes[4] = {EdgeMode::Tile, EdgeMode::Tile, EdgeMode::Tile, EdgeMode::Tile};
  BuildNineParts(source, target, width, height, skinRect, picture, fillClient, modes, out);
  out.Changed();
}

void BuildSkinImageToEdge(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                          const QRect& skinRect, const QImage& picture, bool fillClient, TBitmap& out)
{
  const EdgeMode modes[4] = {EdgeMode::TileToEdge, EdgeMode::TileToEdge, EdgeMode::TileToEdge, EdgeMode::TileToEdge};
  BuildNineParts(source, target, width, height, skinRect, picture, fillClient, modes, out);
  out.Changed();
}

void BuildWindowImage(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                      const QRect& skinRect, const QImage& picture, bool fillClient, TbsStretchFlags stretch,
                      TBitmap& out)
{
  auto mode = [](bool flag) { return flag ? EdgeMode::Stretch : EdgeMode::Tile; };
  const EdgeMode modes[4] = {mode(stretch.Left), mode(stretch.Top), mode(stretch.Right), mode(stretch.Bottom)};
  BuildNineParts(source, target, width, height, skinRect, picture, fillClient, modes, out);
  out.Changed();
}

void BuildFrameBands(const TbsFramePoints& s, const TbsFramePoints& t, int W, int H, const QRect& pictureRect,
                     const QImage& picture, TbsStretchFlags stretch, TBitmap& left, TBitmap& top, TBitmap& right,
                     TBitmap& bottom)
{
  // A window of no size has no frame.
  if (W <= 0 || H <= 0) return;
  const TbsFBitmap src = ExtractArea(picture, pictureRect);
  if (src.Empty()) return;
  const int pw = src.Width(), ph = src.Height();
  const QRect& cl = s.ClientRect;
  const QRect& ct = t.ClientRect;
  const int topH = ct.y();
  const int bottomH = H - Bottom(ct);

  if (topH > 0 && s.RT.x() > s.LT.x()) {
    const PixelRows band = PrepareOutput(top, W, topH);
    const QRect middle = SkinRect(s.LT.x(), 0, s.RT.x(), cl.y());
    if (stretch.Top) CopyPiece(band, SkinRect(t.LT.x(), 0, t.RT.x(), topH), src, middle);
    else TileH(band, QRect(0, 0, W, topH), src, middle);
    CopyPiece(band, SkinRect(0, 0, t.LT.x(), topH), src, SkinRect(0, 0, s.LT.x(), cl.y()));
    CopyPiece(band, SkinRect(t.RT.x(), 0, W, topH), src, SkinRect(s.RT.x(), 0, pw, cl.y()));
    top.Changed();
  }

  if (bottomH > 0 && s.RB.x() > s.LB.x()) {
    const PixelRows band = PrepareOutput(bottom, W, bottomH);
    const int y0 = ph - bottomH;
    const QRect middle = SkinRect(s.LB.x(), y0, s.RB.x(), ph);
    if (stretch.Bottom) CopyPiece(band, SkinRect(t.LB.x(), 0, t.RB.x(), bottomH), src, middle);
    else TileH(band, QRect(0, 0, W, bottomH), src, middle);
    CopyPiece(band, SkinRect(0, 0, t.LB.x(), bottomH), src, SkinRect(0, y0, s.LB.x(), ph));
    CopyPiece(band, SkinRect(t.RB.x(), 0, W, bottomH), src, SkinRect(s.RB.x(), y0, pw, ph));
    bottom.Changed();
  }

  const int sideH = H - topH - bottomH;
  const int leftW = ct.x();
  if (leftW > 0 && sideH > 0 && s.LB.y() > s.LT.y()) {
    const PixelRows band = PrepareOutput(left, leftW, sideH);
    const QRect middle = SkinRect(0, s.LT.y(), leftW, s.LB.y());
    const int upper = s.LT.y() - cl.y(), lower = Bottom(cl) - s.LB.y();
    if (stretch.Left) CopyPiece(band, SkinRect(0, upper, leftW, sideH - lower), src, middle);
    else TileV(band, QRect(0, 0, leftW, sideH), src, middle);
    if (upper > 0) CopyPiece(band, QRect(0, 0, leftW, upper), src, SkinRect(0, cl.y(), leftW, s.LT.y()));
    if (lower > 0) CopyPiece(band, QRect(0, sideH - lower, leftW, lower), src, SkinRect(0, s.LB.y(), leftW, Bottom(cl)));
    left.Changed();
  }

  const int rightW = W - Right(ct);
  if (rightW >= 1 && sideH >= 1 && s.RB.y() > s.RT.y()) {
    const PixelRows band = PrepareOutput(right, rightW, sideH);
    const QRect middle = SkinRect(Right(cl), s.RT.y(), pw, s.RB.y());
    const int upper = s.RT.y() - cl.y(), lower = Bottom(cl) - s.RB.y();
    if (stretch.Right) CopyPiece(band, SkinRect(0, upper, rightW, sideH - lower), src, middle);
    else TileV(band, QRect(0, 0, rightW, sideH), src, middle);
    if (upper > 0) CopyPiece(band, QRect(0, 0, rightW, upper), src, SkinRect(Right(cl), cl.y(), pw, s.RT.y()));
    if (lower > 0)
      CopyPiece(band, QRect(0, sideH - lower, rightW, lower), src, SkinRect(Right(cl), s.RB.y(), pw, Bottom(cl)));
    right.Changed();
  }
}

void BuildMaskBands(const TbsFramePoints& source, const TbsFramePoints& target, int width, int height,
                    const QRect& pictureRect, const QImage& mask, TBitmap& left, TBitmap& top, TBitmap& right,
                    TBitmap& bottom)
{
  BuildFrameBands(source, target, width, height, pictureRect, mask, TbsStretchFlags{}, left, top, right, bottom);
}

// ---------------------------------------------------------------- strips

namespace {

enum class StripParts { Three, Left, MiddleOnly };

void BuildHorz(StripParts parts, int a, int v, const QRect& source, const QImage& picture, int W, TBitmap& out)
{
  const int sh = std::max(0, source.height());
  const PixelRows dst = PrepareOutput(out, W, sh);
  const TbsFBitmap src = ExtractArea(picture, source);
  if (src.Empty() || dst.W == 0) {
    Clear(dst);
    out.Changed();
    return;
  }
  const int sw = src.Width();
  const QRect middle = SkinRect(a, 0, sw - v, sh);
  switch (parts) {
  case StripParts::Three:
    TileH(dst, SkinRect(a, 0, W - v, sh), src, middle);
    CopyPiece(dst, QRect(0, 0, a, sh), src, QRect(0, 0, a, sh));
    CopyPiece(dst, SkinRect(W - v, 0, W, sh), src, SkinRect(sw - v, 0, sw, sh));
    break;
  case StripParts::Left:
    TileH(dst, SkinRect(a, 0, W, sh), src, middle);
    CopyPiece(dst, QRect(0, 0, a, sh), src, QRect(0, 0, a, sh));
    break;
  case StripParts::MiddleOnly: TileH(dst, QRect(0, 0, W, sh), src, middle); break;
  }
  out.Changed();
}

} // namespace

void BuildHorzStrip3(int a, int v, const QRect& source, const QImage& picture, int width, TBitmap& out)
{
  BuildHorz(StripParts::Three, a, v, source, picture, width, out);
}

void BuildHorzStripLeft(int a, int v, const QRect& source, const QImage& picture, int width, TBitmap& out)
{
  BuildHorz(StripParts::Left, a, v, source, picture, width, out);
}

void BuildHorzTiled(int a, int v, const QRect& source, const QImage& picture, int width, TBitmap& out)
{
  BuildHorz(StripParts::MiddleOnly, a, v, source, picture, width, out);
}

void BuildVertStrip3(int a, int v, const QRect& source, const QImage& picture, int H, TBitmap& out)
{
  const int sw = std::max(0, source.width());
  const PixelRows dst = PrepareOutput(out, sw, H);
  const TbsFBitmap src = ExtractArea(picture, source);
  if (src.Empty()) Clear(dst);
  else {
    const int sh = src.Height();
    TileV(dst, SkinRect(0, a, sw, H - v), src, SkinRect(0, a, sw, sh - v));
    CopyPiece(dst, QRect(0, 0, sw, a), src, QRect(0, 0, sw, a));
    CopyPiece(dst, SkinRect(0, H - v, sw, H), src, SkinRect(0, sh - v, sw, sh));
  }
  out.Changed();
}
