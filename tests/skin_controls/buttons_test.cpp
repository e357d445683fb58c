// Push and tool buttons: groups, auto-repeat, keys, default and cancel
// buttons, accelerators, looks and the cross-fade; the check box's turns and
// pictures.
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_check_box.h"
#include "skin_controls/skin_panels.h"
#include "toolkit/image_list.h"
#include "skin_controls_support.h"
#include "support/qt_printers.h"
#include "toolkit/std_controls.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

using namespace skin_test;

namespace {

const QStringList kEntries = {"fade:button", "plain:button"};
const QStringList kSections = {"[fade]", "pictureindex=0", "skinrect=0,0,20,10", "activeskinrect=20,0,40,10",
                               "downskinrect=0,10,20,20", "lefttoppoint=4,2", "righttoppoint=15,2",
                               "clientrect=2,2,18,8", "morphing=1", "morphkind=mkdefault",
                               "[plain]", "pictureindex=0", "skinrect=0,0,20,10", "righttoppoint=15,2"};

void Press(TControl* c, int x = 3, int y = 3) { c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(x, y)); }
void Release(TControl* c, int x = 3, int y = 3) { c->Perform(WM_LBUTTONUP, 0, MakeMouseLParam(x, y)); }

template <typename T>
T* NewButton(TWinControl* parent, int* clicks)
{
  auto* b = new T(parent);
  b->SetParent(parent);
  if (clicks) b->SetOnClick([clicks](TObject*) { ++*clicks; });
  return b;
}

TEST(SkinButtons, GroupMembersClickOnPressAndRaiseEachOther)
{
  Owned<TForm> form(NewForm());
  int clicks[3] = {};
  TbsSkinSpeedButton* b[3];
  for (int i = 0; i < 3; ++i) {
    b[i] = NewButton<TbsSkinSpeedButton>(form.get(), &clicks[i]);
    b[i]->SetGroupIndex(1);
  }
  Press(b[0]);
  EXPECT_EQ(clicks[0], 1) << "a group member clicks at once";
  Release(b[0]);
  EXPECT_TRUE(b[0]->Down());
  Press(b[1]);
  Release(b[1]);
  EXPECT_TRUE(b[1]->Down());
  EXPECT_FALSE(b[0]->Down());

  // Down again: nothing, unless all may be up; then the release raises it and clicks.
  Press(b[1]);
  Release(b[1]);
  EXPECT_EQ(clicks[1], 1);
  EXPECT_TRUE(b[1]->Down());
  b[1]->SetAllowAllUp(true);
  Press(b[1]);
  Release(b[1]);
  EXPECT_EQ(clicks[1], 2);
  EXPECT_FALSE(b[1]->Down());

  // A member that allows all up leaves the others down.
  b[2]->SetDown(true);
  b[0]->SetAllowAllUp(true);
  b[0]->SetDown(true);
  EXPECT_TRUE(b[2]->Down());
  // Another group and another parent are not touched.
  auto* panel = new TWinControl(form.get());
  panel->SetParent(form.get());
  TbsSkinSpeedButton* elsewhere = NewButton<TbsSkinSpeedButton>(panel, nullptr);
  elsewhere->SetGroupIndex(1);
  elsewhere->SetDown(true);
  b[1]->SetAllowAllUp(false);
  b[1]->SetDown(true);
  EXPECT_TRUE(elsewhere->Down());
  EXPECT_FALSE(b[2]->Down());
  // A member of group 2 beside them stays down when group 1 changes, and the
  // other way round.
  TbsSkinSpeedButton* otherGroup = NewButton<TbsSkinSpeedButton>(form.get(), nullptr);
  otherGroup->SetGroupIndex(2);
  otherGroup->SetDown(true);
  b[2]->SetDown(true);
  EXPECT_TRUE(otherGroup->Down());
  EXPECT_FALSE(b[1]->Down());
  TbsSkinSpeedButton* otherGroupToo = NewButton<TbsSkinSpeedButton>(form.get(), nullptr);
  otherGroupToo->SetGroupIndex(2);
  otherGroupToo->SetDown(true);
  EXPECT_FALSE(otherGroup->Down());
  EXPECT_TRUE(b[2]->Down());

  auto* push = NewButton<TbsSkinButton>(form.get(), nullptr);
  EXPECT_TRUE(push->CanFocused());
  push->SetGroupIndex(2);
  EXPECT_FALSE(push->CanFocused());
  EXPECT_EQ(push->Handle()->focusPolicy(), Qt::NoFocus);
}

TEST(SkinButtons, ReleaseOutsideGivesNoClick)
{
  Owned<TForm> form(NewForm());
  int speedClicks = 0, pushClicks = 0;
  auto* speed = NewButton<TbsSkinSpeedButton>(form.get(), &speedClicks);
  auto* push = NewButton<TbsSkinButton>(form.get(), &pushClicks);
  for (TControl* c : {static_cast<TControl*>(speed), static_cast<TControl*>(push)}) {
    Press(c);
    c->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(200, 3));
    Release(c, 200, 3);
  }
  EXPECT_EQ(speedClicks, 0);
  EXPECT_EQ(pushClicks, 0);
  EXPECT_FALSE(speed->Down());
  EXPECT_FALSE(push->Down());
  EXPECT_FALSE(speed->MouseInside());
  Press(push);
  Release(push);
  EXPECT_EQ(pushClicks, 1);
}

TEST(SkinButtons, RepeatClicksOnEveryTickAndOnceMoreOnRelease)
{
  Owned<TForm> form(NewForm());
  int clicks = 0;
  auto* b = NewButton<TbsSkinSpeedButton>(form.get(), &clicks);
  b->SetRepeatMode(true);
  Press(b);
  EXPECT_EQ(clicks, 0) << "the press starts the timer without clicking";
  ASSERT_TRUE(b->RepeatTimerActive());
  EXPECT_EQ(b->RepeatTimerInterval(), 100);
  for (int i = 0; i < 10; ++i) b->RepeatTimerTick();
  EXPECT_EQ(clicks, 10);

  // Out of the button the repeat pauses; back in it goes on.
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(100, 3));
  EXPECT_FALSE(b->RepeatTimerActive());
  b->Perform(WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(3, 3));
  EXPECT_TRUE(b->RepeatTimerActive());
  Release(b);
  EXPECT_EQ(clicks, 11);
  EXPECT_FALSE(b->RepeatTimerActive());

  // A period the event loop could not keep up with is raised to 10 ms.
  auto* push = NewButton<TbsSkinButton>(form.get(), &clicks);
  push->SetRepeatMode(true);
  push->SetRepeatInterval(1);
  b->SetRepeatInterval(-5);
  EXPECT_EQ(push->RepeatInterval(), 10);
  EXPECT_EQ(b->RepeatInterval(), 10);
  Press(push);
  EXPECT_EQ(push->RepeatTimerInterval(), 10);
  Release(push);
}

void SendKey(QWidget* w, QEvent::Type type, bool autoRepeat)
{
  QKeyEvent e(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), autoRepeat);
  QCoreApplication::sendEvent(w, &e);
}

TEST(SkinButtons, SpaceHeldUnderKeyRepeatClicksOnceOnTheRealRelease)
{
  Owned<TForm> form(NewForm());
  for (bool repeatMode : {false, true}) {
    int clicks = 0;
    auto* b = NewButton<TbsSkinButton>(form.get(), &clicks);
    b->SetRepeatMode(repeatMode);
    QWidget* w = b->Handle();
    // Held: the window system repeats release and press pairs.
    SendKey(w, QEvent::KeyPress, false);
    EXPECT_TRUE(b->Down());
    for (int i = 0; i < 3; ++i) {
      SendKey(w, QEvent::KeyRelease, true);
      SendKey(w, QEvent::KeyPress, true);
    }
    EXPECT_TRUE(b->Down());
    EXPECT_EQ(clicks, repeatMode ? 4 : 0);
    SendKey(w, QEvent::KeyRelease, false);
    EXPECT_FALSE(b->Down());
    EXPECT_EQ(clicks, repeatMode ? 5 : 1);
  }
}

TEST(SkinButtons, DefaultCancelAndAcceleratorButtons)
{
  Owned<TForm> form(NewForm());
  int ok = 0, cancel = 0, save = 0;
  auto* okButton = NewButton<TbsSkinButton>(form.get(), &ok);
  okButton->SetDefault(true);
  okButton->SetModalResult(mrOk);
  auto* cancelButton = NewButton<TbsSkinButton>(form.get(), &cancel);
  cancelButton->SetCancel(true);
  auto* saveButton = NewButton<TbsSkinButton>(form.get(), &save);
  saveButton->SetCaption(QStringLiteral("&Save"));
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  form->Show();

  // Focus on a control that is no skin button: the default button answers Enter and looks hot.
  okButton->FocusChanged(edit);
  saveButton->FocusChanged(edit);
  EXPECT_TRUE(okButton->ActiveDefault());
  EXPECT_TRUE(okButton->MouseInside());
  EXPECT_FALSE(saveButton->ActiveDefault());
  form->Perform(CM_DIALOGKEY, VK_RETURN);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(form->ModalResult(), mrOk);
  form->Perform(CM_DIALOGKEY, VK_ESCAPE);
  EXPECT_EQ(cancel, 1);

  // Focus on another skin button: that one answers Enter, the default drops its hot look.
  okButton->FocusChanged(saveButton);
  saveButton->FocusChanged(saveButton);
  EXPECT_FALSE(okButton->ActiveDefault());
  EXPECT_FALSE(okButton->MouseInside());
  form->Perform(CM_DIALOGKEY, VK_RETURN);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(save, 1);

  // The accelerator: offered by the window for Alt+S, or for S typed on a button.
  edit->SendMessage(WM_KEYDOWN, 'S', int(TShiftState(ssAlt)));
  EXPECT_EQ(save, 2);
  cancelButton->SendMessage(WM_CHAR, 's');
  EXPECT_EQ(save, 3);
  form->Perform(CM_DIALOGCHAR, 'X');
  EXPECT_EQ(save + ok + cancel, 5);
}

TEST(SkinButtons, BuiltinDisabledButtonKeepsThePictureWithAGreyCaption)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  auto* b = NewButton<TbsSkinButton>(form.get(), nullptr);
  b->SetBounds(0, 0, 113, 25);
  b->SetCaption(QStringLiteral("开始录音"));
  b->SetSkinData(skin);
  EXPECT_EQ(b->Height(), 28);
  const QImage enabled = Paint(b);
  b->SetEnabled(false);
  const QImage disabled = Paint(b);
  EXPECT_EQ(enabled.pixel(3, 3), disabled.pixel(3, 3)) << "the normal picture";
  // The darkest pixel of the caption: black ink, or the grey of 8421504.
  auto darkest = [](const QImage& image) {
    int least = 255;
    for (int y = 6; y < 22; ++y)
      for (int x = 30; x < 83; ++x) least = std::min(least, qGray(image.pixel(x, y)));
    return least;
  };
  EXPECT_LT(darkest(enabled), 60);
  EXPECT_NEAR(darkest(disabled), 128, 20);

  // A tool button keeps its normal picture too; its image is drawn greyed by the bar's list.
  auto* bar = new TbsSkinToolBar(form.get());
  bar->SetParent(form.get());
  auto* images = new TImageList(form.get());
  QImage blue(16, 16, QImage::Format_ARGB32);
  blue.fill(Qt::blue);
  images->AddImage(blue);
  bar->SetImages(images);
  auto* tool = NewButton<TbsSkinSpeedButton>(bar, nullptr);
  bar->SetSkinData(skin);
  const QImage normal = Paint(tool);
  tool->SetEnabled(false);
  const QImage greyed = Paint(tool);
  const QPoint middle(tool->Width() / 2, tool->Height() / 2);
  EXPECT_EQ(QColorToColor(normal.pixelColor(middle)), clBlue);
  EXPECT_EQ(QColorToColor(greyed.pixelColor(middle)), ColorToRGB(clBtnShadow));
  EXPECT_EQ(normal.pixel(1, 1), greyed.pixel(1, 1));
}

TEST(SkinButtons, TheFocusedButtonIsMarkedApartFromTheOneUnderTheMouse)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadBuiltinSkin(form.get());
  auto* hovered = NewButton<TbsSkinButton>(form.get(), nullptr);
  auto* focused = NewButton<TbsSkinButton>(form.get(), nullptr);
  for (TbsSkinButton* b : {hovered, focused}) {
    b->SetBounds(0, b == focused ? 40 : 0, 113, 25);
    b->SetCaption(QStringLiteral("开始录音"));
    b->SetCanFocused(true);
    b->SetSkinData(skin);
  }
  form->Show();
  form->Handle()->activateWindow();
  focused->SetFocus();
  for (int i = 0; i < 100 && !focused->Focused(); ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_TRUE(focused->Focused());
  hovered->Perform(CM_MOUSEENTER, 0);
  const QImage hot = Paint(hovered), keyboard = Paint(focused);
  EXPECT_NE(hot, keyboard) << "the focus looks like the hover";
  // A dotted frame inside the picture's border.
  int dark = 0;
  for (int x = 4; x < 109; ++x) dark += qGray(keyboard.pixel(x, 4)) < 40 || qGray(keyboard.pixel(x, 5)) < 40;
  EXPECT_GT(dark, 30);
}

TEST(SkinButtons, CrossFadeTakesFiveTicksEachWay)
{
  Owned<TForm> form(NewForm());
  TbsSkinData* skin = LoadSmallSkin(form.get(), ControlLines(kEntries, kSections));
  auto* b = NewButton<TbsSkinSpeedButton>(form.get(), nullptr);
  b->SetSkinDataName("fade");
  b->SetSkinData(skin);
  b->SetBounds(0, 0, 20, 10);
  b->Perform(CM_MOUSEENTER);
  ASSERT_TRUE(b->MorphTimerActive());
  b->MorphTimerTick();
  b->MorphTimerTick();
  EXPECT_NEAR(b->MorphFactor(), 0.4, 1e-9);
  // Between the normal picture (column 1) and the hot one (column 21).
  const int red = QColor(Paint(b).pixel(1, 1)).red();
  EXPECT_GT(red, GetRValue(ColumnColor(1, 1)) + 10);
  EXPECT_LT(red, GetRValue(ColumnColor(21, 1)) - 10);
  for (int i = 0; i < 3; ++i) b->MorphTimerTick();
  EXPECT_NEAR(b->MorphFactor(), 1.0, 1e-9);
  b->MorphTimerTick();
  EXPECT_FALSE(b->MorphTimerActive());
  EXPECT_EQ(QColorToColor(Paint(b).pixelColor(1, 1)), ColumnColor(21, 1));

  b->Perform(CM_MOUSELEAVE);
  for (int i = 0; i < 6 && b->MorphTimerActive(); ++i) b->MorphTimerTick();
  EXPECT_FALSE(b->MorphTimerActive());
  EXPECT_EQ(b->MorphFactor(), 0.0);

  // Without morphing the factor jumps and the timer stops at once.
  b->SetSkinDataName("plain");
  b->ApplySkinData();
  b->Perform(CM_MOUSEENTER);
  EXPECT_FALSE(b->MorphTimerActive());
  EXPECT_EQ(QColorToColor(Paint(b).pixelColor(1, 1)), ColumnColor(1, 1)) << "no hot picture: the normal one";
}

TEST(SkinButtons, GlyphLayoutAndGlyphNumbers)
{
  const QRect r(0, 0, 100, 20);
  TbsGlyphTextPlacement p = LayoutGlyphAndText(r, QSize(16, 16), QSize(30, 10), -1, 1, blGlyphLeft, false);
  EXPECT_EQ(p.Glyph, QPoint(27, 2));
  EXPECT_EQ(p.Text, QPoint(43, 5));
  p = LayoutGlyphAndText(r, QSize(16, 16), QSize(30, 10), 3, 1, blGlyphRight, true);
  EXPECT_EQ(p.Glyph, QPoint(82, 3));
  EXPECT_EQ(p.Text, QPoint(51, 6));
  p = LayoutGlyphAndText(QRect(0, 0, 40, 60), QSize(16, 16), QSize(30, 10), -1, 4, blGlyphBottom, false);
  EXPECT_EQ(p.Text, QPoint(5, 15));
  EXPECT_EQ(p.Glyph, QPoint(12, 29));

  EXPECT_EQ(ButtonGlyphNumber(true, true, true, 3), 3);
  EXPECT_EQ(ButtonGlyphNumber(false, true, true, 4), 4);
  EXPECT_EQ(ButtonGlyphNumber(false, true, true, 3), 1);
  EXPECT_EQ(ButtonGlyphNumber(false, false, false, 2), 2);
  EXPECT_EQ(ButtonGlyphNumber(false, false, false, 1), 1);

  Owned<TForm> form(NewForm());
  auto* b = NewButton<TbsSkinButton>(form.get(), nullptr);
  b->SetNumGlyphs(0);
  EXPECT_EQ(b->NumGlyphs(), 1);
  b->SetNumGlyphs(9);
  EXPECT_EQ(b->NumGlyphs(), 4);
  b->SetMargin(-3);
  EXPECT_EQ(b->Margin(), -1);
}

TEST(SkinButtons, MenuButtonOpensItsMenuBelowAndComesUpWhenItCloses)
{
  Owned<TForm> form(NewForm());
  int clicks = 0, shown = 0, hidden = 0;
  auto* b = NewButton<TbsSkinMenuSpeedButton>(form.get(), &clicks);
  b->SetBounds(10, 20, 40, 25);
  QPoint openedAt;
  b->SkinPopupMenu = [&](QPoint at) { openedAt = at; };
  b->SetOnShowTrackMenu([&](TObject*) { ++shown; });
  b->SetOnHideTrackMenu([&](TObject*) { ++hidden; });
  b->SetTrackButtonMode(true);
  Press(b, 3, 3);
  Release(b, 3, 3);
  EXPECT_EQ(shown, 0) << "outside the track part it is a plain button";
  EXPECT_EQ(clicks, 1);
  Press(b, 35, 3);
  EXPECT_EQ(openedAt, b->ClientToScreen(QPoint(0, 25)));
  EXPECT_TRUE(b->Down());
  Release(b, 35, 3);
  EXPECT_EQ(clicks, 1) << "the release after opening the menu is ignored";
  b->Perform(WM_SKINMENUCLOSED);
  EXPECT_FALSE(b->Down());
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(hidden, 1);
}

TEST(SkinCheckBox, TurnsOverOnAClickOrSpaceAndShowsTheBoxPictureOfItsState)
{
  Owned<TForm> form(NewForm());
  // Normal and hot backgrounds side by side; 4 x 4 box pictures from column 32 on.
  TbsSkinData* skin = LoadSmallSkin(
      form.get(), ControlLines({"box:checkradio"},
                               {"[box]", "pictureindex=0", "skinrect=0,0,16,10", "activeskinrect=16,0,32,10",
                                "checkimagearea=1,1,5,5", "textarea=6,0,16,10", "checkimagerect=32,0,36,4",
                                "uncheckimagerect=36,0,40,4", "activecheckimagerect=32,4,36,8",
                                "activeuncheckimagerect=36,4,40,8", "unenabledcheckimagerect=32,8,36,12"}));
  auto* box = new TbsSkinCheckRadioBox(form.get());
  box->SetParent(form.get());
  box->SetSkinDataName("box");
  box->SetSkinData(skin);
  int clicks = 0;
  box->SetOnClick([&](TObject*) { ++clicks; });
  const auto at = [&](int x, int y) { return QColorToColor(Paint(box).pixelColor(x, y)); };
  ASSERT_EQ(box->Width(), 16);
  EXPECT_EQ(at(2, 2), ColumnColor(37, 1));
  EXPECT_EQ(at(10, 8), ColumnColor(10, 8));

  box->SetChecked(true);
  EXPECT_EQ(clicks, 0) << "the program's change is no click";
  EXPECT_EQ(at(2, 2), ColumnColor(33, 1));
  Press(box);
  Release(box);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 1);
  // A release outside takes the press back.
  Press(box);
  Release(box, 40, 3);
  EXPECT_FALSE(box->Checked());
  box->Perform(WM_KEYDOWN, VK_SPACE, 0);
  box->Perform(WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 2);

  box->Perform(CM_MOUSEENTER);
  EXPECT_EQ(at(2, 2), ColumnColor(33, 5));
  EXPECT_EQ(at(10, 8), ColumnColor(26, 8));
  box->SetEnabled(false);
  EXPECT_EQ(at(2, 2), ColumnColor(33, 9));
  EXPECT_EQ(at(10, 8), ColumnColor(10, 8));
}

} // namespace
