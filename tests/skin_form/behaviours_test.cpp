// The window behaviours of the skinned frame: snapping rules, minimize slots,
// window states and roll-up, the system and tray menus, minimizing to the
// tray with and without a notification area.
#include "platform/tray_area.h"
#include "skinned_window.h"
#include "skin/skin_popup_window.h"
#include "skin/tray_icon.h"

#include <QHelpEvent>
#include <gtest/gtest.h>

namespace {

QStringList Captions(TbsSkinPopupMenu* menu)
{
  QStringList out;
  for (int i = 0; i < menu->Items()->Count(); ++i) out << menu->Items()->Items(i)->Caption();
  return out;
}

TEST(Snapping, PullsTheCornerOntoEdgesStrictlyWithinTheDistance)
{
  const QRect area(0, 0, 1280, 994);
  const QSize size(254, 534);
  EXPECT_EQ(SnapToEdges(QPoint(300, 4), size, area, 5), QPoint(300, 0));
  EXPECT_EQ(SnapToEdges(QPoint(300, -4), size, area, 5), QPoint(300, 0));
  EXPECT_EQ(SnapToEdges(QPoint(300, 5), size, area, 5), QPoint(300, 5)) << "5 is not strictly within 5";
  EXPECT_EQ(SnapToEdges(QPoint(3, 100), size, area, 5), QPoint(0, 100));
  EXPECT_EQ(SnapToEdges(QPoint(1280 - 254 - 2, 994 - 534 + 3), size, area, 5), QPoint(1280 - 254, 994 - 534));
  // A work area that starts lower (a panel at the top) is snapped to where it starts.
  EXPECT_EQ(SnapToEdges(QPoint(300, 27), size, QRect(0, 24, 1280, 1000), 5), QPoint(300, 24));
  // Near both sides of a narrow area: the right edge, tested later, wins.
  EXPECT_EQ(SnapToEdges(QPoint(3, 100), QSize(100, 50), QRect(0, 0, 105, 600), 5), QPoint(5, 100));
  EXPECT_EQ(SnapToEdges(QPoint(300, 1), size, area, 0), QPoint(300, 1)) << "distance 0 snaps nothing";
}

TEST(MinimizeSlots, FromTheBottomLeftRightwardsThenUpAndBounded)
{
  const QRect area(0, 0, 300, 100);
  const QSize slot(120, 30);
  EXPECT_EQ(MinimizedSlot(area, slot, {}), QPoint(0, 70));
  EXPECT_EQ(MinimizedSlot(area, slot, {QPoint(0, 70)}), QPoint(120, 70));
  // Two fit in a row: the third goes one row up.
  EXPECT_EQ(MinimizedSlot(area, slot, {QPoint(0, 70), QPoint(120, 70)}), QPoint(0, 40));
  // Every row taken: back to the bottom-left corner.
  std::vector<QPoint> full;
  for (int y : {70, 40, 10})
    for (int x : {0, 120}) full.push_back(QPoint(x, y));
  EXPECT_EQ(MinimizedSlot(area, slot, full), QPoint(0, 70));
  // A slot of nothing is taken as 1 x 1, and the search ends after the taken ones.
  EXPECT_EQ(MinimizedSlot(QRect(0, 0, 100000, 100000), QSize(0, 0), {QPoint(0, 99999)}), QPoint(1, 99999));
}

class Behaviours : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetTrayAreaFactory([this] {
      auto area = std::make_unique<TTrayAreaMemory>();
      area->available = trayHost;
      tray = area.get();
      return std::unique_ptr<TTrayArea>(std::move(area));
    });
  }
  void TearDown() override
  {
    if (Application->MainForm() == w.Form) Application->SetMainForm(nullptr);
    SetTrayAreaFactory(nullptr);
  }
  TbsTrayIcon* BindTray()
  {
    auto* icon = new TbsTrayIcon(w.Form);
    w.Frame->SetTrayIcon(icon);
    w.Frame->SetOnMinimizeToTray([this](TObject*) { events << "to tray"; });
    w.Frame->SetOnRestoreFromTray([this](TObject*) { events << "from tray"; });
    icon->Area();
    return icon;
  }

  bool trayHost = true;
  TTrayAreaMemory* tray = nullptr;
  SkinnedWindow w;
  QStringList events;
};

TEST_F(Behaviours, SystemMenuFollowsTheBorderIconsAndTheState)
{
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray);
  EXPECT_EQ(Captions(w.Frame->BuildSystemMenu()),
            QStringList({"最小化到托盘(&T)", "-", "关闭(&C)"}));
  EXPECT_EQ(w.Frame->BuildSystemMenu()->Items()->Find("BSF_CLOSE")->ShortCut(), "Alt+F4");
  w.Frame->SetBorderIcons({});
  EXPECT_EQ(Captions(w.Frame->BuildSystemMenu()), QStringList({"关闭(&C)"}));
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimize | TbsSkinForm::biMaximize |
                          TbsSkinForm::biRollUp);
  EXPECT_EQ(Captions(w.Frame->BuildSystemMenu()), QStringList({"最小化(&N)", "最大化(&X)", "卷起", "-", "关闭(&C)"}));
  w.Frame->SetWindowState(TForm::wsMaximized);
  EXPECT_EQ(Captions(w.Frame->BuildSystemMenu()), QStringList({"最小化(&N)", "恢复(&R)", "卷起", "-", "关闭(&C)"}));

  // A menu of the user's keeps its own items and gets the standard ones around them, once.
  auto* user = new TbsSkinPopupMenu(w.Form);
  user->Items()->Add(TMenuItem::Create("Mine", "关于"));
  // It hears OnPopup each time, so its owner can bring it up to date.
  int popups = 0;
  user->SetOnPopup([&](TObject*) { ++popups; });
  w.Frame->SetSystemMenu(user);
  w.Frame->BuildSystemMenu();
  EXPECT_EQ(Captions(w.Frame->BuildSystemMenu()),
            QStringList({"最小化(&N)", "恢复(&R)", "卷起", "关于", "关闭(&C)"}));
  EXPECT_EQ(popups, 2);
}

TEST_F(Behaviours, MenuItemsRunTheirCommandsAndTheMenuClosesWhenTheWindowMoves)
{
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMaximize | TbsSkinForm::biRollUp);
  int opened = 0, closed = 0;
  w.Frame->SetOnSkinMenuOpen([&](TObject*) { ++opened; });
  w.Frame->SetOnSkinMenuClose([&](TObject*) { ++closed; });
  w.Form->Show();
  w.Frame->ShowSystemMenu(QRect(110, 110, 10, 10));
  ASSERT_TRUE(w.Frame->SkinMenuOpen());
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(w.Frame->SkinMenu()->LevelCount(), 1);
  w.Form->SetLeft(w.Form->Left() + 10);
  w.Form->SendMessage(WM_MOVE, 0, 0);
  EXPECT_FALSE(w.Frame->SkinMenuOpen());
  EXPECT_EQ(closed, 1);

  const int height = w.Form->Height();
  w.Frame->BuildSystemMenu()->Items()->Find("BSF_ROLLUP")->Click();
  EXPECT_TRUE(w.Frame->RolledUp());
  EXPECT_EQ(w.Form->Height(), w.Frame->MinimumSize().height());
  w.Frame->BuildSystemMenu()->Items()->Find("BSF_RESTORE")->Click();
  EXPECT_FALSE(w.Frame->RolledUp());
  EXPECT_EQ(w.Form->Height(), height);
}

TEST_F(Behaviours, MaximizeTakesTheWorkAreaAndRestoreGivesTheBoundsBack)
{
  const QRect before = w.Form->BoundsRect();
  w.Frame->SetWindowState(TForm::wsMaximized);
  const TMonitor monitor = Screen->MonitorFromWindow(w.Form);
  QRect expected = monitor.WorkareaRect;
  if (expected == monitor.BoundsRect) expected.adjust(1, 1, -1, -1);
  EXPECT_EQ(w.Form->BoundsRect(), expected);
  EXPECT_EQ(w.Frame->DragPosition(QPoint(5, 5)), expected.topLeft()) << "a maximized window stays put";
  w.Frame->SetWindowState(TForm::wsNormal);
  EXPECT_EQ(w.Form->BoundsRect(), before);
  EXPECT_TRUE(w.Frame->NormalBounds().isEmpty());

  // Minimized (not the main form): the minimum size at the bottom-left of the work area.
  w.Frame->SetWindowState(TForm::wsMinimized);
  const QSize min = w.Frame->MinimumSize();
  const QRect work = monitor.WorkareaRect;
  EXPECT_EQ(w.Form->BoundsRect(), QRect(QPoint(work.left(), work.bottom() + 1 - min.height()), min));
  w.Frame->SetWindowState(TForm::wsNormal);
  EXPECT_EQ(w.Form->BoundsRect(), before);
}

TEST_F(Behaviours, TrayButtonHidesTheApplicationAndADoubleClickOnTheIconBringsItBack)
{
  Application->SetMainForm(w.Form);
  TbsTrayIcon* icon = BindTray();
  auto* other = new TForm(w.Form);
  other->Show();
  w.Form->Show();
  EXPECT_FALSE(icon->IconVisible()) << "bound, the icon is hidden until it is needed";
  EXPECT_FALSE(icon->MinimizeToTray());

  w.Frame->RunCommand(TbsStdCommand::cmMinimizeToTray, nullptr);
  EXPECT_FALSE(w.Form->Visible());
  EXPECT_FALSE(other->Visible());
  EXPECT_TRUE(icon->IconVisible());
  EXPECT_EQ(events, QStringList({"to tray"}));
  // Another window of the program closing does not end it while the main one is in the tray.
  other->Show();
  other->Close();
  EXPECT_FALSE(Application->Terminated());

  tray->Act(TTrayMouseAction::LeftDoubleClick);
  EXPECT_TRUE(w.Form->Visible());
  EXPECT_FALSE(icon->IconVisible());
  EXPECT_FALSE(icon->MinimizeToTray());
  EXPECT_EQ(events, QStringList({"to tray", "from tray"}));

  // The tray menu: restore, a separator, close.
  ASSERT_EQ(icon->PopupMenu(), w.Frame->TrayMenu());
  EXPECT_EQ(Captions(icon->PopupMenu()), QStringList({"恢复(&R)", "-", "关闭(&C)"}));
  w.Frame->MinimizeToTray();
  icon->PopupMenu()->Items()->Find("TRAY_BSF_RESTORE")->Click();
  EXPECT_TRUE(w.Form->Visible());
}

TEST_F(Behaviours, WithoutANotificationAreaOrATrayIconNothingDisappears)
{
  Application->SetMainForm(w.Form);
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray);
  w.Form->Show();
  w.Frame->RunCommand(TbsStdCommand::cmMinimizeToTray, nullptr);
  EXPECT_TRUE(w.Form->Visible()) << "no tray icon";

  trayHost = false;
  TbsTrayIcon* icon = BindTray();
  w.Frame->RunCommand(TbsStdCommand::cmMinimizeToTray, nullptr);
  w.Frame->BuildSystemMenu()->Items()->Find("BSF_MINTOTRAY")->Click();
  EXPECT_TRUE(w.Form->Visible());
  EXPECT_FALSE(icon->IconVisible());
  EXPECT_FALSE(icon->MinimizeToTray());
  EXPECT_TRUE(events.isEmpty());
}

TEST_F(Behaviours, CaptionButtonsShowTheirHintsAndTheTrayButtonSaysWhenItCannotWork)
{
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray);
  w.Frame->SetShowObjectHint(true);
  trayHost = false;
  BindTray();
  w.Form->Show();
  QStringList shown;
  Application->HintWindow = [&](TControl* control, QPoint, const QString& text) {
    EXPECT_EQ(control, w.Form);
    shown << text;
  };
  const auto hover = [&](const char* object) {
    const TbsActiveSkinObject* o = w.Frame->Object(QString::fromLatin1(object));
    EXPECT_NE(o, nullptr) << object;
    if (!o) return;
    const QPoint at = w.Screen(o->ObjectRect.center());
    QHelpEvent help(QEvent::ToolTip, w.Form->Handle()->mapFromGlobal(at), at);
    QCoreApplication::sendEvent(w.Form->Handle(), &help);
  };
  hover("CloseAnimate");
  hover("trayanimate");
  tray->SetAvailable(true);  // a panel comes
  hover("trayanimate");
  Application->HintWindow = nullptr;
  EXPECT_EQ(shown, QStringList({"关闭", "桌面没有通知区域，不能最小化到托盘", "最小化到托盘"}));
}

TEST_F(Behaviours, DoubleClickOnTheSystemMenuButtonClosesTheForm)
{
  int closes = 0;
  w.Form->SetOnClose([&](TObject*, TForm::TCloseAction& action) {
    ++closes;
    action = TForm::caNone;
  });
  TbsActiveSkinObject* button = w.Frame->Object("sysmenuanimate");
  ASSERT_TRUE(button);
  w.Activate(true);
  w.MoveTo(button->ObjectRect.center());
  ASSERT_EQ(w.Frame->Object(w.Frame->HoverIndex()), button);
  w.Form->SendMessage(WM_NCLBUTTONDBLCLK, HTOBJECT, w.At(button->ObjectRect.center()));
  EXPECT_EQ(closes, 1);
}

} // namespace
