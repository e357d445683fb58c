// Colours, fonts, the canvas on bitmaps, bitmaps and regions.
#include "visual_support.h"

#include "toolkit/bmp_codec.h"
#include "toolkit/graphics.h"

#include <QBuffer>
#include <QFontMetrics>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(Colors, ValuesAreBlueGreenRedAndSystemColoursResolve)
{
  EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412);
  EXPECT_EQ(ColorToQColor(clRed), QColor(255, 0, 0));
  EXPECT_EQ(ColorToQColor(clNavy), QColor(0, 0, 128));
  EXPECT_LT(clBtnFace, 0);
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(212, 208, 200));
  EXPECT_EQ(ColorToRGB(clBtnShadow), RGB(128, 128, 128));
  EXPECT_EQ(ColorToRGB(clBtnHighlight), clWhite);
  EXPECT_EQ(ColorToRGB(clWindowFrame), clBlack);
  EXPECT_EQ(QColorToColor(QColor(1, 2, 3)), RGB(1, 2, 3));
  // Named colours for descriptions include the system ones.
  auto value = TIntegerIdents::ToValue(ColorIdents(), "clBtnShadow");
  ASSERT_TRUE(value);
  EXPECT_EQ(*value, clBtnShadow);
}

TEST(Fonts, NegativeHeightIsCharacterHeightPositiveIsCellHeight)
{
  TFont f;
  EXPECT_EQ(f.Name(), "MS Sans Serif");
  EXPECT_EQ(f.Height(), -11);
  EXPECT_EQ(f.Size(), 8);
  f.SetName("DejaVu Sans");
  f.SetHeight(-14);
  EXPECT_EQ(f.ToQFont().pixelSize(), 14);
  f.SetHeight(20);
  // The cell (ascent + descent) comes to the height, give or take rounding.
  EXPECT_NEAR(QFontMetrics(f.ToQFont()).height(), 20, 1);
  EXPECT_LT(f.ToQFont().pixelSize(), 20);
  f.SetSize(12);
  EXPECT_EQ(f.Height(), -16);

  int changes = 0;
  f.OnChange = [&](TPersistent*) { ++changes; };
  f.SetStyle(TFont::fsBold | TFont::fsUnderline);
  f.SetStyle(TFont::fsBold | TFont::fsUnderline);  // same value: no notice
  EXPECT_EQ(changes, 1);
  EXPECT_TRUE(f.ToQFont().bold());
  EXPECT_TRUE(f.ToQFont().underline());
  TFont g;
  g.Assign(&f);
  EXPECT_TRUE(g.Equals(f));
}

class CanvasTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    bmp.SetSize(40, 30);
    c = bmp.Canvas();
    c->Brush()->SetColor(clWhite);
    c->FillRect(QRect(0, 0, 40, 30));
  }
  TColor At(int x, int y) { return c->Pixel(x, y); }
  TBitmap bmp;
  TCanvas* c = nullptr;
};

TEST_F(CanvasTest, RectanglesLinesAndFrames)
{
  c->Brush()->SetColor(clRed);
  c->FillRect(QRect(2, 2, 5, 4));  // x 2..6, y 2..5
  EXPECT_EQ(At(2, 2), clRed);
  EXPECT_EQ(At(6, 5), clRed);
  EXPECT_EQ(At(7, 5), clWhite);
  EXPECT_EQ(At(6, 6), clWhite);

  // LineTo leaves out its end point.
  c->Pen()->SetColor(clBlue);
  c->MoveTo(10, 10);
  c->LineTo(20, 10);
  EXPECT_EQ(At(10, 10), clBlue);
  EXPECT_EQ(At(19, 10), clBlue);
  EXPECT_EQ(At(20, 10), clWhite);
  EXPECT_EQ(c->PenPos(), QPoint(20, 10));

  // Rectangle: pen outline on the edges, brush inside, right/bottom exclusive.
  c->Pen()->SetColor(clBlack);
  c->Brush()->SetColor(clLime);
  c->Rectangle(22, 2, 30, 8);
  EXPECT_EQ(At(22, 2), clBlack);
  EXPECT_EQ(At(29, 7), clBlack);
  EXPECT_EQ(At(25, 5), clLime);
  EXPECT_EQ(At(30, 5), clWhite);

  // Frame3D: top/left in one colour, bottom/right in the other; the rect shrinks.
  QRect r(2, 12, 10, 10);
  c->Frame3D(r, clBtnHighlight, clBtnShadow, 2);
  EXPECT_EQ(r, QRect(4, 14, 6, 6));
  EXPECT_EQ(At(2, 12), clWhite);
  EXPECT_EQ(At(3, 15), clWhite);
  EXPECT_EQ(At(11, 15), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(5, 21), ColorToRGB(clBtnShadow));
  EXPECT_EQ(At(10, 20), ColorToRGB(clBtnShadow));  // second ring
  EXPECT_EQ(At(5, 16), clWhite);                   // inside: untouched

  c->Brush()->SetColor(clNavy);
  c->FrameRect(QRect(30, 20, 5, 5));
  EXPECT_EQ(At(30, 20), clNavy);
  EXPECT_EQ(At(34, 24), clNavy);
  EXPECT_EQ(At(32, 22), clWhite);
}

TEST_F(CanvasTest, TextIsDrawnInTheFontColourAndMeasured)
{
  c->Font()->SetName("DejaVu Sans");
  c->Font()->SetHeight(-12);
  c->Font()->SetColor(clRed);
  c->Brush()->SetStyle(TBrush::bsClear);
  const QSize extent = c->TextExtent("HH");
  ASSERT_GT(extent.width(), 4);
  EXPECT_GT(c->TextWidth("HHHH"), extent.width());
  c->TextOut(2, 2, "HH");
  const QImage img = bmp.Image();
  EXPECT_GT(CountNear(img, QRect(2, 2, extent.width(), extent.height()), clRed), 6);
  EXPECT_EQ(CountNear(img, QRect(2 + extent.width() + 1, 0, 10, 30), clRed, 300), 0);
  EXPECT_EQ(c->PenPos().x(), 2 + extent.width());

  // An opaque brush fills behind the text.
  c->Brush()->SetColor(clYellow);
  c->TextOut(2, 16, "H");
  EXPECT_EQ(At(2, 16), clYellow);
}

TEST_F(CanvasTest, DrawTextAlignsWrapsAndShortens)
{
  c->Font()->SetName("DejaVu Sans");
  c->Font()->SetHeight(-10);
  c->Font()->SetColor(clBlack);
  c->Brush()->SetStyle(TBrush::bsClear);
  auto inkColumns = [&](const QRect& area) {
    const QImage img = bmp.Image();
    int first = -1, last = -1;
    for (int x = area.left(); x <= area.right(); ++x)
      for (int y = area.top(); y <= area.bottom(); ++y)
        if (qGray(img.pixel(x, y)) < 128) {
          if (first < 0) first = x;
          last = x;
        }
    return std::make_pair(first, last);
  };
  QRect r(0, 0, 40, 14);
  c->DrawText("I", r, DT_CENTER | DT_SINGLELINE);
  auto [l, rr] = inkColumns(QRect(0, 0, 40, 14));
  ASSERT_GE(l, 0);
  EXPECT_NEAR((l + rr) / 2.0, 20, 2);

  c->Brush()->SetColor(clWhite);
  c->FillRect(QRect(0, 0, 40, 30));
  c->Brush()->SetStyle(TBrush::bsClear);
  r = QRect(0, 0, 40, 14);
  c->DrawText("I", r, DT_RIGHT | DT_SINGLELINE);
  auto [l2, r2] = inkColumns(QRect(0, 0, 40, 14));
  EXPECT_GE(r2, 36);
  EXPECT_GT(l2, 30);

  // Word wrap: the needed height grows; without it one line.
  QRect calc(0, 0, 40, 0);
  c->DrawText("one two three four five", calc, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_GT(calc.height(), 2 * c->TextHeight("x") - 1);
  EXPECT_EQ(calc.width(), 40);
  QRect single(0, 0, 40, 0);
  c->DrawText("one two three four five", single, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(single.height(), c->TextHeight("x"));
  EXPECT_GT(single.width(), 40);

  // The ellipsis keeps a long text inside its rectangle.
  c->Brush()->SetColor(clWhite);
  c->FillRect(QRect(0, 0, 40, 30));
  c->Brush()->SetStyle(TBrush::bsClear);
  QRect box(0, 16, 30, 14);
  c->DrawText("a rather long text", box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
  auto [l3, r3] = inkColumns(QRect(0, 16, 40, 14));
  ASSERT_GE(l3, 0);
  EXPECT_LT(r3, 30);
}

TEST(Canvas, WithoutSurfaceMeasuresButRefusesToDraw)
{
  TCanvas c;
  EXPECT_FALSE(c.HandleAllocated());
  EXPECT_GT(c.TextWidth("abc"), 0);
  EXPECT_GT(c.TextHeight("abc"), 0);
  EXPECT_THROW(c.FillRect(QRect(0, 0, 5, 5)), EInvalidOperation);
  EXPECT_THROW(c.TextOut(0, 0, "x"), EInvalidOperation);
  EXPECT_EQ(c.Pixel(0, 0), -1);
}

TEST(Bitmaps, RowsAreBlueGreenRedPaddedToFourBytes)
{
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  b.SetSize(5, 3);
  EXPECT_EQ(b.BytesPerLine(), 16);  // 15 rounded up
  uchar* row = b.ScanLine(1);
  row[3 * 2 + 0] = 0xFF;  // blue of pixel 2
  row[3 * 2 + 1] = 0x00;
  row[3 * 2 + 2] = 0x10;  // red
  EXPECT_EQ(b.Canvas()->Pixel(2, 1), RGB(0x10, 0, 0xFF));
  b.Canvas()->SetPixel(4, 2, RGB(1, 2, 3));
  const uchar* last = b.ScanLine(2);
  EXPECT_EQ(last[12], 3);
  EXPECT_EQ(last[14], 1);
  EXPECT_THROW(b.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);

  // Growing keeps the old pixels; new ones are black.
  b.SetSize(8, 4);
  EXPECT_EQ(b.Canvas()->Pixel(2, 1), RGB(0x10, 0, 0xFF));
  EXPECT_EQ(b.Canvas()->Pixel(7, 3), clBlack);

  EXPECT_THROW(b.SetSize(kMaxBmpDimension + 1, 1), EOutOfResources);
  EXPECT_THROW(b.SetSize(16000, 16000), EOutOfResources);
  EXPECT_EQ(b.Width(), 8);
}

TEST(Bitmaps, DrawStretchCopyAndTransparency)
{
  TBitmap src;
  src.SetSize(2, 2);
  src.Canvas()->SetPixel(0, 0, clRed);
  src.Canvas()->SetPixel(1, 0, clLime);
  src.Canvas()->SetPixel(0, 1, clBlue);
  src.Canvas()->SetPixel(1, 1, clWhite);

  TBitmap dst;
  dst.SetSize(10, 10);
  dst.Canvas()->Draw(1, 1, &src);
  EXPECT_EQ(dst.Canvas()->Pixel(1, 1), clRed);
  EXPECT_EQ(dst.Canvas()->Pixel(2, 2), clWhite);

  // Stretching doubles each pixel (no smoothing).
  dst.Canvas()->StretchDraw(QRect(4, 4, 4, 4), &src);
  EXPECT_EQ(dst.Canvas()->Pixel(4, 4), clRed);
  EXPECT_EQ(dst.Canvas()->Pixel(5, 5), clRed);
  EXPECT_EQ(dst.Canvas()->Pixel(6, 4), clLime);
  EXPECT_EQ(dst.Canvas()->Pixel(7, 7), clWhite);
  EXPECT_EQ(dst.Canvas()->Pixel(4, 7), clBlue);

  // CopyRect takes a part of another canvas, scaling when sizes differ.
  TBitmap copy;
  copy.SetSize(3, 3);
  copy.Canvas()->CopyRect(QRect(0, 0, 2, 2), dst.Canvas(), QRect(6, 6, 2, 2));
  EXPECT_EQ(copy.Canvas()->Pixel(0, 0), clWhite);
  EXPECT_EQ(copy.Canvas()->Pixel(2, 2), clBlack);
  // Copying within one canvas works too.
  dst.Canvas()->CopyRect(QRect(0, 8, 2, 2), dst.Canvas(), QRect(1, 1, 2, 2));
  EXPECT_EQ(dst.Canvas()->Pixel(0, 8), clRed);

  // Transparent: the bottom-left colour (blue) is left out.
  src.SetTransparent(true);
  EXPECT_EQ(src.TransparentColor(), clBlue);
  TBitmap over;
  over.SetSize(2, 2);
  over.Canvas()->Brush()->SetColor(clYellow);
  over.Canvas()->FillRect(QRect(0, 0, 2, 2));
  over.Canvas()->Draw(0, 0, &src);
  EXPECT_EQ(over.Canvas()->Pixel(0, 1), clYellow);
  EXPECT_EQ(over.Canvas()->Pixel(0, 0), clRed);
  src.SetTransparentColor(clRed);
  EXPECT_EQ(src.TransparentMode(), TBitmap::tmFixed);
  over.Canvas()->FillRect(QRect(0, 0, 2, 2));
  over.Canvas()->Draw(0, 0, &src);
  EXPECT_EQ(over.Canvas()->Pixel(0, 0), clYellow);
  EXPECT_EQ(over.Canvas()->Pixel(0, 1), clBlue);
}

TEST(Bitmaps, LoadingBadInputRaisesAndKeepsThePicture)
{
  TBitmap b;
  b.SetSize(3, 3);
  b.Canvas()->SetPixel(1, 1, clRed);
  QTemporaryDir dir;
  EXPECT_THROW(b.LoadFromFile(dir.filePath("missing.bmp")), EFOpenError);
  EXPECT_THROW(b.LoadFromData(QByteArray("BM\x10\x00garbage", 11)), EInvalidGraphic);
  QByteArray truncated("BM");
  QBuffer buffer(&truncated);
  buffer.open(QIODevice::ReadOnly);
  EXPECT_THROW(b.LoadFromStream(buffer), EInvalidGraphic);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Canvas()->Pixel(1, 1), clRed);
  EXPECT_THROW(b.SaveToFile(dir.filePath("no/such/folder/x.bmp")), EFCreateError);
}

TEST(Bitmaps, SavedFileReadsBack)
{
  TBitmap b;
  b.SetSize(7, 5);
  b.Canvas()->Brush()->SetColor(RGB(10, 20, 30));
  b.Canvas()->FillRect(QRect(0, 0, 7, 5));
  b.Canvas()->SetPixel(6, 4, clRed);
  const QByteArray data = b.Data();
  ASSERT_TRUE(data.startsWith("BM"));
  QTemporaryDir dir;
  const QString path = dir.filePath("x.bmp");
  b.SaveToFile(path);
  TBitmap back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.Width(), 7);
  EXPECT_EQ(back.Height(), 5);
  EXPECT_EQ(back.Canvas()->Pixel(0, 0), RGB(10, 20, 30));
  EXPECT_EQ(back.Canvas()->Pixel(6, 4), clRed);

  // A stream keeps its position after the picture for what follows.
  QByteArray stream = data + QByteArray("tail");
  QBuffer buffer(&stream);
  buffer.open(QIODevice::ReadOnly);
  back.LoadFromStream(buffer);
  EXPECT_EQ(buffer.readAll(), QByteArray("tail"));
}

TEST(Bitmaps, IndexedFilesBecomeTwentyFourBitPictures)
{
  QImage indexed(5, 2, QImage::Format_Indexed8);
  indexed.setColorTable({qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 128, 255), qRgb(255, 255, 255)});
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) indexed.setPixel(x, y, uint((x + y) % 4));
  for (int bits : {8, 4}) {
    TBitmap b;
    b.LoadFromData(EncodeBmp(indexed, bits));
    ASSERT_EQ(b.Width(), 5) << bits;
    EXPECT_EQ(b.Image().format(), QImage::Format_BGR888);
    EXPECT_EQ(b.Canvas()->Pixel(1, 0), clRed) << bits;
    EXPECT_EQ(b.Canvas()->Pixel(1, 1), RGB(0, 128, 255)) << bits;
    EXPECT_EQ(b.Canvas()->Pixel(3, 1), clBlack) << bits;
    // Row access sees the converted pixels: blue, green, red.
    const uchar* row = b.ScanLine(1);
    EXPECT_EQ(row[3], 255);
    EXPECT_EQ(row[4], 128);
    EXPECT_EQ(row[5], 0);
  }
  // A file that claims a huge size is refused before anything is allocated.
  QByteArray lying = EncodeBmp(indexed, 8);
  const qint32 huge = 100000;
  memcpy(lying.data() + 18, &huge, 4);
  TBitmap b;
  EXPECT_THROW(b.LoadFromData(lying), EInvalidGraphic);
  EXPECT_TRUE(b.Empty());
}

TEST(Regions, FromMaskCollectsRunsOfTheColour)
{
  QImage mask(3, 1, QImage::Format_RGB32);
  mask.setPixel(0, 0, qRgb(0, 0, 0));
  mask.setPixel(1, 0, qRgb(255, 255, 255));
  mask.setPixel(2, 0, qRgb(0, 0, 0));
  const QRegion r = Regions::FromMask(mask, clBlack, QPoint(10, 20));
  EXPECT_EQ(r.rectCount(), 2);
  EXPECT_TRUE(r.contains(QPoint(10, 20)));
  EXPECT_FALSE(r.contains(QPoint(11, 20)));
  EXPECT_TRUE(r.contains(QPoint(12, 20)));
  mask.fill(Qt::white);
  EXPECT_TRUE(Regions::FromMask(mask, clBlack).isEmpty());
  EXPECT_EQ(Regions::Union(Regions::Rect(QRect(0, 0, 2, 2)), Regions::Rect(QRect(5, 5, 2, 2))).rectCount(), 2);
}
