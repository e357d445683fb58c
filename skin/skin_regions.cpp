#include "skin/skin_regions.h"

#include "skin/skin_draw_pixels.h"

using namespace skin_pixels;

std::vector<QRect> MaskRuns(const QImage& mask, int xOffset, int yOffset)
{
  std::vector<QRect> runs;
  if (mask.isNull()) return runs;
  const TbsFBitmap bits(mask);
  const int w = bits.Width();
  for (int y = 0; y < bits.Height(); ++y) {
    const uchar* row = bits.Rows()[y];
    int x = 0;
    while (x < w) {
      while (x < w && (row[x * 3] | row[x * 3 + 1] | row[x * 3 + 2]) != 0) ++x;
      if (x >= w) break;
      const int start = x;
      while (x < w && (row[x * 3] | row[x * 3 + 1] | row[x * 3 + 2]) == 0) ++x;
      runs.emplace_back(xOffset + start, yOffset + y, x - start, 1);
    }
  }
  return runs;
}

std::optional<QRegion> RegionFromMask(const QImage& mask, int xOffset, int yOffset)
{
  if (mask.isNull()) return std::nullopt;
  const std::vector<QRect> runs = MaskRuns(mask, xOffset, yOffset);
  QRegion region;
  // One-pixel-high runs sorted by row, then by x, never touching: a valid band list.
  if (!runs.empty()) region.setRects(runs.data(), int(runs.size()));
  return region;
}

std::optional<QRegion> RegionFromMaskBands(const TbsFramePoints& source, const TbsFramePoints& target, int W, int H,
                                           const QRect& pictureRect, const QImage& mask)
{
  const QRect& free = target.ClientRect;
  if (mask.isNull() || free.isEmpty() || target.RT.x() < target.LT.x() || target.LB.y() < target.LT.y())
    return std::nullopt;
  TBitmap left, top, right, bottom;
  BuildMaskBands(source, target, W, H, pictureRect, mask, left, top, right, bottom);
  QRegion region(free);
  auto add = [&region](const TBitmap& band, int x, int y) {
    if (band.Empty()) return;
    if (auto part = RegionFromMask(band.Image(), x, y)) region = region.united(*part);
  };
  // Each band at its place around the free rectangle (a band that was not
  // built adds nothing, and the others stay where they belong).
  add(top, 0, 0);
  add(left, 0, free.y());
  add(right, free.x() + free.width(), free.y());
  add(bottom, 0, free.y() + free.height());
  return region;
}
