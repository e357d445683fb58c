// The bevel painted on a canvas, and the three visual bases: inner
// rectangle, children aligned inside the bevel, opaque painting, the panel's
// caption band.
#include "mixer_fixture.h"

#include "toolkit/form_render.h"

namespace {

TColor RGBOf(TColor c) { return ColorToRGB(c); }

TEST(MMBevelPaint, RingsLandOnTheirPixelsAndAnUnfilledBorderKeepsWhatWasThere)
{
  TMMBevel bevel;
  bevel.SetBorderStyle(mm::bsSingle);
  bevel.SetBevelOuterWidth(2);  // lowered
  bevel.SetBorderWidth(2);
  bevel.SetBorderColor(clRed);
  bevel.SetBevelInner(TControl::bvRaised);
  bevel.SetBorderSpace(1);
  bevel.SetBorderSpaceColor(clBlue);

  TBitmap bitmap;
  bitmap.SetSize(40, 30);
  TCanvas* c = bitmap.Canvas();
  c->Brush()->SetColor(clLime);
  c->FillRect(QRect(0, 0, 40, 30));
  QRect inner;
  bevel.PaintBevel(c, QRect(0, 0, 40, 30), inner, true);
  EXPECT_EQ(inner, QRect(7, 7, 26, 16));
  EXPECT_EQ(c->Pixel(0, 10), RGBOf(clWindowFrame));
  EXPECT_EQ(c->Pixel(1, 10), RGBOf(clBtnShadow));     // lowered: shadow left
  EXPECT_EQ(c->Pixel(38, 10), RGBOf(clBtnHighlight)); // and light right
  EXPECT_EQ(c->Pixel(3, 10), RGBOf(clRed));
  EXPECT_EQ(c->Pixel(4, 10), RGBOf(clRed));
  EXPECT_EQ(c->Pixel(5, 10), RGBOf(clBtnHighlight));  // raised: light left
  EXPECT_EQ(c->Pixel(6, 10), RGBOf(clBlue));
  EXPECT_EQ(c->Pixel(7, 10), RGBOf(clLime));          // inside: untouched

  c->FillRect(QRect(0, 0, 40, 30));
  bevel.PaintBevel(c, QRect(0, 0, 40, 30), inner, false);
  EXPECT_EQ(inner, QRect(7, 7, 26, 16));
  EXPECT_EQ(c->Pixel(3, 10), RGBOf(clLime));
  EXPECT_EQ(c->Pixel(5, 10), RGBOf(clBtnHighlight));
}

TEST(MMVisualBases, ControlsPaintTheirBevelAndFaceAndReportTheInnerRectangle)
{
  TPanel host(nullptr);
  host.SetBounds(0, 0, 120, 80);
  host.SetBevelOuter(TControl::bvNone);
  auto* graphic = new TMMGraphicControl(&host);
  graphic->SetParent(&host);
  graphic->SetBounds(10, 10, 50, 30);
  graphic->SetColor(clYellow);
  graphic->Bevel()->SetBorderWidth(2);
  EXPECT_TRUE(graphic->ControlStyle().testFlag(TControl::csOpaque));
  EXPECT_EQ(graphic->BevelExtent(), 3);
  EXPECT_EQ(graphic->InnerRect(), QRect(3, 3, 44, 24));
  auto* windowed = new TMMCustomControl(&host);
  windowed->SetParent(&host);
  windowed->SetBounds(70, 10, 40, 40);
  windowed->SetColor(clAqua);
  EXPECT_EQ(windowed->InnerRect(), QRect(1, 1, 38, 38));

  const QImage image = RenderControlImage(&host);
  auto at = [&](int x, int y) { return QColorToColor(image.pixelColor(x, y)); };
  EXPECT_EQ(at(10, 20), RGBOf(clBtnShadow));  // the lowered outer bevel
  EXPECT_EQ(at(11, 20), RGBOf(clBtnFace));    // the border in its colour
  EXPECT_EQ(at(13, 20), RGBOf(clYellow));     // the face
  EXPECT_EQ(at(70, 20), RGBOf(clBtnShadow));
  EXPECT_EQ(at(90, 30), RGBOf(clAqua));

  // Copying a bevel keeps the control's own one.
  TMMBevel other;
  other.SetBevelOuter(TControl::bvNone);
  TMMBevel* own = windowed->Bevel();
  windowed->SetBevel(&other);
  EXPECT_EQ(windowed->Bevel(), own);
  EXPECT_EQ(windowed->BevelExtent(), 0);
}

TEST(MMVisualBases, APanelAlignsItsChildrenInsideTheBevelAndRealignsWhenItChanges)
{
  TMMCustomPanel panel(nullptr);
  EXPECT_EQ(panel.BevelOuter(), TControl::bvNone);
  EXPECT_EQ(panel.BevelInner(), TControl::bvNone);
  EXPECT_EQ(panel.BorderWidth(), 0);
  panel.SetBounds(0, 0, 100, 60);
  auto* child = new TPanel(&panel);
  child->SetParent(&panel);
  child->SetAlign(TControl::alClient);
  EXPECT_EQ(child->BoundsRect(), QRect(1, 1, 98, 58));
  panel.Bevel()->SetBorderWidth(4);
  EXPECT_EQ(child->BoundsRect(), QRect(5, 5, 90, 50));
}

TEST(MMVisualBases, ThePanelCaptionSitsInABandAsHighAsAW)
{
  TMMCustomPanel panel(nullptr);
  panel.SetBounds(0, 0, 160, 60);
  panel.SetColor(clWhite);
  panel.Font()->SetColor(clBlack);
  panel.SetCaption("Recording");
  const QImage image = RenderControlImage(&panel);
  TBitmap probe;
  probe.SetSize(1, 1);
  probe.Canvas()->Font()->Assign(panel.Font());
  const int h = probe.Canvas()->TextHeight("W");
  const int top = 1 + (58 - h) / 2;
  int inBand = 0, outside = 0, left = 160, right = 0;
  for (int y = 1; y < 59; ++y)
    for (int x = 1; x < 159; ++x) {
      if (QColorToColor(image.pixelColor(x, y)) == clWhite) continue;
      (y >= top && y < top + h ? inBand : outside)++;
      left = std::min(left, x);
      right = std::max(right, x);
    }
  EXPECT_GT(inBand, 20);
  EXPECT_EQ(outside, 0);
  EXPECT_NEAR((left + right) / 2.0, 80, 4);  // centred by default

  panel.SetAlignment(TControl::taLeftJustify);
  const QImage leftImage = RenderControlImage(&panel);
  int first = 160;
  for (int y = top; y < top + h; ++y)
    for (int x = 1; x < 159; ++x)
      if (QColorToColor(leftImage.pixelColor(x, y)) != clWhite) first = std::min(first, x);
  EXPECT_LT(first, 6);
}

} // namespace
