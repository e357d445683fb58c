// Synthetic pictures whose every pixel tells where it came from: red is the
// source column, green the source row, blue a fixed tag (so no pixel is black).
#pragma once

#include "skin/skin_draw.h"
#include "toolkit/graphics.h"

#include <QImage>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

constexpr int kCodeTag = 0x5A;

inline QImage CodedPicture(int w, int h)
{
  QImage img(w, h, QImage::Format_RGB888);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x, y, kCodeTag));
  return img;
}

inline TColor PixelOf(const QImage& img, int x, int y)
{
  const QRgb c = img.pixel(x, y);
  return RGB(qRed(c), qGreen(c), qBlue(c));
}

// The source point a pixel of an output came from; nullopt for a pixel no piece wrote (black).
inline std::optional<QPoint> SourceOf(const QImage& img, int x, int y)
{
  const QRgb c = img.pixel(x, y);
  if (qBlue(c) != kCodeTag) return std::nullopt;
  return QPoint(qRed(c), qGreen(c));
}

// Checks every pixel of `img` against `expected` (nullopt: nothing written);
// reports the first few mismatches with their coordinates.
inline ::testing::AssertionResult EveryPixelFrom(const QImage& img,
                                                 const std::function<std::optional<QPoint>(int, int)>& expected)
{
  int bad = 0;
  QString report;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const auto want = expected(x, y);
      const auto got = SourceOf(img, x, y);
      if (want == got) continue;
      if (++bad <= 5) {
        auto text = [](const std::optional<QPoint>& p) {
          return p ? QStringLiteral("(%1,%2)").arg(p->x()).arg(p->y()) : QStringLiteral("blank");
        };
        report += QStringLiteral(" at (%1,%2) got %3 want %4;").arg(x).arg(y).arg(text(got), text(want));
      }
    }
  if (bad == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bad << " pixels wrong:" << report.toStdString();
}

// A piece of an image builder, for the per-pixel oracles: target rectangle,
// source rectangle (absolute in the picture) and how the source repeats.
struct Piece {
  QRect Target;
  QRect Source;
  bool TileX = false, TileY = false;
};

// The source pixel for (x, y): the last listed piece covering it wins. Same-size
// pieces map one to one; tiled directions repeat from the target's own edge.
inline std::optional<QPoint> FromPieces(const std::vector<Piece>& pieces, int x, int y)
{
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    const Piece& p = *it;
    if (p.Source.isEmpty() || !p.Target.contains(x, y)) continue;
    const int i = x - p.Target.x(), j = y - p.Target.y();
    const int sx = p.TileX ? i % p.Source.width() : i;
    const int sy = p.TileY ? j % p.Source.height() : j;
    if (sx >= p.Source.width() || sy >= p.Source.height()) continue;  // beyond a fixed piece
    return QPoint(p.Source.x() + sx, p.Source.y() + sy);
  }
  return std::nullopt;
}
