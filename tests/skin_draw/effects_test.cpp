// The 24-bit buffers and the effects, checked on chosen pixels against their formulas.
#include "coded_picture.h"
#include "skin/skin_effects.h"

#include <cmath>

namespace {

TbsEffectBmp Filled(int w, int h, TColor c)
{
  TbsEffectBmp b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, c);
  return b;
}

TbsEffectBmp Gray(int w, int h, int v) { return Filled(w, h, RGB(v, v, v)); }

int Red(const TbsEffectBmp& b, int x, int y) { return GetRValue(b.Pixel(x, y)); }

TEST(SkinBuffers, RowLayoutAndCopies)
{
  const TbsFBitmap fb(CodedPicture(5, 3));
  EXPECT_EQ(fb.RowStride(), 16);  // 15 bytes rounded up to 16
  EXPECT_EQ(fb.Padding(), 1);
  EXPECT_EQ(fb.ByteSize(), 48);
  // Blue, green, red in memory.
  EXPECT_EQ(fb.Row(2)[3 * 4 + 0], kCodeTag);
  EXPECT_EQ(fb.Row(2)[3 * 4 + 1], 2);
  EXPECT_EQ(fb.Row(2)[3 * 4 + 2], 4);
  EXPECT_THROW(fb.Row(3), EInvalidGraphicOperation);
  EXPECT_EQ(fb.Pixel(5, 0), -1);

  TbsEffectBmp e(CodedPicture(4, 2));
  uchar row[12];
  e.CopyRowOut(1, row);
  std::swap(row[0], row[9]);  // blue of pixel 0 with blue of pixel 3
  row[2] = 77;
  e.CopyRowIn(0, row);
  EXPECT_EQ(e.Pixel(0, 0), RGB(77, 1, kCodeTag));
  EXPECT_EQ(e.Pixel(3, 1), RGB(3, 1, kCodeTag));
  EXPECT_TRUE(TbsEffectBmp(0, 5).Empty());
  EXPECT_THROW(TbsEffectBmp(100000, 100000), EOutOfResources);

  // Drawing replaces the target's pixels.
  TBitmap target;
  target.SetSize(10, 10);
  e.Draw(target.Canvas(), 2, 3);
  EXPECT_EQ(PixelOf(target.Image(), 2, 3), RGB(77, 1, kCodeTag));
  EXPECT_EQ(PixelOf(target.Image(), 1, 3), clBlack);
}

TEST(SkinBuffers, QuarterTurnsAndUpsideDown)
{
  const TbsEffectBmp src(CodedPicture(5, 3));
  TbsEffectBmp out;
  src.CopyRotatedLeft(out);
  ASSERT_EQ(out.Width(), 3);
  ASSERT_EQ(out.Height(), 5);
  src.CopyRotatedRight(out);
  ASSERT_EQ(out.Width(), 3);
  TbsEffectBmp left, flip;
  src.CopyRotatedLeft(left);
  src.CopyUpsideDown(flip);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) {
      const TColor c = src.Pixel(x, y);
      ASSERT_EQ(left.Pixel(y, 5 - 1 - x), c);
      ASSERT_EQ(out.Pixel(3 - 1 - y, x), c);
      ASSERT_EQ(flip.Pixel(x, 3 - 1 - y), c);
    }
}

TEST(SkinEffects, CrossFadeAndSizeMismatch)
{
  const TbsEffectBmp active = Filled(6, 2, RGB(200, 100, 0));
  TbsEffectBmp n = Filled(6, 2, RGB(0, 50, 255));
  n.Morph(active, 0);
  EXPECT_EQ(n.Pixel(3, 1), RGB(0, 50, 255));
  n.Morph(active, 1);
  EXPECT_EQ(n.Pixel(3, 1), RGB(200, 100, 0));
  n = Filled(6, 2, RGB(0, 50, 255));
  n.Morph(active, 0.25);  // 0.75 × normal + 0.25 × active
  EXPECT_EQ(n.Pixel(0, 0), RGB(50, 62, 191));  // 62.5 → 62, 191.25 → 191
  n.Morph(active, 7);     // k clamped to 1
  EXPECT_EQ(n.Pixel(0, 0), RGB(200, 100, 0));

  // Every morph leaves the buffer alone when the sizes differ.
  const TbsEffectBmp other = Gray(5, 2, 255);
  for (int kind = 0; kind <= int(TbsMorphKind::mkPush); ++kind) {
    TbsEffectBmp b = Gray(6, 2, 10);
    ApplyMorph(b, other, TbsMorphKind(kind), 0.5);
    for (int x = 0; x < 6; ++x) ASSERT_EQ(b.Pixel(x, 1), RGB(10, 10, 10)) << kind;
  }
}

TEST(SkinEffects, GradientsFromTheLeftRightAndCentre)
{
  const TbsEffectBmp active = Gray(10, 2, 0);
  // From the left, k 0.4: n = 4, t = 0, 1/4 ... 1 over columns 0..4.
  TbsEffectBmp b = Gray(10, 2, 200);
  b.MorphLeftGrad(active, 0.4);
  const int left[] = {0, 50, 100, 150, 200, 200, 200, 200, 200, 200};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Red(b, x, 1), left[x]) << x;

  // From the right, k 0.5: n = 5, t grows by 1/5 from the last column down to column 5.
  b = Gray(10, 2, 200);
  b.MorphRightGrad(active, 0.5);
  const int right[] = {200, 200, 200, 200, 200, 160, 120, 80, 40, 0};
  for (int x = 0; x < 10; ++x) EXPECT_EQ(Red(b, x, 0), right[x]) << x;

  // Centre, horizontal (wider than high), k 0.2 of 20 columns: a = 4, band 8..12;
  // fading over 8 columns on each side, t = 0 next to the band.
  b = Gray(20, 3, 200);
  const TbsEffectBmp wide = Gray(20, 3, 0);
  b.MorphGrad(wide, 0.2);
  for (int x = 8; x <= 12; ++x) EXPECT_EQ(Red(b, x, 2), 0) << x;
  EXPECT_EQ(Red(b, 7, 0), 0);
  EXPECT_EQ(Red(b, 6, 0), 25);
  EXPECT_EQ(Red(b, 0, 0), 175);
  EXPECT_EQ(Red(b, 13, 0), 0);
  EXPECT_EQ(Red(b, 19, 0), 150);

  // Centre, vertical form on a tall buffer works on rows.
  b = Gray(3, 20, 200);
  b.MorphGrad(Gray(3, 20, 0), 0.2);
  EXPECT_EQ(Red(b, 2, 10), 0);
  EXPECT_EQ(Red(b, 0, 6), 25);
  EXPECT_EQ(Red(b, 0, 0), 175);
}

TEST(SkinEffects, SlidesAndPush)
{
  QImage act = CodedPicture(10, 2);
  act.invertPixels();  // active pixels: 255 - x, 255 - y
  const TbsEffectBmp active(act);
  auto col = [](const TbsEffectBmp& b, int x) { return GetRValue(b.Pixel(x, 1)); };

  TbsEffectBmp b(CodedPicture(10, 2));
  b.MorphLeftSlide(active, 0.3);  // the 3 rightmost active columns at 0..2
  EXPECT_EQ(col(b, 0), 255 - 7);
  EXPECT_EQ(col(b, 2), 255 - 9);
  EXPECT_EQ(col(b, 3), 3);

  b = TbsEffectBmp(CodedPicture(10, 2));
  b.MorphRightSlide(active, 0.3);  // the 3 leftmost active columns at 7..9
  EXPECT_EQ(col(b, 6), 6);
  EXPECT_EQ(col(b, 7), 255 - 0);
  EXPECT_EQ(col(b, 9), 255 - 2);

  b = TbsEffectBmp(CodedPicture(10, 2));
  b.MorphLeftSlide(active, 0);  // n is at least 1
  EXPECT_EQ(col(b, 0), 255 - 9);
  EXPECT_EQ(col(b, 1), 1);

  b = TbsEffectBmp(CodedPicture(10, 2));
  b.MorphPush(active, 0.3);  // n = 3: normal shifted right by 4, active's last 4 columns at 0..3
  EXPECT_EQ(col(b, 0), 255 - 6);
  EXPECT_EQ(col(b, 3), 255 - 9);
  EXPECT_EQ(col(b, 4), 0);
  EXPECT_EQ(col(b, 9), 5);
}

TEST(SkinEffects, InactiveEffectsFollowTheirFormulas)
{
  TbsEffectBmp b(3, 1);
  b.SetPixel(0, 0, clBlack);
  b.SetPixel(1, 0, clWhite);
  b.SetPixel(2, 0, RGB(200, 100, 11));
  TbsEffectBmp bright(b.Image());
  ApplyInactiveEffect(bright, TbsInactiveEffect::ieBrightness);
  EXPECT_EQ(bright.Pixel(0, 0), RGB(128, 128, 128));  // 127.5 rounds to even
  EXPECT_EQ(bright.Pixel(1, 0), clWhite);
  EXPECT_EQ(bright.Pixel(2, 0), RGB(228, 178, 133));  // 227.5 → 228, 177.5 → 178, 133

  TbsEffectBmp dark(b.Image());
  ApplyInactiveEffect(dark, TbsInactiveEffect::ieDarkness);
  EXPECT_EQ(dark.Pixel(1, 0), RGB(178, 178, 178));  // 178.5 → 178
  EXPECT_EQ(dark.Pixel(2, 0), RGB(140, 70, 8));     // 7.7 → 8

  TbsEffectBmp inv(b.Image());
  ApplyInactiveEffect(inv, TbsInactiveEffect::ieInvert);
  EXPECT_EQ(inv.Pixel(2, 0), RGB(55, 155, 244));

  TbsEffectBmp grey(1, 2);
  grey.SetPixel(0, 0, clRed);
  grey.SetPixel(0, 1, RGB(10, 200, 30));
  ApplyInactiveEffect(grey, TbsInactiveEffect::ieGrayScale);
  EXPECT_EQ(grey.Pixel(0, 0), RGB(76, 76, 76));  // 76.5 rounds to even
  EXPECT_EQ(grey.Pixel(0, 1), RGB(124, 124, 124)); // 3 + 118 + 3.3 = 124.3

  // The bitmap form applies the same effect.
  TBitmap bmp;
  bmp.SetSize(2, 2);
  ApplyInactiveEffect(bmp, TbsInactiveEffect::ieBrightness);
  EXPECT_EQ(PixelOf(bmp.Image(), 1, 1), RGB(128, 128, 128));
}

TEST(SkinEffects, NoiseAddsOneClampedValuePerPixel)
{
  TbsEffectBmp b = Filled(40, 30, RGB(100, 10, 250));
  QRandomGenerator rng(1234);
  b.AddMonoNoise(50, &rng);
  int lowest = 99, highest = -99;
  bool changed = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) {
      const TColor c = b.Pixel(x, y);
      const int d = GetRValue(c) - 100;
      lowest = std::min(lowest, d);
      highest = std::max(highest, d);
      changed |= d != 0;
      // The same value on every channel, clamped at the ends.
      ASSERT_EQ(GetGValue(c), std::clamp(10 + d, 0, 255)) << x << "," << y;
      ASSERT_EQ(GetBValue(c), std::clamp(250 + d, 0, 255)) << x << "," << y;
    }
  EXPECT_TRUE(changed);
  EXPECT_GE(lowest, -25);
  EXPECT_LE(highest, 24);
  EXPECT_LT(lowest, -15);  // 1200 draws cover the range
  EXPECT_GT(highest, 15);
  // The same seed gives the same picture.
  TbsEffectBmp again = Filled(40, 30, RGB(100, 10, 250));
  QRandomGenerator rng2(1234);
  again.AddMonoNoise(50, &rng2);
  EXPECT_EQ(again.Image(), b.Image());
}

TEST(SkinEffects, SplitBlurAveragesDiagonalNeighboursInPlace)
{
  // Pixel values v(x, y) = 10x + 50y in red, on a 5 × 4 buffer.
  auto make = [] {
    TbsEffectBmp b(5, 4);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) b.SetPixel(x, y, RGB(10 * x + 50 * y, 0, 0));
    return b;
  };
  TbsEffectBmp b = make();
  b.SplitBlur(1);
  // Row 0: the row above is the pixel's own row; column -1 is its own column.
  EXPECT_EQ(Red(b, 2, 0), (10 + 30 + 60 + 80) / 4);  // (1,0) (1,1) (3,0) (3,1) = 45
  EXPECT_EQ(Red(b, 0, 0), (0 + 50 + 10 + 60) / 4);   // x - 1 < 0 → own column
  // Row 1 reads the already blurred row 0 above it and the untouched row 2.
  const int r0at1 = Red(b, 1, 0), r0at3 = Red(b, 3, 0);
  EXPECT_EQ(Red(b, 2, 1), (r0at1 + 110 + r0at3 + 130) / 4);
  // Last column and row: the neighbour beyond is clamped to the last one.
  const TbsEffectBmp before = make();
  TbsEffectBmp c = make();
  c.SplitBlur(1);
  const int r2at3 = Red(c, 3, 2);
  EXPECT_EQ(Red(c, 4, 3), (r2at3 + Red(before, 3, 3) + Red(c, 4, 2) + Red(before, 4, 3)) / 4);
  // Amount 0 changes nothing.
  TbsEffectBmp d = make();
  d.SplitBlur(0);
  EXPECT_EQ(d.Image(), make().Image());
}

} // namespace
