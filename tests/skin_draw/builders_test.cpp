// Image builders checked pixel by pixel on coded pictures: each output pixel
// must come from the right source piece, for outputs smaller than, equal to
// and larger than the source.
#include "coded_picture.h"
#include "skin/skin_definitions.h"
#include "skin/skin_regions.h"

#include <QRandomGenerator>

namespace {

QImage Out(const TBitmap& b) { return b.Image(); }

// ---------------------------------------------------------------- strips

TEST(SkinStrips, HorzStrip3KeepsEndsAndTilesTheMiddle)
{
  const QImage pic = CodedPicture(60, 20);
  const QRect src = SkinRect(5, 2, 50, 12);  // 45 wide, 10 high
  TBitmap out;
  BuildHorzStrip3(3, 5, src, pic, 100, out);
  ASSERT_EQ(out.Width(), 100);
  ASSERT_EQ(out.Height(), 10);
  // Left three columns and right five from the source ends; 37-pixel middle
  // tiles start at 3, 40 and 77, the last one cut to 18 pixels.
  EXPECT_EQ(SourceOf(Out(out), 2, 0), QPoint(7, 2));
  EXPECT_EQ(SourceOf(Out(out), 3, 0), QPoint(8, 2));
  EXPECT_EQ(SourceOf(Out(out), 39, 4), QPoint(44, 6));
  EXPECT_EQ(SourceOf(Out(out), 40, 4), QPoint(8, 6));
  EXPECT_EQ(SourceOf(Out(out), 77, 9), QPoint(8, 11));
  EXPECT_EQ(SourceOf(Out(out), 94, 9), QPoint(25, 11));
  EXPECT_EQ(SourceOf(Out(out), 95, 9), QPoint(45, 11));
  EXPECT_EQ(SourceOf(Out(out), 99, 0), QPoint(49, 2));

  for (int w : {100, 45, 20, 6}) {
    SCOPED_TRACE(w);
    BuildHorzStrip3(3, 5, src, pic, w, out);
    ASSERT_EQ(out.Width(), w);
    const std::vector<Piece> pieces = {
        {SkinRect(3, 0, w - 5, 10), SkinRect(8, 2, 45, 12), true, false},
        {SkinRect(0, 0, 3, 10), SkinRect(5, 2, 8, 12)},
        {SkinRect(w - 5, 0, w, 10), SkinRect(45, 2, 50, 12)},
    };
    EXPECT_TRUE(EveryPixelFrom(Out(out), [&](int x, int y) { return FromPieces(pieces, x, y); }));
  }
  // At the source's own width the strip is the source.
  BuildHorzStrip3(3, 5, src, pic, 45, out);
  EXPECT_TRUE(EveryPixelFrom(Out(out), [](int x, int y) { return QPoint(5 + x, 2 + y); }));
}

TEST(SkinStrips, LeftAndTiledStripsAndTheVerticalStrip)
{
  const QImage pic = CodedPicture(60, 70);
  const QRect src = SkinRect(5, 2, 25, 12);  // 20 × 10; middle without a = 4, v = 6 is 10 wide
  TBitmap out;
  for (int w : {50, 20, 7}) {
    SCOPED_TRACE(w);
    BuildHorzStripLeft(4, 6, src, pic, w, out);
    const std::vector<Piece> left = {{SkinRect(4, 0, w, 10), SkinRect(9, 2, 19, 12), true, false},
                                     {SkinRect(0, 0, 4, 10), SkinRect(5, 2, 9, 12)}};
    EXPECT_TRUE(EveryPixelFrom(Out(out), [&](int x, int y) { return FromPieces(left, x, y); }));

    BuildHorzTiled(4, 6, src, pic, w, out);
    EXPECT_TRUE(EveryPixelFrom(Out(out), [](int x, int y) { return QPoint(9 + x % 10, 2 + y); }));
  }
  const QRect vsrc = SkinRect(10, 3, 18, 63);  // 8 × 60, top 7 and bottom 9 fixed
  for (int h : {150, 60, 20, 10}) {
    SCOPED_TRACE(h);
    BuildVertStrip3(7, 9, vsrc, pic, h, out);
    ASSERT_EQ(out.Width(), 8);
    ASSERT_EQ(out.Height(), h);
    const std::vector<Piece> pieces = {{SkinRect(0, 7, 8, h - 9), SkinRect(10, 10, 18, 54), false, true},
                                       {SkinRect(0, 0, 8, 7), SkinRect(10, 3, 18, 10)},
                                       {SkinRect(0, h - 9, 8, h), SkinRect(10, 54, 18, 63)}};
    EXPECT_TRUE(EveryPixelFrom(Out(out), [&](int x, int y) { return FromPieces(pieces, x, y); }));
  }
}

TEST(SkinStrips, IndexedPicturesAndRectanglesBeyondThePicture)
{
  // An 8-bit picture is read through its colour table.
  QImage indexed(4, 2, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(10, 20, 30), qRgb(200, 100, 50)});
  indexed.fill(0);
  indexed.setPixel(1, 0, 1);
  TBitmap out;
  BuildHorzStrip3(1, 1, QRect(0, 0, 4, 2), indexed, 4, out);
  EXPECT_EQ(PixelOf(out.Image(), 0, 0), RGB(10, 20, 30));
  EXPECT_EQ(PixelOf(out.Image(), 1, 0), RGB(200, 100, 50));

  // A source reaching past the picture reads black there and never crashes.
  const QImage pic = CodedPicture(10, 10);
  BuildHorzStrip3(2, 2, SkinRect(6, 8, 16, 14), pic, 25, out);
  ASSERT_EQ(out.Height(), 6);
  EXPECT_EQ(SourceOf(out.Image(), 0, 0), QPoint(6, 8));
  EXPECT_EQ(SourceOf(out.Image(), 0, 2), std::nullopt);
  EXPECT_EQ(SourceOf(out.Image(), 24, 0), std::nullopt);
  // Fixed parts wider than the source and huge outputs are clipped, not overrun.
  BuildHorzStrip3(500, 500, SkinRect(0, 0, 10, 10), pic, 30, out);
  EXPECT_EQ(out.Width(), 30);
  BuildVertStrip3(3, 3, QRect(), pic, 10, out);
  EXPECT_EQ(out.Width(), 0);
  // Without a picture a reused bitmap comes back blank at the asked size.
  BuildHorzStrip3(2, 2, SkinRect(0, 0, 10, 4), pic, 12, out);
  BuildHorzStrip3(2, 2, SkinRect(0, 0, 10, 4), QImage(), 12, out);
  ASSERT_EQ(QSize(out.Width(), out.Height()), QSize(12, 4));
  EXPECT_TRUE(EveryPixelFrom(out.Image(), [](int, int) { return std::nullopt; }));
}

// ---------------------------------------------------------------- nine parts

// A 40 × 30 skin rectangle at (10, 5) in a coded picture.
struct NinePart {
  QImage Pic = CodedPicture(70, 50);
  QRect SkinArea = SkinRect(10, 5, 50, 35);
  TbsFramePoints Src{QPoint(9, 10), QPoint(28, 11), QPoint(7, 21), QPoint(31, 22), SkinRect(5, 7, 34, 25)};
  int Sw = 40, Sh = 30;

  // The pieces in drawing order, absolute in the picture.
  std::vector<Piece> Pieces(const TbsFramePoints& t, int W, int H, bool fillClient, bool toEdge = false) const
  {
    const QPoint o = SkinArea.topLeft();
    auto S = [&](int l, int tp, int r, int b) { return SkinRect(l, tp, r, b).translated(o); };
    const QRect& cl = Src.ClientRect;
    const QRect& ct = t.ClientRect;
    const int clR = cl.x() + cl.width(), clB = cl.y() + cl.height();
    const int ctR = ct.x() + ct.width(), ctB = ct.y() + ct.height();
    std::vector<Piece> p = {
        {SkinRect(t.LT.x(), 0, toEdge ? W : t.RT.x(), ct.y()), S(Src.LT.x(), 0, Src.RT.x(), cl.y()), true, false},
        {SkinRect(t.LB.x(), ctB, toEdge ? W : t.RB.x(), H), S(Src.LB.x(), clB, Src.RB.x(), Sh), true, false},
        {SkinRect(0, t.LT.y(), ct.x(), toEdge ? H : t.LB.y()), S(0, Src.LT.y(), cl.x(), Src.LB.y()), false, true},
        {SkinRect(ctR, t.RT.y(), W, toEdge ? H : t.RB.y()), S(clR, Src.RT.y(), Sw, Src.RB.y()), false, true},
        {SkinRect(0, 0, t.LT.x(), ct.y()), S(0, 0, Src.LT.x(), cl.y())},
        {SkinRect(0, ct.y(), ct.x(), t.LT.y()), S(0, cl.y(), cl.x(), Src.LT.y())},
        {SkinRect(t.RT.x(), 0, W, ct.y()), S(Src.RT.x(), 0, Sw, cl.y())},
        {SkinRect(ctR, ct.y(), W, t.RT.y()), S(clR, cl.y(), Sw, Src.RT.y())},
        {SkinRect(0, t.LB.y(), ct.x(), H), S(0, Src.LB.y(), cl.x(), Sh)},
        {SkinRect(ct.x(), ctB, t.LB.x(), H), S(cl.x(), clB, Src.LB.x(), Sh)},
        {SkinRect(t.RB.x(), ctB, W, H), S(Src.RB.x(), clB, Sw, Sh)},
        {SkinRect(ctR, t.RB.y(), W, ctB), S(clR, Src.RB.y(), Sw, clB)},
    };
    if (fillClient) p.push_back({ct, cl.translated(o), true, true});
    return p;
  }
};

TEST(SkinNineParts, EveryPixelComesFromItsPieceAtAnySize)
{
  NinePart n;
  for (QSize size : {QSize(97, 71), QSize(40, 30), QSize(35, 27), QSize(41, 90)}) {
    for (bool fill : {false, true}) {
      SCOPED_TRACE(QString("%1x%2 fill %3").arg(size.width()).arg(size.height()).arg(fill).toStdString());
      const TbsFramePoints t = MoveFramePoints(n.Src, size.width() - n.Sw, size.height() - n.Sh);
      TBitmap out;  // fresh: a resized bitmap keeps what the pieces do not cover
      BuildSkinImage(n.Src, t, size.width(), size.height(), n.SkinArea, n.Pic, fill, out);
      ASSERT_EQ(out.Width(), size.width());
      ASSERT_EQ(out.Height(), size.height());
      const auto pieces = n.Pieces(t, size.width(), size.height(), fill);
      EXPECT_TRUE(EveryPixelFrom(out.Image(), [&](int x, int y) { return FromPieces(pieces, x, y); }));
    }
  }
  // At the source size with the client filled the image is the skin rectangle itself.
  TBitmap out;
  BuildSkinImage(n.Src, n.Src, 40, 30, n.SkinArea, n.Pic, true, out);
  EXPECT_TRUE(EveryPixelFrom(out.Image(), [](int x, int y) { return QPoint(10 + x, 5 + y); }));

  // Hand-checked pixels of the 97 × 71 image (dx 57, dy 41).
  const TbsFramePoints t = MoveFramePoints(n.Src, 57, 41);
  EXPECT_EQ(t.RT, QPoint(85, 11));
  EXPECT_EQ(t.ClientRect, SkinRect(5, 7, 91, 66));
  BuildSkinImage(n.Src, t, 97, 71, n.SkinArea, n.Pic, true, out);
  EXPECT_EQ(SourceOf(out.Image(), 96, 70), QPoint(49, 34));   // bottom-right corner
  EXPECT_EQ(SourceOf(out.Image(), 9 + 19, 0), QPoint(19, 5));  // second top tile restarts at LT.x
  EXPECT_EQ(SourceOf(out.Image(), 5 + 29, 7), QPoint(15, 12)); // client tile restarts at cl.left
  EXPECT_EQ(SourceOf(out.Image(), 2, 10 + 11), QPoint(12, 15)); // left edge: rows 10..21 repeat
}

TEST(SkinNineParts, BlankCasesAndTheToEdgeVariant)
{
  NinePart n;
  TBitmap out;
  // Degenerate points or an empty picture leave a blank (black) output of the
  // asked size, also in a bitmap that held an image before.
  BuildSkinImage(n.Src, n.Src, 50, 40, n.SkinArea, n.Pic, true, out);
  TbsFramePoints flat = n.Src;
  flat.RB.setX(flat.LT.x());
  BuildSkinImage(flat, flat, 50, 40, n.SkinArea, n.Pic, true, out);
  ASSERT_EQ(out.Width(), 50);
  EXPECT_TRUE(EveryPixelFrom(out.Image(), [](int, int) { return std::nullopt; }));
  BuildSkinImage(n.Src, n.Src, 20, 20, n.SkinArea, QImage(), true, out);
  EXPECT_EQ(out.Width(), 20);
  EXPECT_TRUE(EveryPixelFrom(out.Image(), [](int, int) { return std::nullopt; }));

  // With no right corner piece (RT.x = RB.x = skin width) and the target's
  // right points short of the edge, the plain builder leaves the top-right
  // blank, while the to-edge builder tiles the edges on up to the edge.
  TbsFramePoints open = n.Src;
  open.RT.setX(40);
  open.RB.setX(40);
  TbsFramePoints t = MoveFramePoints(open, 30, 10);
  t.RT.setX(55);
  t.RB.setX(55);
  BuildSkinImage(open, t, 70, 40, n.SkinArea, n.Pic, false, out);
  EXPECT_EQ(SourceOf(out.Image(), 69, 0), std::nullopt);
  BuildSkinImageToEdge(open, t, 70, 40, n.SkinArea, n.Pic, false, out);
  n.Src = open;
  const auto pieces = n.Pieces(t, 70, 40, false, true);
  EXPECT_TRUE(EveryPixelFrom(out.Image(), [&](int x, int y) { return FromPieces(pieces, x, y); }));
  EXPECT_TRUE(SourceOf(out.Image(), 69, 0).has_value());
}

TEST(SkinNineParts, WindowImageStretchesFlaggedSides)
{
  NinePart n;
  TBitmap out;
  // Top middle 19 columns (9..28) doubled to 38, left middle rows 10..21 (11) to 22.
  const TbsFramePoints t = MoveFramePoints(n.Src, 19, 11);
  BuildWindowImage(n.Src, t, 59, 41, n.SkinArea, n.Pic, false, TbsStretchFlags{true, true, false, false}, out);
  const QImage img = out.Image();
  for (int i = 0; i < 38; ++i) {
    ASSERT_EQ(SourceOf(img, 9 + i, 0), QPoint(10 + 9 + i / 2, 5)) << i;
    ASSERT_EQ(SourceOf(img, 9 + i, 6), QPoint(10 + 9 + i / 2, 11)) << i;
  }
  for (int j = 0; j < 22; ++j) ASSERT_EQ(SourceOf(img, 0, 10 + j), QPoint(10, 5 + 10 + j / 2)) << j;
  // Unflagged sides still tile: bottom middle 24 columns (7..31) over 43.
  for (int i = 0; i < 43; ++i) ASSERT_EQ(SourceOf(img, 7 + i, 40), QPoint(10 + 7 + i % 24, 34)) << i;

  // Shrinking by stretch keeps both ends of the piece and never reads outside it.
  const TbsFramePoints small = MoveFramePoints(n.Src, -8, 0);
  BuildWindowImage(n.Src, small, 32, 30, n.SkinArea, n.Pic, false, TbsStretchFlags{false, true, false, false}, out);
  EXPECT_EQ(SourceOf(out.Image(), 9, 0), QPoint(19, 5));
  EXPECT_EQ(SourceOf(out.Image(), 19, 0), QPoint(37, 5));
  for (int x = 9; x < 20; ++x) {
    const auto p = SourceOf(out.Image(), x, 3);
    ASSERT_TRUE(p && p->x() >= 19 && p->x() < 38) << x;
  }
}

} // namespace

namespace {

// Geometry read from a broken skin: points and rectangles anywhere, sizes of
// any sign. The builders must stay inside their buffers and give the asked size.
TEST(SkinBuildersRobustness, ArbitraryGeometryStaysInsideTheBuffers)
{
  QRandomGenerator rng(99);
  auto coord = [&rng] { return int(rng.bounded(-60, 260)); };
  auto point = [&] { return QPoint(coord(), coord()); };
  auto rect = [&] { return SkinRect(coord(), coord(), coord(), coord()); };
  const QImage pic = CodedPicture(120, 90);
  QImage indexed = pic.convertToFormat(QImage::Format_Indexed8);
  for (int i = 0; i < 300; ++i) {
    const QImage& p = i % 2 ? pic : indexed;
    const TbsFramePoints s{point(), point(), point(), point(), rect()};
    const TbsFramePoints t{point(), point(), point(), point(), rect()};
    const int W = int(rng.bounded(-5, 300)), H = int(rng.bounded(-5, 200));
    TBitmap out, l, tp, r, b;
    BuildSkinImage(s, t, W, H, rect(), p, i % 3 == 0, out);
    ASSERT_EQ(out.Width(), std::max(W, 0) * (H > 0));
    BuildSkinImageToEdge(s, t, W, H, rect(), p, true, out);
    BuildWindowImage(s, t, W, H, rect(), p, true, TbsStretchFlags{true, i % 2 == 0, true, i % 2 == 1}, out);
    BuildFrameBands(s, t, W, H, rect(), p, TbsStretchFlags{true, true, true, true}, l, tp, r, b);
    const auto region = RegionFromMaskBands(s, t, W, H, rect(), p);
    if (region) {
      const QRect bound = region->boundingRect();
      EXPECT_TRUE(bound.isEmpty() || QRect(0, 0, W, H).united(t.ClientRect).contains(bound)) << i;
    }
    const QRect src = rect();
    BuildHorzStrip3(coord(), coord(), src, p, W, out);
    BuildHorzStripLeft(coord(), coord(), src, p, W, out);
    BuildHorzTiled(coord(), coord(), src, p, W, out);
    BuildVertStrip3(coord(), coord(), src, p, H, out);
    ASSERT_EQ(out.Height(), out.Width() > 0 ? std::max(H, 0) : 0);
  }
}

} // namespace
