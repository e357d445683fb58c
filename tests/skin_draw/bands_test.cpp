// Frame bands and mask regions on a coded 191 × 140 frame picture cut with
// the built-in skin's [FORMINFO] points.
#include "coded_picture.h"
#include "skin/skin_definitions.h"
#include "skin/skin_regions.h"

namespace {

constexpr int kPw = 191, kPh = 140;

TbsFramePoints BuiltInFrame()
{
  return {QPoint(10, 30), QPoint(178, 30), QPoint(7, 133), QPoint(184, 133), SkinRect(4, 30, 187, 136)};
}

struct Bands {
  TBitmap Left, Top, Right, Bottom;
  void Build(const QImage& pic, int W, int H, TbsStretchFlags stretch)
  {
    const TbsFramePoints s = BuiltInFrame();
    BuildFrameBands(s, MoveFramePoints(s, W - kPw, H - kPh), W, H, pic.rect(), pic, stretch, Left, Top, Right, Bottom);
  }
};

TEST(SkinFrameBands, MainWindowSizeTilesFromTheBandStart)
{
  const QImage pic = CodedPicture(kPw, kPh);
  Bands b;
  // The main window: client 246 × 500 in a 254 × 534 frame.
  b.Build(pic, 254, 534, TbsStretchFlags{false, true, false, false});
  ASSERT_EQ(QSize(b.Top.Width(), b.Top.Height()), QSize(254, 30));
  ASSERT_EQ(QSize(b.Bottom.Width(), b.Bottom.Height()), QSize(254, 4));
  ASSERT_EQ(QSize(b.Left.Width(), b.Left.Height()), QSize(4, 500));
  ASSERT_EQ(QSize(b.Right.Width(), b.Right.Height()), QSize(4, 500));

  // Top: the 168-pixel middle (10..178) stretched onto 10..241, corners kept.
  EXPECT_TRUE(EveryPixelFrom(b.Top.Image(), [](int x, int y) -> std::optional<QPoint> {
    if (x < 10) return QPoint(x, y);
    if (x >= 241) return QPoint(178 + x - 241, y);
    return QPoint(10 + (2 * (x - 10) + 1) * 168 / (2 * 231), y);
  }));
  // Bottom: the 177-pixel middle (7..184) tiled from x = 0, then the corners over it.
  EXPECT_TRUE(EveryPixelFrom(b.Bottom.Image(), [](int x, int y) -> std::optional<QPoint> {
    if (x < 7) return QPoint(x, 136 + y);
    if (x >= 247) return QPoint(184 + x - 247, 136 + y);
    return QPoint(7 + x % 177, 136 + y);
  }));
  // Sides: middle rows 30..133 laid from the band top; no upper end piece
  // (LT.y = client top); the lower end rows 133..136 at the band bottom.
  EXPECT_TRUE(EveryPixelFrom(b.Left.Image(), [](int x, int y) -> std::optional<QPoint> {
    if (y >= 497) return QPoint(x, 133 + y - 497);
    return QPoint(x, 30 + y % 103);
  }));
  EXPECT_TRUE(EveryPixelFrom(b.Right.Image(), [](int x, int y) -> std::optional<QPoint> {
    if (y >= 497) return QPoint(187 + x, 133 + y - 497);
    return QPoint(187 + x, 30 + y % 103);
  }));
}

TEST(SkinFrameBands, AtThePictureSizeUniformEdgesReproduceTheBorder)
{
  // Artwork whose edge middles repeat along the edge (as frame artwork does)
  // comes back unchanged at the picture's own size.
  QImage pic = CodedPicture(kPw, kPh);
  for (int y = 0; y < kPh; ++y)
    for (int x = 0; x < kPw; ++x) {
      const bool topOrBottom = y < 30 || y >= 136;
      const bool middleX = x >= 7 && x < 184 && !(y < 30 && (x < 10 || x >= 178));
      const bool middleY = y >= 30 && y < 133;
      if (topOrBottom && middleX) pic.setPixel(x, y, qRgb(200, y, kCodeTag));
      else if (!topOrBottom && middleY) pic.setPixel(x, y, qRgb(x, 220, kCodeTag));
    }
  Bands b;
  b.Build(pic, kPw, kPh, TbsStretchFlags{false, true, false, false});
  auto same = [&pic](const TBitmap& band, QPoint at) {
    for (int y = 0; y < band.Height(); ++y)
      for (int x = 0; x < band.Width(); ++x)
        if (PixelOf(band.Image(), x, y) != PixelOf(pic, at.x() + x, at.y() + y)) return false;
    return true;
  };
  EXPECT_TRUE(same(b.Top, QPoint(0, 0)));
  EXPECT_TRUE(same(b.Bottom, QPoint(0, 136)));
  EXPECT_TRUE(same(b.Left, QPoint(0, 30)));
  EXPECT_TRUE(same(b.Right, QPoint(187, 30)));

  // At W = 300 the stretched top middle spans 277 pixels; the tiled bottom middle is not scaled.
  b.Build(CodedPicture(kPw, kPh), 300, kPh, TbsStretchFlags{false, true, false, false});
  EXPECT_EQ(SourceOf(b.Top.Image(), 10, 0), QPoint(10, 0));
  EXPECT_EQ(SourceOf(b.Top.Image(), 286, 0), QPoint(177, 0));
  EXPECT_EQ(SourceOf(b.Top.Image(), 287, 0), QPoint(178, 0));
  EXPECT_EQ(SourceOf(b.Bottom.Image(), 150, 2), QPoint(157, 138));
  EXPECT_EQ(SourceOf(b.Bottom.Image(), 293, 2), QPoint(184, 138));
}

TEST(SkinFrameBands, StretchedSidesAndBandsThatAreNotBuilt)
{
  const QImage pic = CodedPicture(kPw, kPh);
  TbsFramePoints s = BuiltInFrame();
  s.LT.setY(40);  // upper end pieces of 10 rows
  s.RT.setY(35);
  TBitmap left, top, right, bottom;
  BuildFrameBands(s, MoveFramePoints(s, 0, 103), kPw, 243, pic.rect(), pic, TbsStretchFlags{true, false, true, false},
                  left, top, right, bottom);
  ASSERT_EQ(left.Height(), 209);
  // Left: upper end rows 30..40 at 0..10, middle 40..133 (93 rows) stretched
  // onto 10..206 (196 rows), lower end at 206..209.
  EXPECT_TRUE(EveryPixelFrom(left.Image(), [](int x, int y) -> std::optional<QPoint> {
    if (y < 10) return QPoint(x, 30 + y);
    if (y >= 206) return QPoint(x, 133 + y - 206);
    return QPoint(x, 40 + (2 * (y - 10) + 1) * 93 / (2 * 196));
  }));
  EXPECT_EQ(SourceOf(right.Image(), 0, 4), QPoint(187, 34));
  EXPECT_EQ(SourceOf(right.Image(), 3, 5), QPoint(190, 35));

  // A band whose points are crossed is not built and keeps its size and content.
  TBitmap keep;
  keep.SetSize(7, 3);
  keep.Canvas()->Brush()->SetColor(clRed);
  keep.Canvas()->FillRect(QRect(0, 0, 7, 3));
  TbsFramePoints crossed = BuiltInFrame();
  crossed.RT.setX(5);
  BuildFrameBands(crossed, crossed, kPw, kPh, pic.rect(), pic, TbsStretchFlags{}, left, keep, right, bottom);
  EXPECT_EQ(QSize(keep.Width(), keep.Height()), QSize(7, 3));
  EXPECT_EQ(PixelOf(keep.Image(), 6, 2), clRed);
  EXPECT_EQ(bottom.Width(), kPw);  // the others are built
}

// ---------------------------------------------------------------- regions

QImage MaskFromBits(const std::vector<const char*>& rows)
{
  QImage img(int(strlen(rows[0])), int(rows.size()), QImage::Format_RGB888);
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, rows[size_t(y)][x] == '#' ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
  return img;
}

TEST(SkinRegions, MaskRegionHoldsExactlyTheBlackPixels)
{
  const auto two = RegionFromMask(MaskFromBits({"# #"}), 0, 0);
  ASSERT_TRUE(two);
  EXPECT_EQ(two->rectCount(), 2);
  EXPECT_TRUE(two->contains(QPoint(0, 0)));
  EXPECT_FALSE(two->contains(QPoint(1, 0)));
  EXPECT_TRUE(two->contains(QPoint(2, 0)));

  const auto white = RegionFromMask(MaskFromBits({"   ", "   "}), 0, 0);
  ASSERT_TRUE(white);
  EXPECT_TRUE(white->isEmpty());
  EXPECT_FALSE(RegionFromMask(QImage(), 0, 0));

  // Near-black is not black; offsets move the region.
  QImage mask(40, 30, QImage::Format_RGB888);
  quint32 seed = 7;
  for (int y = 0; y < mask.height(); ++y)
    for (int x = 0; x < mask.width(); ++x) {
      seed = seed * 1103515245u + 12345u;
      const int pick = int(seed >> 16) % 3;
      mask.setPixel(x, y, pick == 0 ? qRgb(0, 0, 0) : pick == 1 ? qRgb(0, 0, 1) : qRgb(255, 255, 255));
    }
  const auto region = RegionFromMask(mask, 5, -3);
  ASSERT_TRUE(region);
  for (int y = -5; y < 35; ++y)
    for (int x = 0; x < 50; ++x) {
      const bool black = mask.valid(x - 5, y + 3) && (mask.pixel(x - 5, y + 3) & 0xFFFFFF) == 0;
      ASSERT_EQ(region->contains(QPoint(x, y)), black) << x << "," << y;
    }

  // An indexed mask is read through its colour table.
  QImage indexed(3, 1, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  indexed.setPixel(0, 0, 1);
  indexed.setPixel(1, 0, 0);
  indexed.setPixel(2, 0, 1);
  EXPECT_EQ(RegionFromMask(indexed, 0, 0)->rectCount(), 2);
}

TEST(SkinRegions, MoreThanTenThousandRunsAreAllKept)
{
  // A checkerboard of 300 × 100 has 15,000 one-pixel runs.
  QImage mask(300, 100, QImage::Format_RGB888);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 300; ++x) mask.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
  EXPECT_EQ(MaskRuns(mask, 0, 0).size(), 15000u);
  const auto region = RegionFromMask(mask, 0, 0);
  ASSERT_TRUE(region);
  EXPECT_TRUE(region->contains(QPoint(299, 99)));
  EXPECT_FALSE(region->contains(QPoint(298, 99)));
  EXPECT_TRUE(region->contains(QPoint(1, 99)));
}

TEST(SkinRegions, MaskBandsRegionFollowsTheMaskAroundTheFreeRectangle)
{
  // A frame mask with cut corners and a notch in the top middle.
  QImage mask(kPw, kPh, QImage::Format_RGB888);
  mask.fill(Qt::black);
  for (int y = 0; y < kPh; ++y)
    for (int x = 0; x < kPw; ++x) {
      const int cx = std::min(x, kPw - 1 - x), cy = std::min(y, kPh - 1 - y);
      if (cx + cy < 5 || (y < 2 && x >= 90 && x < 95)) mask.setPixel(x, y, qRgb(255, 255, 255));
    }
  const TbsFramePoints s = BuiltInFrame();
  for (QSize size : {QSize(254, 534), QSize(kPw, kPh), QSize(150, 100)}) {
    SCOPED_TRACE(size.width());
    const int W = size.width(), H = size.height();
    const TbsFramePoints t = MoveFramePoints(s, W - kPw, H - kPh);
    const auto region = RegionFromMaskBands(s, t, W, H, mask.rect(), mask);
    ASSERT_TRUE(region);
    // Oracle: the mask bands composed at their places, plus the free rectangle.
    TBitmap left, top, right, bottom;
    BuildMaskBands(s, t, W, H, mask.rect(), mask, left, top, right, bottom);
    QImage full(W, H, QImage::Format_RGB888);
    full.fill(Qt::white);
    {
      QPainter p(&full);
      p.drawImage(0, 0, top.Image());
      p.drawImage(0, top.Height(), left.Image());
      p.drawImage(W - right.Width(), top.Height(), right.Image());
      p.drawImage(0, H - bottom.Height(), bottom.Image());
      p.fillRect(t.ClientRect, Qt::black);
    }
    int visible = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const bool black = (full.pixel(x, y) & 0xFFFFFF) == 0;
        visible += black;
        ASSERT_EQ(region->contains(QPoint(x, y)), black) << x << "," << y;
      }
    // The cut corners are outside, a pixel next to them inside.
    EXPECT_FALSE(region->contains(QPoint(0, 0)));
    EXPECT_FALSE(region->contains(QPoint(W - 1, H - 1)));
    EXPECT_TRUE(region->contains(QPoint(5, 5)));
    EXPECT_LT(visible, W * H);
  }
  // No region for an empty free rectangle or crossed target points.
  TbsFramePoints t = s;
  t.ClientRect = QRect();
  EXPECT_FALSE(RegionFromMaskBands(s, t, kPw, kPh, mask.rect(), mask));
  t = s;
  t.RT.setX(t.LT.x() - 1);
  EXPECT_FALSE(RegionFromMaskBands(s, t, kPw, kPh, mask.rect(), mask));
  t = s;
  t.LB.setY(t.LT.y() - 1);
  EXPECT_FALSE(RegionFromMaskBands(s, t, kPw, kPh, mask.rect(), mask));
}

} // namespace
