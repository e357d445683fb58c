// The bevel (its extent, frames and painting) and the three visual bases: inner
// rectangle, children aligned inside the bevel, opaque painting, the panel's
// caption band.
#include "mixer/mixer_fixture.h"
#include "mixer_ui/mm_bevel.h"

#include "toolkit/form_render.h"

namespace {

TColor RGBOf(TColor c) { return ColorToRGB(c); }

TEST(MMBevel, ExtentCountsEveryPartAndSingleBorderAddsOnePixel)
{
  TMMBevel bevel;
  EXPECT_EQ(bevel.BevelExtent(), 1);  // outer lowered, width 1
  bevel.SetBorderStyle(mm::bsSingle);
  EXPECT_EQ(bevel.BevelExtent(), 2);
  bevel.SetBevelInner(TControl::bvRaised);
  bevel.SetBevelInnerWidth(2);
  bevel.SetBorderWidth(3);
  bevel.SetBorderSpace(4);
  EXPECT_EQ(bevel.BevelExtent(), 1 + 1 + 2 + 3 + 4);
  bevel.SetBevelOuter(TControl::bvNone);
  bevel.SetBevelInner(TControl::bvNone);
  EXPECT_EQ(bevel.BevelExtent(), 1 + 3 + 4);
}

TEST(MMBevel, SpaceCutCountsInTheExtentButNeitherDrawsNorInsets)
{
  TMMBevel bevel;
  bevel.SetBevelOuter(TControl::bvSpace);
  bevel.SetBevelOuterWidth(3);
  EXPECT_EQ(bevel.BevelExtent(), 3);
  QRect inner;
  const auto frames = bevel.BevelFrames(QRect(0, 0, 50, 20), true, inner);
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(inner, QRect(0, 0, 50, 20));
}

TEST(MMBevel, FramesGoOutsideInWithTheirColoursAndTheBorderInsetsEvenUnfilled)
{
  TMMBevel bevel;
  bevel.SetBorderStyle(mm::bsSingle);
  bevel.SetBevelOuter(TControl::bvLowered);
  bevel.SetBevelOuterWidth(2);
  bevel.SetBorderWidth(3);
  bevel.SetBevelInner(TControl::bvRaised);
  bevel.SetBorderSpace(1);
  bevel.SetBorderSpaceColor(0x0000FF);

  QRect inner;
  auto frames = bevel.BevelFrames(QRect(0, 0, 100, 60), true, inner);
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0].TopLeft, clWindowFrame);
  EXPECT_EQ(frames[0].Width, 1);
  EXPECT_EQ(frames[1].Rect, QRect(1, 1, 98, 58));
  EXPECT_EQ(frames[1].TopLeft, bevel.OuterShadowColor());  // lowered: shadow on top
  EXPECT_EQ(frames[1].BottomRight, bevel.OuterLightColor());
  EXPECT_EQ(frames[2].Rect, QRect(3, 3, 94, 54));
  EXPECT_EQ(frames[2].TopLeft, bevel.BorderColor());
  EXPECT_EQ(frames[3].TopLeft, bevel.InnerLightColor());  // raised: light on top
  EXPECT_EQ(frames[4].TopLeft, 0x0000FF);
  const int e = bevel.BevelExtent();
  EXPECT_EQ(inner, QRect(e, e, 100 - 2 * e, 60 - 2 * e));

  frames = bevel.BevelFrames(QRect(0, 0, 100, 60), false, inner);
  EXPECT_EQ(frames.size(), 4u);
  EXPECT_EQ(inner, QRect(e, e, 100 - 2 * e, 60 - 2 * e));
}

TEST(MMBevel, AssignCopiesInOneBatchAndRejectsOtherObjects)
{
  TMMBevel a, b;
  b.SetBevelInner(TControl::bvLowered);
  b.SetBorderWidth(4);
  b.SetInnerShadowColor(0x010203);
  b.SetBorderStyle(mm::bsSingle);
  ChangeCounter count;
  count.Attach(a);
  a.Assign(&b);
  EXPECT_EQ(count.Changed, 1);
  EXPECT_EQ(count.Changing, 1);
  EXPECT_EQ(a.BevelExtent(), b.BevelExtent());
  EXPECT_EQ(a.InnerShadowColor(), 0x010203);

  TMMDeviceCaps caps;
  EXPECT_THROW(a.Assign(&caps), EConvertError);
  EXPECT_THROW(a.Assign(nullptr), EConvertError);
}

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
