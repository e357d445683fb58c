// The skinned scroll bar: range rules, thumb geometry, drags, repetition on
// the timer, page steps, the skin's parts and the wheel.
#include "skin_controls/skin_scroll_bar.h"
#include "skin_controls_support.h"

#include <climits>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

void Press(TControl* c, QPoint p) { c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(p.x(), p.y())); }
void Move(TControl* c, QPoint p, bool held = true)
{
  c->Perform(WM_MOUSEMOVE, held ? MK_LBUTTON : 0, MakeMouseLParam(p.x(), p.y()));
}
void Release(TControl* c, QPoint p) { c->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(p.x(), p.y())); }

TbsSkinScrollBar* NewBar(TForm* form, int* changes = nullptr)
{
  auto* bar = new TbsSkinScrollBar(form);
  bar->SetParent(form);
  if (changes) bar->SetOnChange([changes](TObject*) { ++*changes; });
  return bar;
}

TEST(SkinScrollBar, PositionStaysInsideTheRangeAndThePage)
{
  Owned<TForm> form(NewForm());
  int changes = 0;
  TbsSkinScrollBar* bar = NewBar(form.get(), &changes);
  bar->SetPosition(500);
  EXPECT_EQ(bar->Position(), 100);
  EXPECT_EQ(changes, 1);
  bar->SetPosition(100);
  EXPECT_EQ(changes, 1) << "no change, no event";

  // A page: the top position is Max - PageSize + 1.
  bar->AssignRange(0, 9, 4, 9);
  EXPECT_EQ(bar->Position(), 6);
  // A page larger than the range keeps the position at Min.
  bar->AssignRange(0, 9, 30, 5);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetPosition(3);
  EXPECT_EQ(bar->Position(), 0);
  // The extremes of the integers do not wrap.
  bar->AssignRange(INT_MIN, INT_MAX, 10, 0);
  bar->SetPosition(INT_MAX);
  EXPECT_EQ(bar->Position(), INT_MAX - 9);
  bar->SetPosition(INT_MIN);
  EXPECT_EQ(bar->Position(), INT_MIN);

  // A page that does not fit from the current position is refused.
  bar->AssignRange(0, 9, 0, 8);
  bar->SetPageSize(5);
  EXPECT_EQ(bar->PageSize(), 0);
  bar->SetPageSize(2);
  EXPECT_EQ(bar->PageSize(), 2);
  // Lowering Max pulls the position back under the page.
  bar->SetMax(5);
  EXPECT_EQ(bar->Position(), 4);
}

TEST(SkinScrollBar, BuiltInLookThumbGeometryAndDrag)
{
  Owned<TForm> form(NewForm());
  TbsSkinScrollBar* bar = NewBar(form.get());
  bar->SetPosition(50);
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::ThumbPart), QRect(92, 1, 16, 17));
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::DownButtonPart), QRect(1, 1, 16, 17));
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::UpButtonPart), QRect(183, 1, 16, 17));

  // The thumb shows in the picture: hot look under the pointer.
  Move(bar, QPoint(100, 9), false);
  EXPECT_EQ(bar->HotPart(), TbsSkinScrollBar::ThumbPart);
  const QImage image = Paint(bar);
  EXPECT_GT(CountNearColor(image, QRect(93, 2, 14, 15), RGB(182, 189, 210), 6), 150);

  // Dragging the thumb to the far end gives Max; OnLastChange only on release.
  int last = 0;
  bar->SetOnLastChange([&](TObject*) { ++last; });
  Press(bar, QPoint(100, 9));
  Move(bar, QPoint(100 + 200, 9));
  EXPECT_EQ(bar->Position(), 100);
  Move(bar, QPoint(100 - 75, 9));
  EXPECT_EQ(bar->Position(), 0);
  EXPECT_EQ(last, 0);
  Release(bar, QPoint(25, 9));
  EXPECT_EQ(last, 1);
  Press(bar, QPoint(190, 9));
  Release(bar, QPoint(190, 9));
  EXPECT_EQ(last, 1) << "button steps are not a last change";

  // A page as long as the range: the thumb fills the track (one pixel
  // shorter on an odd track) and a drag always yields Min.
  bar->AssignRange(0, 99, 100, 0);
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::ThumbPart).width(), 166);
  bar->SetWidth(201);
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::ThumbPart).width(), 166);
  Press(bar, QPoint(60, 9));
  Move(bar, QPoint(180, 9));
  EXPECT_EQ(bar->Position(), 0);
  Release(bar, QPoint(180, 9));

  // A disabled bar draws no thumb.
  bar->AssignRange(0, 100, 0, 50);
  bar->SetEnabled(false);
  EXPECT_EQ(CountNearColor(Paint(bar), QRect(92, 1, 16, 17), clNavy, 6), 0);
}

TEST(SkinScrollBar, ArrowButtonRepeatsAfterTheDelayAndPausesOffTheButton)
{
  Owned<TForm> form(NewForm());
  TbsSkinScrollBar* bar = NewBar(form.get());
  const QPoint up(190, 9), track(150, 9);
  Press(bar, up);
  EXPECT_EQ(bar->Position(), 1) << "one step at the press (0 ms)";
  EXPECT_TRUE(bar->RepeatActive());
  EXPECT_EQ(bar->RepeatInterval(), 500);
  bar->RepeatTimerTick();  // 500 ms: the delay ends
  EXPECT_EQ(bar->Position(), 1);
  EXPECT_EQ(bar->RepeatInterval(), 50);
  bar->RepeatTimerTick();  // 550 ms
  EXPECT_EQ(bar->Position(), 2);
  bar->RepeatTimerTick();  // 600 ms
  EXPECT_EQ(bar->Position(), 3);

  Move(bar, track);
  EXPECT_FALSE(bar->RepeatActive()) << "off the button the repetition pauses";
  Move(bar, up);
  EXPECT_TRUE(bar->RepeatActive());
  EXPECT_EQ(bar->RepeatInterval(), 50);
  Release(bar, up);
  EXPECT_FALSE(bar->RepeatActive());
  EXPECT_EQ(bar->CapturedPart(), TbsSkinScrollBar::NoPart);

  // A handler replaces the step.
  int clicks = 0;
  bar->SetOnDownButtonClick([&](TObject*) { ++clicks; });
  Press(bar, QPoint(5, 9));
  Release(bar, QPoint(5, 9));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(bar->Position(), 3);
}

TEST(SkinScrollBar, TrackClickPagesUntilTheThumbReachesThePointer)
{
  Owned<TForm> form(NewForm());
  TbsSkinScrollBar* bar = NewBar(form.get());
  bar->SetLargeChange(10);
  bar->SetPosition(100);
  int pages = 0;
  bar->SetOnPageUp([&](TObject*) { ++pages; });
  const QPoint p(60, 9);
  Press(bar, p);
  EXPECT_EQ(bar->Position(), 90);
  bar->RepeatTimerTick();  // the delay
  for (int i = 0; i < 20 && bar->RepeatActive(); ++i) bar->RepeatTimerTick();
  EXPECT_FALSE(bar->RepeatActive()) << "stops by itself";
  const QRect thumb = bar->PartRect(TbsSkinScrollBar::ThumbPart);
  EXPECT_LE(thumb.left(), p.x());
  EXPECT_GT(bar->Position(), 0);
  EXPECT_EQ(pages, (100 - bar->Position()) / 10);
  Release(bar, p);
}

TEST(SkinScrollBar, SkinnedVerticalBarAndWheelNotches)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  TbsSkinScrollBar* bar = NewBar(form.get());
  bar->SetKind(TbsSkinScrollBar::sbVertical);
  bar->SetSkinDataName(QStringLiteral("vscrollbar"));
  bar->SetBounds(0, 0, 30, 120);
  bar->SetSkinData(skin);
  EXPECT_EQ(bar->Width(), 17) << "the skin's width wins";
  EXPECT_EQ(bar->TrackArea(), SkinRect(2, 16, 15, 37 + 120 - 53));
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::UpButtonPart), SkinRect(2, 38 + 67, 15, 51 + 67));
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::DownButtonPart), SkinRect(2, 2, 15, 15));
  // The thumb takes the picture's breadth, centred across the track.
  EXPECT_EQ(bar->PartRect(TbsSkinScrollBar::ThumbPart), QRect(2, 16, 13, 14));
  const QImage image = Paint(bar);
  EXPECT_EQ(CountNearColor(image, image.rect(), kUnpainted, 0), 0);

  // The wheel counts whole notches of 120, and only on a focusable bar.
  bar->SetPosition(50);
  bar->Perform(WM_MOUSEWHEEL, -120);
  EXPECT_EQ(bar->Position(), 50) << "not focusable";
  TbsWheelNotches notches;
  EXPECT_EQ(notches.Add(40), 0);
  EXPECT_EQ(notches.Add(40), 0);
  EXPECT_EQ(notches.Add(40), 1);
  EXPECT_EQ(notches.Add(-250), -2);
  EXPECT_EQ(notches.Add(-110), -1) << "the rest of -10 counts";
}

} // namespace
