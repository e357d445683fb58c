// Text shortening, glyph frames, line glyphs, work areas, window opacity and rectangle tests.
#include "coded_picture.h"
#include "skin/skin_definitions.h"
#include "skin/skin_utils.h"
#include "toolkit/forms.h"

#include <cstring>
#include <memory>

namespace {

TEST(SkinText, TruncateKeepsTheLongestFittingStart)
{
  TBitmap b;
  b.SetSize(10, 10);
  TCanvas* c = b.Canvas();
  c->Font()->SetName("Arial");
  c->Font()->SetHeight(-12);
  const QString text = QStringLiteral("Velmora recording window");
  EXPECT_EQ(TruncateWithEllipsis(c, text, c->TextWidth(text)), text);
  EXPECT_EQ(TruncateWithEllipsis(c, text, c->TextWidth(text) - 1).right(3), "...");
  const int full = c->TextWidth(text);
  ASSERT_GT(full, 60);
  for (int width : {full * 3 / 4, full / 2, full / 5}) {
    const QString cut = TruncateWithEllipsis(c, text, width);
    ASSERT_TRUE(cut.endsWith("...")) << width;
    const QString head = cut.chopped(3);
    ASSERT_TRUE(text.startsWith(head));
    EXPECT_LE(c->TextWidth(cut), width);
    // One more character would not fit.
    EXPECT_GT(c->TextWidth(text.left(head.size() + 1) + "..."), width);
  }
  EXPECT_EQ(TruncateWithEllipsis(c, QStringLiteral("录音"), 1), "...");
  // A character outside the basic plane goes as a whole.
  const QString wide = QStringLiteral("ab") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("cdefghijk");
  const QString cut = TruncateWithEllipsis(c, wide, c->TextWidth(QStringLiteral("ab...")) + 1);
  EXPECT_FALSE(cut.chopped(3).endsWith(QChar(0xD83D)));
}

TEST(SkinText, TextInRectIsCentredAndClipped)
{
  TBitmap b;
  b.SetSize(60, 30);
  TCanvas* c = b.Canvas();
  c->Brush()->SetColor(clWhite);
  c->FillRect(QRect(0, 0, 60, 30));
  c->Brush()->SetStyle(TBrush::bsClear);
  c->Font()->SetColor(clBlack);
  c->Font()->SetHeight(-14);
  const QRect r(10, 5, 20, 20);
  DrawTextInRect(c, QStringLiteral("MMMMMMMM"), r, 3);
  const QImage img = b.Image();
  int inside = 0, outside = 0, leftOfStart = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      if (PixelOf(img, x, y) == clWhite) continue;
      (r.contains(x, y) ? inside : outside)++;
      if (x < r.left() + 5) ++leftOfStart;
    }
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);     // clipped to the rectangle
  EXPECT_EQ(leftOfStart, 0); // starts at left + 2 + offset
}

TEST(SkinGlyphs, GlyphFrameDrawsOneSliceTransparently)
{
  // A strip of three 4 × 3 frames: frame k filled with colour k, its bottom-left pixel magenta.
  TBitmap strip;
  strip.SetSize(13, 3);  // one spare column is never drawn
  const TColor colours[] = {clRed, clLime, clBlue};
  for (int k = 0; k < 3; ++k) {
    strip.Canvas()->Brush()->SetColor(colours[k]);
    strip.Canvas()->FillRect(QRect(k * 4, 0, 4, 3));
    strip.Canvas()->SetPixel(k * 4, 2, clFuchsia);
    strip.Canvas()->SetPixel(k * 4 + 2, 0, clFuchsia);
  }
  TBitmap target;
  target.SetSize(10, 10);
  target.Canvas()->Brush()->SetColor(clWhite);
  target.Canvas()->FillRect(QRect(0, 0, 10, 10));
  DrawGlyphFrame(target.Canvas(), 3, 4, 2, 3, strip);
  const QImage img = target.Image();
  EXPECT_EQ(PixelOf(img, 4, 4), clLime);
  EXPECT_EQ(PixelOf(img, 6, 6), clLime);
  EXPECT_EQ(PixelOf(img, 5, 4), clWhite);  // the transparent colour lets the background through
  EXPECT_EQ(PixelOf(img, 3, 6), clWhite);
  EXPECT_EQ(PixelOf(img, 7, 4), clWhite);  // nothing beyond the frame
  DrawGlyphFrame(target.Canvas(), 0, 0, 1, 3, TBitmap());  // empty strip: nothing
  EXPECT_EQ(PixelOf(target.Image(), 0, 0), clWhite);
}

TEST(SkinGlyphs, LineGlyphsDrawTheirPatternCentred)
{
  // Arrows: four lines of 1, 3, 5, 7; drop-down 5, 3, 1; roll arrows five lines.
  auto lines = [](TbsGlyph g) {
    std::vector<int> n;
    for (const char* row : GlyphPattern(g)) n.push_back(int(std::count(row, row + std::strlen(row), '#')));
    return n;
  };
  EXPECT_EQ(lines(TbsGlyph::ArrowUp), (std::vector<int>{1, 3, 5, 7}));
  EXPECT_EQ(lines(TbsGlyph::ArrowDown), (std::vector<int>{7, 5, 3, 1}));
  EXPECT_EQ(lines(TbsGlyph::ArrowLeft), (std::vector<int>{1, 2, 3, 4, 3, 2, 1}));
  EXPECT_EQ(lines(TbsGlyph::DropDown), (std::vector<int>{5, 3, 1}));
  EXPECT_EQ(lines(TbsGlyph::RollUp), (std::vector<int>{1, 3, 5, 7, 9}));
  EXPECT_EQ(lines(TbsGlyph::RollDown), (std::vector<int>{9, 7, 5, 3, 1}));
  EXPECT_EQ(GlyphPattern(TbsGlyph::Close).size(), 9u);
  EXPECT_EQ(std::strlen(GlyphPattern(TbsGlyph::Close)[0]), 9u);
  EXPECT_EQ(GlyphPattern(TbsGlyph::Maximize).size(), 10u);
  EXPECT_EQ(std::strlen(GlyphPattern(TbsGlyph::Maximize)[0]), 11u);
  EXPECT_EQ(lines(TbsGlyph::Maximize)[1], 11);  // two-pixel top bar

  // Drawn: exactly the pattern's pixels in the colour, centred in the rectangle.
  for (TbsGlyph g : {TbsGlyph::ArrowRight, TbsGlyph::Check, TbsGlyph::Close, TbsGlyph::Restore, TbsGlyph::Minimize}) {
    TBitmap b;
    b.SetSize(21, 17);
    b.Canvas()->Brush()->SetColor(clWhite);
    b.Canvas()->FillRect(QRect(0, 0, 21, 17));
    b.Canvas()->Brush()->SetColor(clYellow);
    DrawGlyph(b.Canvas(), QRect(1, 1, 19, 15), g, clNavy);
    EXPECT_EQ(b.Canvas()->Brush()->Color(), clYellow);  // the brush is left as it was
    const auto& rows = GlyphPattern(g);
    const int gh = int(rows.size()), gw = int(std::strlen(rows[0]));
    const int x0 = 1 + (19 - gw) / 2, y0 = 1 + (15 - gh) / 2;
    const QImage img = b.Image();
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 21; ++x) {
        const bool set = x >= x0 && x < x0 + gw && y >= y0 && y < y0 + gh && rows[size_t(y - y0)][x - x0] == '#';
        ASSERT_EQ(PixelOf(img, x, y), set ? clNavy : clWhite) << int(g) << " " << x << "," << y;
      }
  }

  TBitmap f;
  f.SetSize(6, 5);
  DrawTwoColorFrame(f.Canvas(), QRect(1, 1, 4, 3), clWhite, clGray);
  const QImage img = f.Image();
  EXPECT_EQ(PixelOf(img, 1, 1), clWhite);
  EXPECT_EQ(PixelOf(img, 3, 1), clWhite);
  EXPECT_EQ(PixelOf(img, 1, 2), clWhite);
  EXPECT_EQ(PixelOf(img, 4, 1), clGray);
  EXPECT_EQ(PixelOf(img, 1, 3), clGray);
  EXPECT_EQ(PixelOf(img, 4, 3), clGray);
  EXPECT_EQ(PixelOf(img, 2, 2), clBlack);  // inside untouched
  EXPECT_EQ(PixelOf(img, 5, 1), clBlack);
}

TEST(SkinWindows, WorkAreaOpacityAndRectangleTests)
{
  // One (virtual) monitor here: the desktop work area, or the screen.
  ASSERT_EQ(Screen->MonitorCount(), 1);
  EXPECT_EQ(GetMonitorWorkArea(nullptr, true), Screen->WorkAreaRect());
  EXPECT_EQ(GetMonitorWorkArea(nullptr, false), QRect(0, 0, Screen->Width(), Screen->Height()));

  struct Free {
    void operator()(TComponent* c) const { TComponent::Free(c); }
  };
  std::unique_ptr<TForm, Free> form(new TForm(nullptr));
  form->Handle();
  ASSERT_TRUE(TransparencySupported());
  SetWindowAlpha(form.get(), 150);
  EXPECT_EQ(form->WindowOpacity(), 150);
  EXPECT_NEAR(form->Handle()->windowOpacity(), 150 / 255.0, 0.01);
  SetWindowAlpha(form.get(), 400);
  EXPECT_EQ(form->WindowOpacity(), 255);

  EXPECT_TRUE(IsNullRect(SkinRect(5, 5, 5, 10)));
  EXPECT_TRUE(IsNullRect(SkinRect(5, 5, 10, 4)));
  EXPECT_FALSE(IsNullRect(SkinRect(5, 5, 6, 6)));
  EXPECT_TRUE(IsNullPoint(QPoint(0, 7)));
  EXPECT_TRUE(IsNullPoint(QPoint(7, 0)));
  EXPECT_FALSE(IsNullPoint(QPoint(7, 7)));
  const QRect outer = SkinRect(0, 0, 10, 30);
  EXPECT_TRUE(RectInRect(SkinRect(2, 2, 9, 29), outer));
  EXPECT_FALSE(RectInRect(SkinRect(2, 2, 10, 29), outer));  // right edge excluded
  EXPECT_FALSE(RectInRect(outer, outer));
  EXPECT_FALSE(RectInRect(SkinRect(-1, 2, 5, 5), outer));
  EXPECT_EQ(RectWidth(SkinRect(3, 4, 10, 20)), 7);
  EXPECT_EQ(RectHeight(SkinRect(3, 4, 10, 20)), 16);
}

} // namespace
