// Caption objects on the skinned frame: hover animation, the caption text,
// pressing buttons, morphing, availability and the skin-change marks.
#include "skinned_window.h"
#include "support/qt_printers.h"

#include <gtest/gtest.h>

namespace {
TbsSkinAnimateObject* Animate(SkinnedWindow& w, const char* name)
{
  return dynamic_cast<TbsSkinAnimateObject*>(w.Frame->Object(QString::fromLatin1(name)));
}

// Ticks the animation timer until it stops (at most `limit` ticks); the frames seen after each tick.
std::vector<int> RunAnimation(SkinnedWindow& w, TbsSkinAnimateObject* a, int limit = 40)
{
  std::vector<int> frames;
  for (int i = 0; i < limit && w.Frame->AnimationTimerActive(); ++i) {
    w.Frame->AnimationTick();
    frames.push_back(a->Frame);
  }
  return frames;
}

QPoint Centre(const TbsActiveSkinObject* o) { return o->ObjectRect.center(); }
} // namespace

TEST(CaptionButtons, HoverPlaysTheFramesForwardAndLeavingPlaysThemBack)
{
  SkinnedWindow w;
  w.Activate(true);
  TbsSkinAnimateObject* close = Animate(w, "CloseAnimate");
  ASSERT_TRUE(close);
  EXPECT_EQ(close->CountFrames, 7);
  EXPECT_EQ(close->Interval, 25);
  QStringList events;
  w.Frame->SetOnMouseEnterEvent([&](TObject*, QString name) { events << "enter " + name; });
  w.Frame->SetOnMouseLeaveEvent([&](TObject*, QString name) { events << "leave " + name; });

  w.MoveTo(Centre(close));
  EXPECT_EQ(w.Frame->HoverIndex(), w.Frame->ObjectIndex("CloseAnimate"));
  EXPECT_EQ(RunAnimation(w, close), std::vector<int>({2, 3, 4, 5, 6, 7}));  // 6 ticks: 150 ms
  EXPECT_FALSE(w.Frame->AnimationTimerActive());
  // Frame 7 is the strip's seventh 14-pixel picture.
  EXPECT_EQ(close->FrameRect(7), QRect(84, 0, 14, 14));

  w.MoveTo({w.Form->Width() / 2, w.Form->Height() / 2 + 300});  // away from every object
  w.Cursor = w.Screen({w.Form->Width() / 2, 200});              // inside the client area
  w.Frame->HoverTick();
  EXPECT_EQ(w.Frame->HoverIndex(), -1);
  EXPECT_EQ(RunAnimation(w, close), std::vector<int>({6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(events, QStringList({"enter CloseAnimate", "leave CloseAnimate"}));

  // At frame 1 a backward step ends the animation; it never wraps to replay the strip.
  close->Forward = false;
  close->Animating = true;
  EXPECT_FALSE(close->AnimationStep());
  EXPECT_EQ(close->Frame, 1);
  EXPECT_FALSE(close->Animating);
}

TEST(CaptionButtons, AnIntervalAboveTheTickWaitsThatLong)
{
  SkinnedWindow w(EditedSkinBlock({{"timerinterval=25", "timerinterval=60"}}));
  w.Activate(true);
  TbsSkinAnimateObject* tray = Animate(w, "trayanimate");
  EXPECT_EQ(tray->Interval, 60);
  tray->MouseEnter();
  // Counter 25 -> 50 -> 75, then a step: every third tick.
  std::vector<int> frames;
  for (int i = 0; i < 6; ++i) {
    w.Frame->AnimationTick();
    frames.push_back(tray->Frame);
  }
  EXPECT_EQ(frames, std::vector<int>({1, 1, 2, 2, 2, 3}));
}

TEST(CaptionButtons, ClickingCloseClosesOnlyWhenReleasedOverIt)
{
  SkinnedWindow w;
  w.Activate(true);
  int closes = 0;
  w.Form->SetOnClose([&](TObject*, TForm::TCloseAction& action) {
    ++closes;
    action = TForm::caNone;
  });
  const QPoint close = Centre(w.Frame->Object("CloseAnimate"));
  w.MoveTo(close);
  w.Press(close);
  EXPECT_EQ(w.Frame->PressedIndex(), w.Frame->ObjectIndex("CloseAnimate"));
  // Dragged off, released elsewhere: nothing.
  w.MoveTo({w.Form->Width() / 2, 15});
  EXPECT_EQ(w.Frame->HoverIndex(), -1) << "no other object is hovered while one is pressed";
  w.Release({w.Form->Width() / 2, 15});
  EXPECT_EQ(closes, 0);
  EXPECT_EQ(w.Frame->PressedIndex(), -1);
  // Pressed and released over it: the form's close path runs.
  w.MoveTo(close);
  w.Press(close);
  w.Release(close);
  EXPECT_EQ(closes, 1);
  // A release in the client area also ends the press.
  w.Press(close);
  w.Form->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(100, 100));
  EXPECT_EQ(w.Frame->PressedIndex(), -1);
  EXPECT_EQ(closes, 1);
}

TEST(CaptionButtons, SystemMenuOpensUnderItsButtonAndADoubleClickCloses)
{
  SkinnedWindow w;
  w.Activate(true);
  std::vector<QRect> menus;
  w.Frame->SystemMenuHandler = [&](const QRect& anchor) { menus.push_back(anchor); };
  int closes = 0;
  w.Form->SetOnClose([&](TObject*, TForm::TCloseAction& action) {
    ++closes;
    action = TForm::caNone;
  });
  const TbsActiveSkinObject* sys = w.Frame->Object("sysmenuanimate");
  w.MoveTo(Centre(sys));
  w.Press(Centre(sys));
  w.Release(Centre(sys));
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0], sys->ObjectRect.translated(w.Screen({0, 0})));
  w.Form->SendMessage(WM_NCLBUTTONDBLCLK, HTOBJECT, w.At(Centre(sys)));
  EXPECT_EQ(closes, 1);
  // A right click on the caption opens it at the cursor.
  w.Cursor = w.Screen({120, 15});
  w.Press({120, 15}, WM_NCRBUTTONDOWN);
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[1], QRect(w.Cursor, QSize(1, 1)));
  // Without the program's own handler the skinned system menu opens there.
  w.Frame->SystemMenuHandler = nullptr;
  w.Press({120, 15}, WM_NCRBUTTONDOWN);
  EXPECT_TRUE(w.Frame->SkinMenuOpen());
}

TEST(CaptionButtons, DoubleClickingTheCaptionMaximizesAndRestoresOrRollsUp)
{
  SkinnedWindow w;
  w.Activate(true);
  w.Form->SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, w.At({120, 15}));
  EXPECT_TRUE(w.Frame->Maximized());
  w.Form->SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, w.At({120, 15}));
  EXPECT_FALSE(w.Frame->Maximized());
  // Without the maximize icon the caption asks for a roll-up.
  std::vector<TbsStdCommand> commands;
  w.Frame->CommandHandler = [&](TbsStdCommand c, TbsActiveSkinObject*) {
    commands.push_back(c);
    return true;
  };
  w.Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biRollUp));
  w.Form->SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, w.At({120, 15}));
  EXPECT_EQ(commands, std::vector<TbsStdCommand>({TbsStdCommand::cmRollUp}));
}

TEST(CaptionButtons, ACommandHandlerTakesTheButtonsCommands)
{
  SkinnedWindow w;
  w.Activate(true);
  w.Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray));
  std::vector<TbsStdCommand> commands;
  w.Frame->CommandHandler = [&](TbsStdCommand c, TbsActiveSkinObject*) {
    commands.push_back(c);
    return true;
  };
  const QPoint tray = Centre(w.Frame->Object("trayanimate"));
  w.MoveTo(tray);
  w.Press(tray);
  w.Release(tray);
  EXPECT_EQ(commands, std::vector<TbsStdCommand>({TbsStdCommand::cmMinimizeToTray}));
}

TEST(CaptionText, TooNarrowEndsInDotsAndInactiveTurnsGrey)
{
  SkinnedWindow w;
  w.Form->SetCaption(QStringLiteral("Ostrel网络收音机 Ostrel网络收音机 Ostrel网络收音机"));
  w.Activate(true);
  w.Render();
  const auto& layout = w.Frame->CaptionObject()->LastLayout();
  EXPECT_TRUE(layout.Text.endsWith("...")) << layout.Text.toStdString();
  EXPECT_LE(layout.TextBounds.width(), w.Frame->CaptionObject()->TextArea().width());
  EXPECT_TRUE(w.Form->Caption().startsWith(layout.Text.chopped(3)));
  // One wide character in a text area narrower than it: just the dots.
  SkinnedWindow narrow(EditedSkinBlock({{"textrect=0,0,134,19", "textrect=0,0,33,19"}}));
  narrow.Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray));
  narrow.Form->SetWidth(191);
  narrow.Form->SetCaption(QStringLiteral("網"));
  narrow.Render();
  EXPECT_EQ(narrow.Frame->CaptionObject()->TextArea().width(), 6);
  EXPECT_EQ(narrow.Frame->CaptionObject()->LastLayout().Text, "...");
}

TEST(CaptionObjects, MorphingButtonsFadeInFiveSteps)
{
  // A plain button with an active picture and morphing on, in the caption bar.
  SkinnedWindow w(EditedSkinBlock({ObjectCount(14),
                                   AddSkinObject("glow:button", "[glow]\r\nactivepictureindex=2\r\nskinrectinapicture=1\r\n"
                                                                "skinrect=0,0,14,14\r\nactiveskinrect=84,0,98,14\r\n"
                                                                "morphing=1\r\nmorphkind=mkdefault")}));
  w.Activate(true);
  TbsActiveSkinObject* glow = w.Frame->Object("glow");
  ASSERT_TRUE(glow);
  ASSERT_TRUE(glow->Morphing);
  glow->ObjectRect = QRect(120, 9, 14, 14);
  glow->MouseEnter();
  EXPECT_TRUE(w.Frame->MorphTimerActive());
  std::vector<double> factors;
  while (w.Frame->MorphTimerActive() && factors.size() < 10) {
    w.Frame->MorphTick();
    factors.push_back(glow->MorphFactor);
  }
  ASSERT_EQ(factors.size(), 5u);
  EXPECT_DOUBLE_EQ(factors.back(), 1.0);
  // Half way the picture is between the normal and the active one.
  glow->MouseLeave();
  w.Frame->MorphTick();
  w.Frame->MorphTick();
  EXPECT_NEAR(glow->MorphFactor, 0.6, 1e-9);
  TBitmap canvasBitmap;
  canvasBitmap.SetSize(200, 40);
  glow->Draw(*canvasBitmap.Canvas(), true);
  canvasBitmap.Canvas()->Flush();
  const QImage& picture = w.Data->SkinPictures()[2].Image;
  bool between = false;
  for (int y = 0; y < 14 && !between; ++y)
    for (int x = 0; x < 14 && !between; ++x) {
      const int n = qRed(picture.pixel(x, y)), a = qRed(picture.pixel(84 + x, y));
      const int m = qRed(canvasBitmap.Image().pixel(120 + x, 9 + y));
      if (n != a) between = m == qRound(0.4 * n + 0.6 * a) || std::abs(m - (0.4 * n + 0.6 * a)) <= 1;
    }
  EXPECT_TRUE(between);
}

TEST(Availability, BorderIconsHideCaptionButtonsAndCustomObjectsAsk)
{
  SkinnedWindow w(EditedSkinBlock({ObjectCount(14),
                                   AddSkinObject("help:stdbutton", "[help]\r\nactivepictureindex=2\r\nskinrectinapicture=1\r\n"
                                                                   "skinrect=0,56,14,70\r\ncommand=cmdefault")}));
  EXPECT_FALSE(w.Frame->Object("help")->Visible);
  w.Frame->SetOnActivateCustomObject([](TObject*, QString name, bool& visible) { visible = name == "help"; });
  w.Frame->UpdateObjectAvailability();
  w.Frame->UpdateLayout();
  EXPECT_TRUE(w.Frame->Object("help")->Visible);
  // Custom buttons join the row after the commands (close, max, min, roll-up).
  EXPECT_EQ(w.Frame->Object("help")->ObjectRect.right() + 1, w.Frame->Object("RollUpAnimate")->ObjectRect.left() - 1);
  // Hidden buttons: disabled, and gone unless the frame picture shows them.
  w.Frame->SetHideCaptionButtons(true);
  for (const char* name : {"CloseAnimate", "sysmenuanimate", "help"}) {
    EXPECT_FALSE(w.Frame->Object(name)->Enabled) << name;
    EXPECT_FALSE(w.Frame->Object(name)->Visible) << name;
  }
  EXPECT_TRUE(w.Frame->Object("caption")->Visible);
  // Their hints are the built-in Chinese texts.
  w.Frame->SetHideCaptionButtons(false);
  EXPECT_EQ(w.Frame->Object("CloseAnimate")->Hint, QString::fromUtf8("关闭"));
  EXPECT_EQ(w.Frame->Object("trayanimate")->Hint, QString::fromUtf8("最小化到托盘"));
}

TEST(SkinChanges, ChangingClearsTheMarksAndAFailedLoadLeavesTheDefaultFrame)
{
  SkinnedWindow w;
  w.Activate(true);
  w.Form->Show();
  const QPoint close = Centre(w.Frame->Object("CloseAnimate"));
  w.MoveTo(close);
  w.Press(close);
  ASSERT_GE(w.Frame->PressedIndex(), 0);
  w.Form->Handle()->grabMouse();
  // A new load: the marks go at SKN_CHANGING, before the objects are freed.
  w.Data->LoadFromStoredSkin(w.Stored);
  EXPECT_EQ(w.Frame->HoverIndex(), -1);
  EXPECT_EQ(w.Frame->PressedIndex(), -1);
  EXPECT_NE(QWidget::mouseGrabber(), w.Form->Handle());
  EXPECT_TRUE(w.Frame->SkinInUse());
  // The release that follows finds nothing pressed.
  w.Release(close);

  // A container of version 4: SKN_CHANGING and nothing more.
  TbsCompressedStoredSkin stored(nullptr);
  stored.SetCompressedData(BuiltinSkinBlock());
  QByteArray container = stored.Inflate();
  container[0] = 4;
  w.Stored->SetCompressedData(DeflateSkin(container));
  w.Data->LoadFromStoredSkin(w.Stored);
  EXPECT_FALSE(w.Frame->SkinInUse());
  QCoreApplication::processEvents();
  EXPECT_EQ(w.Form->NonClientMargins(), QMargins(3, 22, 3, 3));
  EXPECT_EQ(w.Form->ClientRect().size(), QSize(246, 500));
  EXPECT_NE(w.Frame->Object("closebutton"), nullptr);
  w.Render();
}

namespace {
// A control that logs the skin notices it is handed.
class NoticeLog : public TWinControl {
public:
  NoticeLog(TComponent* owner, TWinControl* parent, QString name, QStringList* log) : TWinControl(owner), log_(log)
  {
    SetName(name);
    SetParent(parent);
  }
  void WndProc(TMessage& m) override
  {
    if (m.Msg >= SKN_CHANGING && m.Msg <= SKN_CHANGED)
      log_->append(QStringLiteral("%1:%2:%3").arg(Name()).arg(m.Msg).arg(m.LParam));
    TWinControl::WndProc(m);
  }

private:
  QStringList* log_;
};
} // namespace

TEST(SkinChanges, ControlsHearTheNoticesDepthFirst)
{
  SkinnedWindow w;
  QStringList log;
  auto* panel = new NoticeLog(w.Form, w.Form, "Panel", &log);
  new NoticeLog(w.Form, panel, "Inner", &log);
  new NoticeLog(w.Form, w.Form, "Second", &log);
  w.Data->LoadFromStoredSkin(w.Stored);
  EXPECT_EQ(log, QStringList({"Panel:1225:1000", "Inner:1225:1000", "Second:1225:1000", "Panel:1226:1000",
                              "Inner:1226:1000", "Second:1226:1000"}));
  // Another window's skin: its change reaches the controls, its changing does not.
  log.clear();
  SkinnedWindow other;
  EXPECT_TRUE(log.filter(":1225:").isEmpty());
  EXPECT_EQ(log.filter(":1226:").size(), 3);
}
