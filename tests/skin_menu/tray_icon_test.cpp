// The tray icon against an in-memory notification area: tips, click versus
// double click, the tray menu, animation, and hiding the windows to the tray.
#include "menu_support.h"
#include "skin/tray_icon.h"
#include "toolkit/form_reader.h"
#include "toolkit/std_controls.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

class TrayIcon : public testing::Test {
protected:
  void SetUp() override
  {
    SetTrayAreaFactory([this] {
      auto area = std::make_unique<TTrayAreaMemory>();
      area->available = available_;
      area_ = area.get();
      return std::unique_ptr<TTrayArea>(std::move(area));
    });
    TbsSkinMenu::SetCursorSource([] { return QPoint(300, 300); });
    main_ = new MenuHostForm();
    main_->SetBounds(50, 60, 200, 150);
    Application->SetMainForm(main_);
    tray_ = new TbsTrayIcon(main_);
    tray_->SetOnClick([this](TObject*) { events_ << "click"; });
    tray_->SetOnDblClick([this](TObject*) { events_ << "dblclick"; });
  }
  void TearDown() override
  {
    Application->SetMainForm(nullptr);
    TComponent::Free(main_);
    SetTrayAreaFactory(nullptr);
    TbsSkinMenu::SetCursorSource(nullptr);
    QCoreApplication::processEvents();
  }
  TTrayAreaMemory* Area()
  {
    tray_->Area();
    return area_;
  }
  static QImage Colored(QColor c)
  {
    QImage i(16, 16, QImage::Format_RGB32);
    i.fill(c);
    return i;
  }

  bool available_ = true;
  TTrayAreaMemory* area_ = nullptr;
  MenuHostForm* main_ = nullptr;
  TbsTrayIcon* tray_ = nullptr;
  QStringList events_;
};

TEST_F(TrayIcon, TipIsTheHintCutTo127Characters)
{
  tray_->SetIconVisible(true);
  tray_->SetHint(QString(200, QChar(u'广')));
  EXPECT_EQ(Area()->tip, QString(127, QChar(u'广')));
  tray_->SetHint(QStringLiteral("Velmora网络广播电视"));
  EXPECT_EQ(area_->tip, QStringLiteral("Velmora网络广播电视"));
  tray_->SetShowHint(false);
  EXPECT_EQ(area_->tip, QString());
  tray_->SetShowHint(true);
  tray_->SetHint(QString());
  EXPECT_EQ(area_->tip, QString());
  EXPECT_FALSE(area_->icon.isNull());
}

TEST_F(TrayIcon, ClickIsToldFromADoubleClickByTheDoubleClickTime)
{
  tray_->SetIconVisible(true);
  // A quick click: reported once the double-click time ran out without a second click.
  Area()->Act(TTrayMouseAction::LeftDown);
  Area()->Act(TTrayMouseAction::LeftUp);
  EXPECT_TRUE(events_.isEmpty());
  EXPECT_TRUE(tray_->ClickTimer().isActive());
  tray_->ClickTimerElapsed();
  EXPECT_EQ(events_, QStringList{"click"});

  // A double click: no click at all.
  events_.clear();
  area_->Act(TTrayMouseAction::LeftDown);
  area_->Act(TTrayMouseAction::LeftUp);
  area_->Act(TTrayMouseAction::LeftDoubleClick);
  tray_->ClickTimerElapsed();
  EXPECT_EQ(events_, QStringList{"dblclick"});

  // A slow click: the time runs out before the release, which reports it.
  events_.clear();
  area_->Act(TTrayMouseAction::LeftDown);
  tray_->ClickTimerElapsed();
  EXPECT_TRUE(events_.isEmpty());
  area_->Act(TTrayMouseAction::LeftUp);
  EXPECT_EQ(events_, QStringList{"click"});

  // Disabled: nothing.
  events_.clear();
  tray_->SetEnabled(false);
  area_->Act(TTrayMouseAction::LeftDoubleClick);
  EXPECT_TRUE(events_.isEmpty());
}

TEST_F(TrayIcon, RightButtonOpensTheTrayMenuAndADoubleClickRunsItsDefaultItem)
{
  auto* menu = new TbsSkinPopupMenu(main_);
  auto* restore = TMenuItem::Create("TRAY_BSF_RESTORE", QStringLiteral("恢复(&R)"), {},
                                    [this](TObject*) { events_ << "restore"; });
  restore->SetDefault(true);
  menu->Items()->Add(restore);
  menu->Items()->Add(TMenuItem::Create("N1", "-"));
  menu->Items()->Add(TMenuItem::Create("TRAY_BSF_CLOSE", QStringLiteral("关闭(&C)"), "Alt+F4"));
  tray_->SetPopupMenu(menu);
  tray_->SetIconVisible(true);
  Area()->Act(TTrayMouseAction::RightDown);
  ASSERT_TRUE(main_->SkinMenu()->IsOpen());
  EXPECT_EQ(menu->PopupComponent(), tray_);
  main_->SkinMenu()->CloseAll();
  area_->Act(TTrayMouseAction::LeftDoubleClick);
  EXPECT_EQ(events_, (QStringList{"dblclick", "restore"}));
}

TEST_F(TrayIcon, IconIndexFollowsTheImageList)
{
  auto* list = new TImageList(main_);
  list->AddImage(Colored(Qt::red));
  list->AddImage(Colored(Qt::green));
  tray_->SetIconList(list);
  tray_->SetIconIndex(7);
  EXPECT_EQ(tray_->IconIndex(), 1);
  EXPECT_EQ(tray_->Icon().pixmap(16, 16).toImage().pixelColor(3, 3), QColor(Qt::green));
  // Negative or an empty list select no image; the icon stays.
  tray_->SetIconIndex(-3);
  EXPECT_EQ(tray_->IconIndex(), 0);
  EXPECT_EQ(tray_->Icon().pixmap(16, 16).toImage().pixelColor(3, 3), QColor(Qt::green));
  list->Clear();
  tray_->SetIconIndex(1);
  EXPECT_EQ(tray_->IconIndex(), 0);
  EXPECT_FALSE(tray_->Icon().isNull());
}

TEST_F(TrayIcon, AnimationCyclesTheImagesAndNeedsAnInterval)
{
  auto* list = new TImageList(main_);
  for (QColor c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)}) list->AddImage(Colored(c));
  tray_->SetIconList(list);
  tray_->SetIconVisible(true);
  QList<int> next;
  tray_->SetOnCycle([&](TObject*, int n) { next << n; });
  tray_->SetCycleIcons(true);
  EXPECT_FALSE(tray_->AnimateTimer().isActive());
  tray_->SetAnimateTimerInterval(200);
  EXPECT_TRUE(tray_->AnimateTimer().isActive());
  EXPECT_EQ(tray_->AnimateTimer().interval(), 200);
  for (int i = 0; i < 4; ++i) tray_->AnimateTick();
  EXPECT_EQ(next, (QList<int>{1, 2, 0, 1}));
  EXPECT_EQ(Area()->icon.pixmap(16, 16).toImage().pixelColor(3, 3), QColor(Qt::red));
  tray_->SetAnimateTimerInterval(0);
  EXPECT_FALSE(tray_->AnimateTimer().isActive());
  tray_->SetAnimateTimerInterval(100);
  tray_->SetCycleIcons(false);
  EXPECT_FALSE(tray_->AnimateTimer().isActive());
}

TEST_F(TrayIcon, MinimizingWithMinimizeToTrayHidesTheWindowsAndRestoreBringsThemBack)
{
  TForm other(nullptr);
  other.SetBounds(0, 0, 100, 100);
  other.Show();
  main_->Show();
  tray_->SetIconVisible(false);
  tray_->SetMinimizeToTray(true);
  main_->Handle()->showMinimized();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_FALSE(main_->Visible());
  EXPECT_FALSE(other.Visible());
  EXPECT_TRUE(tray_->IconVisible());
  tray_->RestoreMainWindow();
  EXPECT_TRUE(main_->Visible());
  EXPECT_TRUE(other.Visible());
  EXPECT_FALSE(main_->Handle()->isMinimized());
}

TEST_F(TrayIcon, WithoutANotificationAreaNothingIsHidden)
{
  available_ = false;
  main_->Show();
  tray_->SetIconVisible(true);
  EXPECT_FALSE(tray_->IconVisible());
  EXPECT_FALSE(tray_->CanHideToTray());
  tray_->MinimizeMainToTray();
  EXPECT_TRUE(main_->Visible());
  EXPECT_FALSE(tray_->IconVisible());
  // The panel comes: the wanted icon goes in.
  area_->SetAvailable(true);
  EXPECT_TRUE(tray_->IconVisible());
  // It restarts: the icon is back after it.
  area_->SetAvailable(false);
  EXPECT_FALSE(tray_->IconVisible());
  const int shows = area_->showCalls;
  area_->SetAvailable(true);
  EXPECT_TRUE(tray_->IconVisible());
  EXPECT_GT(area_->showCalls, shows);
  tray_->SetIconVisible(false);
  area_->SetAvailable(false);
  area_->SetAvailable(true);
  EXPECT_FALSE(tray_->IconVisible());
}

TEST_F(TrayIcon, MinimizedOnStartKeepsTheMainFormHiddenAndShowsTheIcon)
{
  RegisterToolkitClasses();
  RegisterToolkitVisualClasses();
  RegisterSkinClasses();
  const bool showMainForm = Application->ShowMainForm;
  TComponent* root = ReadComponentText(QStringLiteral("object TrayForm: TForm\n"
                                                      "  object bsTrayIcon2: TbsTrayIcon\n"
                                                      "    IconVisible = False\n"
                                                      "    MinimizeToTray = False\n"
                                                      "    MinimizedOnStart = True\n"
                                                      "  end\n"
                                                      "end\n"),
                                       "tray.vfm");
  auto* tray = qobject_cast<TbsTrayIcon*>(root->FindComponent("bsTrayIcon2"));
  ASSERT_NE(tray, nullptr);
  EXPECT_FALSE(Application->ShowMainForm);
  EXPECT_TRUE(tray->MinimizeToTray());
  EXPECT_TRUE(tray->IconVisible());
  EXPECT_TRUE(area_->Shown());
  Application->ShowMainForm = showMainForm;
  TComponent::Free(root);
}

} // namespace
