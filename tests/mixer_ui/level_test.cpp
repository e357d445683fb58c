// The level bar: geometry, the value input on both scales, decay, peaks,
// and the shared tick.
#include "mixer_ui_fixture.h"

namespace {

// The record window's level bar.
struct RecordLevel : TMMMixerBlockLevel {
  RecordLevel() : TMMMixerBlockLevel(nullptr)
  {
    SetBounds(0, 0, 19, 121);
    SetKind(lkVertical);
    SetDecayMode(dmStepUp);
    SetDecay(8);
  }
};

TEST(MMLevel, TheRecordWindowsBarHasSixteenSpotsInThreeZones)
{
  RegisterMixerUiClasses();
  RecordLevel level;
  EXPECT_EQ(level.LevelRect(), QRect(2, 2, 15, 117));
  EXPECT_EQ(level.NumSpots(), 16);
  EXPECT_EQ(level.Margin(), 3);
  EXPECT_EQ(level.SpotRect(1), QRect(0, 117 - 3 - 6, 15, 6));  // from the bottom
  EXPECT_EQ(level.SpotColor(7, true), clGreen);
  EXPECT_EQ(level.SpotColor(8, true), clLime);
  EXPECT_EQ(level.SpotColor(9, true), clLime);
  EXPECT_EQ(level.SpotColor(10, true), clYellow);
  EXPECT_EQ(level.SpotColor(16, true), clYellow);

  // What it paints: spot 8 lit, spot 9 still dark.
  level.SetDecayMode(dmNone);
  level.FeedValue(20000);
  const int lit = level.Displayed();
  ASSERT_GT(lit, 8);
  QImage image(19, 121, QImage::Format_RGB32);
  QPainter painter(&image);
  level.PaintTo(painter, 0, 0);
  painter.end();
  const QPoint inside = level.SpotRect(lit).center() + QPoint(2, 2);
  const QPoint dark = level.SpotRect(lit + 1).center() + QPoint(2, 2);
  EXPECT_EQ(QColorToColor(image.pixelColor(inside)), level.SpotColor(lit, true));
  EXPECT_EQ(QColorToColor(image.pixelColor(dark)), ColorToRGB(clBtnFace));

  level.SetSpotWidth(100);  // at most a third of 117
  EXPECT_EQ(level.SpotWidth(), 39);
}

TEST(MMLevel, LinearAndLogarithmicThresholds)
{
  TMMLevel level(nullptr);
  level.Bevel()->SetBorderWidth(1);
  level.SetBounds(0, 0, 19, 121);
  level.SetKind(lkVertical);
  level.SetSpotWidth(6);
  ASSERT_EQ(level.NumSpots(), 16);
  level.SetLogAmp(false);
  level.FeedValue(1588);
  EXPECT_EQ(level.Displayed(), 0);
  level.FeedValue(1589);
  EXPECT_EQ(level.Displayed(), 1);
  level.FeedValue(32767);
  EXPECT_EQ(level.Displayed(), 16);
  level.SetLogAmp(true);
  level.FeedValue(16384);
  EXPECT_EQ(level.Displayed(), 13);
  level.FeedValue(660);
  EXPECT_EQ(level.Displayed(), 0);
  level.FeedValue(-661);
  EXPECT_EQ(level.Displayed(), 1);
  level.FeedValue(INT_MIN);  // |value| pinned, not overflowed
  EXPECT_EQ(level.Displayed(), 16);
  EXPECT_EQ(level.Value(), 100);

  int overflows = 0;
  level.SetOnGainOverflow([&](TObject*) { ++overflows; });
  level.SetGain(8);
  level.FeedValue(16384);  // doubled: full scale
  EXPECT_EQ(overflows, 0);
  level.FeedValue(32767);
  EXPECT_EQ(overflows, 1);
  EXPECT_EQ(level.Displayed(), 16);
  level.SetGain(-8);  // amplifies to nothing; reading the value must not divide by zero
  EXPECT_EQ(level.Value(), 0);
  level.FeedValue(32767);
  EXPECT_EQ(level.Displayed(), 0);
  EXPECT_EQ(level.Value(), 0);
}

TEST(MMLevel, StepUpDecayRisesAtOnceAndFallsByTheFactor)
{
  RecordLevel level;
  EXPECT_NEAR(level.DecayFactor(), 0.96466f, 0.00001f);
  EXPECT_EQ(level.DecayCount(), 14);
  level.SetLogAmp(false);
  level.FeedValue(30000);
  EXPECT_EQ(level.LastValue(), 30000);
  const int top = level.Displayed();
  level.FeedValue(0);  // 30000 * 0.96466
  const int expected = int(float(30000) * level.DecayFactor());
  TMMLevel reference(nullptr);
  reference.Bevel()->SetBorderWidth(1);
  reference.SetBounds(0, 0, 19, 121);
  reference.SetKind(lkVertical);
  reference.SetSpotWidth(6);
  reference.SetLogAmp(false);
  reference.FeedValue(expected);
  EXPECT_EQ(level.Displayed(), reference.Displayed());
  EXPECT_LT(level.Displayed(), top + 1);
  for (int i = 0; i < 200; ++i) level.FeedValue(0);
  EXPECT_EQ(level.Displayed(), 0);
  // A dark level fed 0 with nothing pending does nothing at all.
  const int paints = level.PaintCount();
  level.FeedValue(0);
  EXPECT_EQ(level.PaintCount(), paints);
}

TEST(MMLevel, PeakMarkerHoldsThenFallsAndTheTimerRunsOnlyWhileItCanShow)
{
  TMMLevel level(nullptr);
  level.SetBounds(0, 0, 200, 17);
  level.SetPeakDelay(1);  // holds 3 ticks
  level.SetPeakSpeed(2);  // then a spot every 2 ticks
  level.FeedValue(32767);
  const int top = level.Peak();
  EXPECT_EQ(top, level.NumSpots());
  EXPECT_EQ(level.PeakCounter(), 3);
  for (int i = 0; i < 3; ++i) MMTickTimer::Tick();
  EXPECT_EQ(level.Peak(), top - 1);
  MMTickTimer::Tick();
  MMTickTimer::Tick();
  EXPECT_EQ(level.Peak(), top - 2);
  // A setter clears the counter while the marker shows: it still moves on.
  level.SetPeakDelay(5);
  EXPECT_EQ(level.PeakCounter(), 0);
  MMTickTimer::Tick();
  EXPECT_EQ(level.Peak(), top - 3);

  level.SetNumPeaks(0);
  EXPECT_TRUE(MMTickTimer::Paused(level.TimerClient()));
  level.SetEnabled(false);
  level.SetNumPeaks(2);
  EXPECT_TRUE(MMTickTimer::Paused(level.TimerClient()));
  level.SetEnabled(true);  // one resume is enough, however often it was paused
  EXPECT_FALSE(MMTickTimer::Paused(level.TimerClient()));
  EXPECT_EQ(level.Displayed(), 0);
}

TEST(MMLevel, SymmetricBarsAndPeaksStayWithinTheSpots)
{
  TMMLevel level(nullptr);
  level.SetBounds(0, 0, 40, 17);  // 36 pixels: 18 spots of 1 + 1
  level.SetDirection(dirSymetric);
  level.SetNumPeaks(5);
  level.SetBitsPerPixel(8);
  EXPECT_THROW(level.SetBitsPerPixel(16), EMMDIBError);
  level.FeedValue(32767);
  EXPECT_EQ(level.Displayed(), level.NumSpots() / 2);
  QImage image(40, 17, QImage::Format_RGB32);
  QPainter painter(&image);
  level.PaintTo(painter, 0, 0);  // spots beyond both ends are skipped
  painter.end();
  EXPECT_EQ(level.Foreground()->PixelColor(level.SpotRect(level.Displayed()).left(), 5), level.SpotColor(level.Displayed(), true));
}

TEST(MMMeter, TheNeedleFollowsTheDecibelScaleAndOverflowsAtFullScale)
{
  TMMMeter meter(nullptr);
  int overflows = 0;
  meter.SetOnGainOverflow([&](TObject*) { ++overflows; });
  meter.FeedValue(32767);
  EXPECT_EQ(meter.NeedlePosition(), 32767);
  EXPECT_EQ(overflows, 1);
  meter.FeedValue(-1036);  // -30 dB of a 50 dB scale: two fifths up
  EXPECT_NEAR(meter.NeedlePosition(), 32767 * 2 / 5, 40);
  EXPECT_EQ(meter.PeakPosition(), 32767);
  meter.SetGain(-8);
  meter.FeedValue(32767);
  EXPECT_EQ(meter.NeedlePosition(), 0);
}

TEST(MMTickTimer, ClientsRunAtTheirIntervalsAndMayLeaveDuringATick)
{
  int fast = 0, slow = 0, late = 0;
  TMMTimerClient* a = MMTickTimer::AddTimerClient(25, false, [&] { ++fast; });
  TMMTimerClient* b = MMTickTimer::AddTimerClient(100, false, [&] { ++slow; });
  TMMTimerClient* c = MMTickTimer::AddTimerClient(10, true, [&] { ++late; });  // behaves as 25
  ASSERT_TRUE(a && b && c);
  for (int i = 0; i < 8; ++i) MMTickTimer::Tick();
  EXPECT_EQ(fast, 8);
  EXPECT_EQ(slow, 2);
  EXPECT_EQ(late, 0);
  MMTickTimer::ResumeClient(c);
  MMTickTimer::Tick();
  EXPECT_EQ(late, 1);
  // A client that removes another while the tick runs.
  TMMTimerClient* d = nullptr;
  d = MMTickTimer::AddTimerClient(25, false, [&] { MMTickTimer::RemoveClient(a); });
  MMTickTimer::Tick();
  EXPECT_EQ(a, nullptr);
  const int before = fast;
  MMTickTimer::Tick();
  EXPECT_EQ(fast, before);
  for (TMMTimerClient* x : {b, c, d}) MMTickTimer::RemoveClient(x);
}

} // namespace
