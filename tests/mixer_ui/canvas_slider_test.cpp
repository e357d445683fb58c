// The DIB canvas with its bitmap cache, the scale and the slider: mapping,
// keys, mouse, and what they paint.
#include "mixer_ui_fixture.h"

#include <thread>

namespace {

TEST(MMDIBCanvas, SizeDepthAndRebuildRules)
{
  TMMLevel owner(nullptr);
  TMMDIBCanvas canvas(&owner);
  EXPECT_THROW(canvas.SetBitsPerPixel(16), EMMDIBError);
  EXPECT_EQ(canvas.BitsPerPixel(), 8);
  canvas.SetSize(0, 0);
  EXPECT_EQ(canvas.Handle().size(), QSize(1, 1));

  canvas.SetSize(20, 10);
  canvas.BeginDraw();
  canvas.SetSize(30, 10);  // only marks the bitmap stale
  try {
    canvas.RebuildDIB();
    ADD_FAILURE() << "rebuilt while drawn on";
  } catch (const EMMDIBError& e) {
    EXPECT_EQ(e.Message(), "TMMLevel: Attempt to create new DIB while initialized for drawing");
  }
  canvas.EndDraw();
  // No lock is left behind: another canvas draws on this thread and from another.
  TMMDIBCanvas other;
  other.BeginDraw();
  other.EndDraw();
  std::thread([&] {
    other.BeginDraw();
    other.EndDraw();
  }).join();
  EXPECT_EQ(canvas.Handle().width(), 30);

  // A surface too large to make: an error, and the drawing lock is free again.
  canvas.SetSize(200000, 200000);
  EXPECT_THROW(canvas.BeginDraw(), EMMDIBError);
  EXPECT_FALSE(canvas.Drawing());
  std::thread([&] {
    other.BeginDraw();
    other.EndDraw();
  }).join();
}

TEST(MMDIBCanvas, PrimitivesWritePaletteOrRgbPixelsInsideTheClip)
{
  for (int bits : {8, 24}) {
    TMMDIBCanvas c;
    c.SetBitsPerPixel(bits);
    c.SetSize(8, 6);
    c.BeginDraw();
    c.SetDrawColor(clLime);
    c.ClearAll();
    c.SetDrawColor(clRed);
    c.FillRect(QRect(6, 4, 5, 5));  // clipped at the corner
    c.SetDrawColor(clBlue);
    c.FillRectDotted(QRect(0, 0, 4, 4));
    c.EndDraw();
    EXPECT_EQ(c.PixelColor(0, 0), clBlue) << bits;
    EXPECT_EQ(c.PixelColor(1, 0), clLime) << bits;
    EXPECT_EQ(c.PixelColor(0, 1), clLime) << bits;
    EXPECT_EQ(c.PixelColor(2, 2), clBlue) << bits;
    EXPECT_EQ(c.PixelColor(7, 5), clRed) << bits;
    EXPECT_EQ(c.PixelColor(5, 5), clLime) << bits;
  }
  // 8 bits: the twenty static colours sit at both ends of the palette.
  TMMDIBCanvas c;
  c.SetDrawColor(clWhite);
  EXPECT_EQ(c.DrawIndex(), 255);
  c.SetDrawColor(clMaroon);
  EXPECT_EQ(c.DrawIndex(), 1);
}

TEST(MMDIBCanvas, AnUnstretchedBackgroundIsTiledFromTheTopLeft)
{
  QImage tile(10, 10, QImage::Format_RGB32);
  tile.fill(QColor(255, 0, 0));
  for (int i = 0; i < 10; ++i) tile.setPixel(i, 0, qRgb(0, 0, 255));  // top row blue
  TBitmap picture;
  picture.SetImage(tile);
  TMMDIBCanvas c;
  c.SetBitsPerPixel(24);
  c.SetSize(25, 15);
  c.SetStretchBackGround(false);
  c.SetBackGroundBitmap(&picture);
  c.BeginDraw();
  c.CopyBackground();
  c.EndDraw();
  EXPECT_EQ(c.PixelColor(24, 0), clBlue);    // third tile, cut at the right
  EXPECT_EQ(c.PixelColor(24, 10), clBlue);   // second row of tiles
  EXPECT_EQ(c.PixelColor(24, 14), clRed);
  EXPECT_EQ(c.PixelColor(3, 9), clRed);
}

TEST(MMBitmapCache, SlidersOfOneSizeShareTheirBackBuffer)
{
  TMMCustomSlider a(nullptr), b(nullptr);
  a.Loaded();
  b.Loaded();
  EXPECT_EQ(TBitmapCache::Count(), 1);
  TBitmap* shared = TBitmapCache::AcquireBitmap(200, 40);
  EXPECT_EQ(TBitmapCache::Count(), 1);
  TBitmapCache::ReleaseBitmap(shared);
  EXPECT_EQ(shared, nullptr);
  b.SetBounds(0, 0, 100, 40);
  EXPECT_EQ(TBitmapCache::Count(), 2);
  a.SetBounds(0, 0, 100, 40);
  EXPECT_EQ(TBitmapCache::Count(), 1);
}

class SliderTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    RegisterMixerUiClasses();
    slider.SetOnChange([this](TObject*) { ++changes; });
    slider.SetOnTrack([this](TObject*) { ++tracks; });
    slider.SetOnTrackEnd([this](TObject*) { ++trackEnds; });
  }
  void Key(int vk)
  {
    slider.SendMessage(WM_KEYDOWN, vk);
    slider.SendMessage(WM_KEYUP, vk);
  }
  TMMCustomSlider slider{nullptr};
  int changes = 0, tracks = 0, trackEnds = 0;
};

TEST_F(SliderTest, LogarithmicMappingOfAVolumeRange)
{
  slider.SetRange(0, 32);
  slider.SetLogarithmic(true);
  slider.SetPosition(32);
  EXPECT_EQ(slider.RawPosition(), 32);
  slider.SetPosition(16);  // -6 dB
  EXPECT_EQ(slider.RawPosition(), 24);
  EXPECT_EQ(slider.Position(), 16);
  slider.SetPosition(2);  // -24 dB: the bottom
  EXPECT_EQ(slider.RawPosition(), 0);
  EXPECT_EQ(slider.Position(), 0);
  slider.SetSensitivity(-200);
  EXPECT_EQ(slider.Sensitivity(), -96);
  // Negative values and an empty range give a position, never NaN.
  EXPECT_EQ(slider.LogicalToRaw(-5), 0);
  slider.SetRange(4, 4);
  EXPECT_EQ(slider.MaxPosition(), 5);
}

TEST_F(SliderTest, WritingThePositionItReadsChangesNothing)
{
  slider.SetRange(0, 32);
  slider.SetLogarithmic(true);
  slider.SetRawPosition(1);  // reads as 2, which maps back to raw 0
  EXPECT_EQ(slider.Position(), 2);
  changes = 0;
  slider.SetPosition(2);
  EXPECT_EQ(slider.RawPosition(), 1);
  EXPECT_EQ(changes, 0);
  slider.SetPosition(32);
  EXPECT_EQ(changes, 1);
}

TEST_F(SliderTest, KeysMoveByLineAndPageWithinTheRange)
{
  slider.SetRange(0, 10);
  slider.SetRawPosition(8);
  tracks = trackEnds = 0;
  Key(VK_PRIOR);
  EXPECT_EQ(slider.RawPosition(), 10);
  Key(VK_UP);
  EXPECT_EQ(slider.RawPosition(), 10);
  EXPECT_EQ(tracks, 1);
  EXPECT_EQ(trackEnds, 1);
  Key(VK_NEXT);
  Key(VK_LEFT);
  EXPECT_EQ(slider.RawPosition(), 4);
  Key(VK_END);  // horizontal: the maximum
  EXPECT_EQ(slider.RawPosition(), 10);
  slider.SetBounds(0, 0, 40, 200);
  EXPECT_EQ(slider.Orientation(), orVertical);
  Key(VK_END);  // vertical: the bottom, the minimum
  EXPECT_EQ(slider.RawPosition(), 0);
  Key(VK_HOME);
  EXPECT_EQ(slider.RawPosition(), 10);
}

TEST_F(SliderTest, AClickBesideTheThumbJumpsThereAndDraggingFollowsThePointer)
{
  slider.SetRange(0, 10);
  slider.Loaded();
  const QRect track = slider.TrackRect();  // bevel 5 + 1: 6 .. 194
  EXPECT_EQ(track, QRect(6, 6, 188, 28));
  const int T = track.width() - slider.ThumbWidth();
  const int x = track.left() + slider.ThumbWidth() / 2 + T * 7 / 10;
  slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(x, 20));
  EXPECT_EQ(slider.RawPosition(), 7);
  EXPECT_EQ(tracks, 1);
  EXPECT_EQ(changes, 1);
  slider.SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(x, 20));
  EXPECT_EQ(trackEnds, 1);

  (void)slider.Render();  // remembers the thumb
  const QPoint thumb = slider.ThumbRect().center();
  slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(thumb.x(), thumb.y()));
  EXPECT_TRUE(slider.Dragging());
  EXPECT_EQ(slider.RawPosition(), 7);
  slider.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(thumb.x() - 2 * T / 10, thumb.y()));
  EXPECT_EQ(slider.RawPosition(), 5);
  slider.SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(thumb.x(), thumb.y()));
  EXPECT_FALSE(slider.Dragging());

  // Over the thumb the pointer becomes the mixer's hand, registered with the classes.
  slider.SetHandCursor(true);
  (void)slider.Render();
  const QPoint moved = slider.ThumbRect().center();
  slider.SendMessage(WM_MOUSEMOVE, 0, MakeMouseLParam(moved.x(), moved.y()));
  EXPECT_EQ(slider.Cursor(), mm::HandCursor);
  EXPECT_EQ(Screen->Cursors(mm::HandCursor).shape(), Qt::PointingHandCursor);

  // A thumb as long as the track stays where it is.
  slider.SetThumbWidth(188);
  slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(3, 20));
  EXPECT_EQ(slider.RawPosition(), 5);
}

// The record window's volume is a vertical slider: its maximum is at the top,
// where the thumb is drawn and where a click goes.
TEST_F(SliderTest, AVerticalSliderDrawsItsMaximumAtTheTop)
{
  slider.SetRange(0, 10);
  slider.SetBounds(0, 0, 40, 200);
  ASSERT_EQ(slider.Orientation(), orVertical);
  slider.SetThumbColor(clLime);
  slider.SetRawPosition(10);
  QImage img = slider.Render();
  const QRect track = slider.TrackRect();
  const QRect top = slider.ThumbRect();
  EXPECT_EQ(top.top(), track.top());
  EXPECT_EQ(QColorToColor(img.pixelColor(top.center())), clLime);

  slider.SetRawPosition(0);
  img = slider.Render();
  const QRect bottom = slider.ThumbRect();
  EXPECT_EQ(bottom.bottom(), track.bottom());
  EXPECT_EQ(QColorToColor(img.pixelColor(bottom.center())), clLime);
  EXPECT_NE(QColorToColor(img.pixelColor(top.center())), clLime);

  slider.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(track.center().x(), top.center().y()));
  EXPECT_EQ(slider.RawPosition(), 10);
  slider.SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(track.center().x(), top.center().y()));
}

TEST_F(SliderTest, PaintsBevelGrooveScaleAndThumb)
{
  slider.SetRange(0, 10);
  slider.SetRawPosition(10);
  slider.Bevel()->SetBorderWidth(0);
  slider.Bevel()->SetBevelOuter(TControl::bvNone);
  slider.Scale()->SetVisible(true);
  slider.Scale()->SetColor(clRed);
  slider.Scale()->SetConnect(false);
  slider.SetThumbColor(clLime);
  slider.SetColor(clWhite);
  const QImage img = slider.Render();
  const QRect thumb = slider.ThumbRect();
  EXPECT_EQ(thumb, QRect(189, 0, 11, 23));  // at the right end, scale below: at the top
  EXPECT_EQ(QColorToColor(img.pixelColor(thumb.center())), clLime);
  EXPECT_EQ(QColorToColor(img.pixelColor(thumb.left(), thumb.top())), ColorToRGB(clWindowFrame));
  // Ticks below the groove: the first long tick sits under the thumb's centre at 0.
  const int grooveBottom = thumb.center().y() + (3 + 2) / 2;
  const int scaleTop = grooveBottom + 1 + 10;
  EXPECT_EQ(QColorToColor(img.pixelColor(5, scaleTop)), clRed);
  EXPECT_EQ(QColorToColor(img.pixelColor(7, scaleTop)), clWhite);

  TMMScale scale;
  EXPECT_THROW(scale.DrawScale(QRect(0, 0, 10, 5), true), EMMScaleError);
  scale.SetConnect(true);
  scale.SetStyle(stLowered);
  EXPECT_EQ(scale.ScaleExtent(), 9);
}

} // namespace

namespace {

TEST(SliderFocus, TheFocusedSliderColoursItsGrooveAndBlinksItsThumb)
{
  RegisterMixerUiClasses();
  TForm form(nullptr);
  form.SetBounds(0, 0, 240, 80);
  auto* slider = new TMMCustomSlider(&form);
  slider->SetParent(&form);
  slider->SetFocusAction(faAll);
  slider->SetFocusColor(clRed);
  slider->SetThumbColor(clLime);
  form.Show();
  QCoreApplication::processEvents();
  slider->SetFocus();
  if (!PumpUntil([&] { return slider->Focused(); }, 2000)) GTEST_SKIP() << "the window system gave no focus";
  QImage img = slider->Render();
  const QRect thumb = slider->ThumbRect();
  const int y = thumb.center().y();
  EXPECT_EQ(QColorToColor(img.pixelColor(thumb.right() + 20, y)), clRed);
  EXPECT_FALSE(slider->Blink());
  ASSERT_TRUE(PumpUntil([&] { return slider->Blink(); }, 2000));
  img = slider->Render();
  const QPoint c = thumb.center();
  const bool even = ((c.x() ^ c.y()) & 1) == 0;
  EXPECT_EQ(QColorToColor(img.pixelColor(c)), even ? clBlack : clLime);
  form.SetFocus();
  EXPECT_TRUE(PumpUntil([&] { return !slider->Focused(); }, 2000));
  EXPECT_FALSE(slider->Blink());
}

} // namespace
