// The tray icon on a real X display: docked in a real panel (trayer), a
// double click through the X server, the panel restarting, and no panel at
// all. Runs only on the xcb platform (see CMakeLists.txt: its own Xvfb).
#include "menu_support.h"
#include "skin/skin_popup_window.h"
#include "skin/tray_icon.h"
#include "support/pump.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMap>
#include <QProcess>
#include <QSystemTrayIcon>
#include <gtest/gtest.h>

namespace {

// The deadline of a wait for something that will happen: generous, the
// machine may be busy (a wait ends as soon as it holds).
constexpr int kReadyMs = 20000;

// The centre of this program's shown window of the icon's size, in screen
// coordinates (Qt knows the docked icon's place only inside the panel).
QPoint IconWindowCentre(QSize size)
{
  QProcess search;
  search.start("xdotool", {"search", "--onlyvisible", "--pid", QString::number(QCoreApplication::applicationPid())});
  search.waitForFinished(5000);
  for (const QByteArray& id : search.readAllStandardOutput().split('\n')) {
    if (id.trimmed().isEmpty()) continue;
    QProcess geometry;
    geometry.start("xdotool", {"getwindowgeometry", "--shell", QString::fromLatin1(id.trimmed())});
    geometry.waitForFinished(5000);
    QMap<QString, int> v;
    for (const QByteArray& line : geometry.readAllStandardOutput().split('\n')) {
      const QList<QByteArray> kv = line.split('=');
      if (kv.size() == 2) v[QString::fromLatin1(kv[0])] = kv[1].toInt();
    }
    if (v.value("WIDTH") == size.width() && v.value("HEIGHT") == size.height())
      return QPoint(v.value("X") + size.width() / 2, v.value("Y") + size.height() / 2);
  }
  return QPoint(-1, -1);
}

class TrayDesktop : public testing::Test {
protected:
  void SetUp() override
  {
    if (QGuiApplication::platformName() != "xcb") GTEST_SKIP() << "needs an X display: the ctest test skin_menu_desktop runs this on its own Xvfb with a panel";
    main_ = new MenuHostForm();
    main_->SetBounds(100, 100, 240, 160);
    Application->SetMainForm(main_);
    main_->Show();
  }
  void TearDown() override
  {
    Application->SetMainForm(nullptr);
    TComponent::Free(main_);
    StopPanel();
  }
  bool StartPanel()
  {
    panel_ = std::make_unique<QProcess>();
    panel_->start("trayer", {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "100",
                             "--height", "24"});
    return panel_->waitForStarted(5000) && PumpUntil([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
  }
  void StopPanel()
  {
    if (!panel_) return;
    panel_->kill();
    panel_->waitForFinished(5000);
    panel_.reset();
  }

  MenuHostForm* main_ = nullptr;
  std::unique_ptr<QProcess> panel_;
};

TEST_F(TrayDesktop, WithoutAPanelTheWindowIsNeverHidden)
{
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "a notification area is already running";
  auto* tray = new TbsTrayIcon(main_);
  tray->SetIconVisible(true);
  EXPECT_FALSE(tray->IconVisible());
  tray->SetMinimizeToTray(true);
  main_->Handle()->showMinimized();
  ASSERT_TRUE(PumpUntil([&] { return !main_->Handle()->isMinimized(); }, kReadyMs));
  EXPECT_TRUE(main_->Visible());
  EXPECT_TRUE(main_->Handle()->isVisible());
  EXPECT_FALSE(tray->IconVisible());
}

TEST_F(TrayDesktop, DocksInARealPanelAnswersADoubleClickAndComesBackAfterARestart)
{
  ASSERT_TRUE(StartPanel()) << "trayer did not start";
  auto* tray = new TbsTrayIcon(main_);
  tray->SetHint(QStringLiteral("Velmora网络广播电视"));
  int doubleClicks = 0, clicks = 0;
  tray->SetOnDblClick([&](TObject*) { ++doubleClicks; });
  tray->SetOnClick([&](TObject*) { ++clicks; });
  auto* menu = new TbsSkinPopupMenu(main_);
  menu->Items()->Add(TMenuItem::Create("TRAY_BSF_RESTORE", QStringLiteral("恢复(&R)")));
  tray->SetPopupMenu(menu);
  tray->SetMinimizeToTray(true);
  tray->MinimizeMainToTray();
  EXPECT_FALSE(main_->Visible());
  ASSERT_TRUE(PumpUntil([&] { return tray->Area()->Geometry().width() > 0; }, kReadyMs)) << "the icon did not dock";
  EXPECT_TRUE(tray->IconVisible());

  const QPoint c = IconWindowCentre(tray->Area()->Geometry().size());
  ASSERT_NE(c, QPoint(-1, -1)) << "no icon window of this program on the screen";
  QProcess::execute("xdotool", {"mousemove", QString::number(c.x()), QString::number(c.y())});
  // The icon sees the pointer arrive before the clicks.
  PumpUntil([] { return false; }, 300);
  QProcess::execute("xdotool", {"click", "--repeat", "2", "--delay", "60", "1"});
  ASSERT_TRUE(PumpUntil([&] { return doubleClicks > 0; }, kReadyMs));
  // A double click is no click, even after the double-click time.
  PumpUntil([] { return false; }, tray->ClickTimer().interval() + 100);
  EXPECT_EQ(clicks, 0);
  // A single click is told once that time has passed.
  QProcess::execute("xdotool", {"click", "1"});
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }, kReadyMs));
  EXPECT_EQ(doubleClicks, 1);
  // The right button opens the tray menu by the icon, inside the screen.
  QProcess::execute("xdotool", {"click", "3"});
  ASSERT_TRUE(PumpUntil([&] { return main_->SkinMenu()->IsOpen(); }, kReadyMs));
  const QRect level = main_->SkinMenu()->Level(0)->BoundsRect();
  EXPECT_TRUE(QGuiApplication::primaryScreen()->geometry().contains(level));
  EXPECT_LE((level.center() - c).manhattanLength(), level.width() + level.height());
  main_->SkinMenu()->CloseAll();
  tray->RestoreMainWindow();
  EXPECT_TRUE(main_->Visible());

  // The panel goes away and a new one starts: the icon docks in it again.
  StopPanel();
  ASSERT_TRUE(PumpUntil([] { return !QSystemTrayIcon::isSystemTrayAvailable(); }, kReadyMs));
  ASSERT_TRUE(StartPanel());
  EXPECT_TRUE(PumpUntil([&] { return tray->IconVisible() && tray->Area()->Geometry().width() > 0; }, kReadyMs));
}

} // namespace
