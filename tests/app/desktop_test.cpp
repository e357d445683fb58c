// The program on a desktop of its own, driven by synthetic input: docking at
// the top edge, placements out of reach, the end of a session, a second
// start, the status-bar link without a browser.
#include "browser/site_addresses.h"
#include "desktop_session.h"
#include "skin_form/skinned_window.h"
#include "support/qt_printers.h"
#include "toolkit/ini_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>
#include <iostream>

namespace {

constexpr int kHeight = 400;
constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

class DesktopTest : public ::testing::TestWithParam<bool> {
protected:
  void SetUp() override
  {
    desktop = std::make_unique<TDesktop>(GetParam());
    ASSERT_TRUE(desktop->Ok()) << desktop->Error().toStdString();
    program = std::make_unique<TProgram>(*desktop);
  }
  void TearDown() override
  {
    // What the program said (QT_LOGGING_RULES="velmora.window.debug=true" adds
    // every position report and docking step).
    if (HasFailure() || qEnvironmentVariableIsSet("VELMORA_TEST_SHOW_OUTPUT")) {
      program->End(SIGTERM, 10000);  // all it wrote is read once it has ended
      std::cerr << "program output:\n" << program->Output().toStdString() << std::endl;
    }
    program.reset();
    desktop.reset();
  }

  // The main window as shown now (docking may give it a new window id).
  QRect Geometry() const
  {
    const QStringList ids = desktop->VisibleWindows(kMainCaption);
    return desktop->Geometry(ids.isEmpty() ? program->Window() : ids.last());
  }
  bool WaitForTop(int top, int timeoutMs = kReadyMs) const
  {
    return WaitFor([&] {
      const QRect r = Geometry();
      return !r.isNull() && r.top() == top;
    }, timeoutMs);
  }
  // Shown at the top edge: the client area starts at the screen's top, or
  // below the manager's title bar.
  bool WaitUntilShownAtTheEdge() const
  {
    return WaitFor([&] {
      const QRect r = Geometry();
      return !r.isNull() && r.top() >= 0 && r.top() < 40;
    }, kReadyMs);
  }
  // Shown where `top` says and, with a manager, taken on by it (framed and
  // placed): a press that comes earlier may reach a window still being mapped.
  bool WaitUntilSettledAt(int top) const
  {
    return WaitFor([&] {
      const QStringList ids = desktop->VisibleWindows(kMainCaption);
      return !ids.isEmpty() && desktop->Geometry(ids.last()).top() == top && desktop->TakenOnByManager(ids.last());
    }, kReadyMs);
  }
  TMemIniFile Saved() const
  {
    return TMemIniFile(QString::fromUtf8(program->Settings()).split('\n'));
  }

  std::unique_ptr<TDesktop> desktop;
  std::unique_ptr<TProgram> program;
};

TEST_P(DesktopTest, DockedWindowSlidesAwayAndComesBackOverTheStrip)
{
  program->WriteSettings("[main]\nleft=300\ntop=0\nheight=400\nFormTop=0\n");
  desktop->MovePointer(900, 700);
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  EXPECT_EQ(desktop->WindowName(program->Window()), kMainCaption) << "the caption alone, nothing appended";

  // The mouse is away: within a second or two only the bottom 5 pixels stay on screen.
  ASSERT_TRUE(WaitForTop(5 - kHeight)) << "top " << Geometry().top();
  EXPECT_EQ(Geometry().left(), 300);

  // The strip at the screen's top edge brings the window back; away again, it slides up again.
  desktop->MovePointer(400, 2);
  ASSERT_TRUE(WaitUntilShownAtTheEdge()) << "top " << Geometry().top();
  desktop->MovePointer(900, 700);
  ASSERT_TRUE(WaitForTop(5 - kHeight)) << "top " << Geometry().top();

  // Ended while slid away, the next start opens slid away and the strip still works.
  ASSERT_TRUE(program->End(SIGTERM));
  EXPECT_EQ(Saved().ReadInteger("main", "top", 0), 5 - kHeight);
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  ASSERT_TRUE(WaitForTop(5 - kHeight)) << "top " << Geometry().top();
  desktop->MovePointer(400, 0);
  ASSERT_TRUE(WaitUntilShownAtTheEdge()) << "top " << Geometry().top();
  if (!GetParam()) {
    ASSERT_TRUE(program->End(SIGTERM));
    return;
  }

  // A busy manager lets the window go only after it has slid away (it then
  // puts the window at its frame's corner, the top edge): it stays out of sight.
  desktop->MovePointer(400, 100);
  ASSERT_TRUE(WaitUntilSettledAt(0)) << "top " << Geometry().top();
  desktop->PauseWindowManager(true);
  desktop->MovePointer(900, 700);
  const bool slid = WaitForTop(5 - kHeight);
  desktop->PauseWindowManager(false);
  ASSERT_TRUE(slid) << "top " << Geometry().top();
  EXPECT_TRUE(WaitFor([&] {
    const QStringList ids = desktop->VisibleWindows(kMainCaption);
    return !ids.isEmpty() && desktop->OnTheRootWindow(ids.last()) && desktop->Geometry(ids.last()).top() == 5 - kHeight;
  }, kReadyMs)) << "shown: " << desktop->VisibleWindows(kMainCaption).join(' ').toStdString() << ", top "
                 << Geometry().top();
  ASSERT_TRUE(program->End(SIGTERM));
}

// Where the main window's caption and tray button are, in window coordinates
// (the built-in skin at the designed size and border icons).
struct MainFrameSpots {
  QPoint Caption, TrayButton;
};
MainFrameSpots MainFrame()
{
  SkinnedWindow w;
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray);
  MainFrameSpots spots;
  spots.Caption = w.Frame->CaptionObject()->ObjectRect.center();
  spots.TrayButton = w.Frame->Object("trayanimate")->ObjectRect.center();
  return spots;
}

TEST_P(DesktopTest, DraggedWithinFourPixelsOfTheTopItDocksAtFiveItFloats)
{
  program->WriteSettings("[main]\nleft=300\ntop=100\nheight=400\nFormTop=0\n");
  desktop->MovePointer(900, 700);
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  ASSERT_TRUE(WaitUntilSettledAt(100)) << "top " << Geometry().top();
  const QPoint grip = MainFrame().Caption;

  // Released 4 pixels below the edge: snapped to it, docked, and it slides away once the mouse leaves.
  // A busy manager reports a step of the drag only after the window went on:
  // that is no move of the user's and the drop still docks.
  QPoint at = Geometry().topLeft() + grip;
  desktop->Drag(at, at + QPoint(40, 4 - 100), [&] {
    ASSERT_TRUE(WaitForTop(0)) << "top " << Geometry().top();
    // The drag's step before the last (it moves in sixths).
    desktop->SendPositionReport(program->Window(), QPoint(300 + 40 * 5 / 6, 100 - 96 * 5 / 6));
  });
  ASSERT_TRUE(WaitForTop(0)) << "top " << Geometry().top();
  EXPECT_EQ(Geometry().left(), 340);
  desktop->MovePointer(900, 700);
  ASSERT_TRUE(WaitForTop(5 - kHeight)) << "top " << Geometry().top();

  // Back over the strip, then dragged down to 5 pixels: it floats and stays when the mouse leaves.
  desktop->MovePointer(400, 1);
  ASSERT_TRUE(WaitUntilSettledAt(0)) << "top " << Geometry().top();
  at = Geometry().topLeft() + grip;
  desktop->Drag(at, at + QPoint(0, 5));
  ASSERT_TRUE(WaitForTop(5)) << "top " << Geometry().top();
  desktop->MovePointer(900, 700);
  EXPECT_FALSE(WaitForTop(5 - kHeight, 2500)) << "floating, it does not slide away";
  EXPECT_EQ(Geometry().top(), 5);
  ASSERT_TRUE(program->End(SIGTERM));
  EXPECT_EQ(Saved().ReadInteger("main", "top", 0), 5);
}

TEST_P(DesktopTest, ASecondStartBringsTheFirstWindowBackAndEnds)
{
  program->WriteSettings("[main]\nleft=300\ntop=-395\nheight=400\n");
  desktop->MovePointer(900, 700);
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  ASSERT_TRUE(WaitForTop(5 - kHeight));

  std::unique_ptr<QProcess> second = program->Launch();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second->exitCode(), 0) << second->readAll().toStdString();
  EXPECT_EQ(program->Process().state(), QProcess::Running);
  // The first window is back at the top edge, and it is the only one (the
  // second process has ended; the first may have made its window anew since
  // start-up, so its id is no proof).
  EXPECT_TRUE(WaitUntilShownAtTheEdge()) << "top " << Geometry().top();
  EXPECT_EQ(desktop->VisibleWindows(kMainCaption).size(), 1);
  ASSERT_TRUE(program->End(SIGTERM));
}

TEST(DesktopWithTray, ASecondStartBringsTheWindowOutOfTheNotificationArea)
{
  TDesktop desktop(true, true);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  const QString window = program.Start();
  ASSERT_FALSE(window.isEmpty()) << program.Output().toStdString();
  // Minimized by the window manager (asked again until it has taken the window on).
  ASSERT_TRUE(WaitFor([&] {
    desktop.XDoTool({"windowminimize", window});
    return desktop.VisibleWindows(kMainCaption).isEmpty();
  }, kReadyMs));

  std::unique_ptr<QProcess> second = program.Launch();
  ASSERT_TRUE(second->waitForFinished(20000));
  EXPECT_EQ(second->exitCode(), 0);
  EXPECT_TRUE(WaitFor([&] { return desktop.VisibleWindows(kMainCaption) == QStringList{window}; }, kReadyMs));
  // Back where it was; the skinned frame is the window's own, so no manager's
  // title bar pushes it down.
  EXPECT_TRUE(WaitFor([&] { return desktop.Geometry(window).top() == 100; }, kReadyMs))
      << "top " << desktop.Geometry(window).top();
  ASSERT_TRUE(program.End(SIGTERM));
}

TEST(DesktopWithoutSound, TheProgramRunsAndItsRecordWindowSaysItCannotRecord)
{
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  // No sound server to reach: ALSA's default mixer and capture device fail.
  program.Environment().insert("PULSE_SERVER", "unix:" + program.Folder() + "/no-sound-server");
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  const QString window = program.Start();
  ASSERT_FALSE(window.isEmpty()) << program.Output().toStdString();
  const QRect shown = desktop.Geometry(window);
  const QString record = OpenRecordWindow(desktop, shown);
  ASSERT_FALSE(record.isEmpty())
      << program.Output().toStdString()
      << (QProcess::execute("import", {"-display", desktop.Display(), "-window", "root", QStringLiteral(VELMORA_BINARY_DIR "/desktop_without_sound_failed.png")}), "");
  // Nothing else came up: no error box, no report.
  QStringList names;
  for (const QString& id : desktop.XDoTool({"search", "--onlyvisible", "--name", "."}).split('\n', Qt::SkipEmptyParts))
    if (const QString name = desktop.WindowName(id); !name.isEmpty() && !names.contains(name)) names << name;
  names.sort();
  EXPECT_EQ(names, QStringList({kMainCaption, kRecordCaption}));
  // The page is drawn by the CPU: no OpenGL driver (Mesa, LLVM) in the program.
  QFile maps(QStringLiteral("/proc/%1/maps").arg(program.Process().processId()));
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  const QByteArray mapped = maps.readAll();
  EXPECT_FALSE(mapped.contains("libGLX_mesa") || mapped.contains("/dri/") || mapped.contains("libLLVM"));
  EXPECT_EQ(desktop.Geometry(record).height(), 100);
  QProcess::execute("import", {"-display", desktop.Display(), "-window", record,
                               QStringLiteral(VELMORA_BINARY_DIR "/record_window_without_sound.png")});
  ASSERT_TRUE(program.End(SIGTERM));
  EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.Process().exitCode(), 0);
}

// The tray button with a notification area (trayer) and without one.
class DesktopTrayTest : public ::testing::TestWithParam<bool> {};

TEST_P(DesktopTrayTest, TheTrayButtonHidesTheWindowAndTheIconBringsItBackDockedAndWaiting)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  const bool trayHost = GetParam();
  TDesktop desktop(true, trayHost);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.WriteSettings("[main]\nleft=300\ntop=0\nheight=400\n");
  // The mouse over the window: it stays shown until the tray button is pressed.
  desktop.MovePointer(400, 100);
  const QString window = program.Start();
  ASSERT_FALSE(window.isEmpty()) << program.Output().toStdString();
  const auto shown = [&] {
    const QStringList ids = desktop.VisibleWindows(kMainCaption);
    return ids.isEmpty() ? QRect() : desktop.Geometry(ids.last());
  };
  const auto settledAtTheTop = [&] {
    const QStringList ids = desktop.VisibleWindows(kMainCaption);
    return !ids.isEmpty() && desktop.Geometry(ids.last()).top() == 0 && desktop.TakenOnByManager(ids.last());
  };
  ASSERT_TRUE(WaitFor(settledAtTheTop, kReadyMs)) << "top " << shown().top();
  const QPoint button = shown().topLeft() + MainFrame().TrayButton;

  if (!trayHost) {
    // Nowhere to come back from: the window stays.
    desktop.Click(button.x(), button.y());
    EXPECT_FALSE(WaitFor([&] { return shown().isNull(); }, 1500));
    ASSERT_TRUE(program.End(SIGTERM));
    return;
  }
  // Each try comes in from outside, as a hand would (a window just mapped
  // may miss a first click).
  ASSERT_TRUE(WaitFor([&] {
    desktop.MovePointer(button.x() + 60, button.y() + 60);
    desktop.Click(button.x(), button.y());
    return WaitFor([&] { return shown().isNull(); }, 3000);
  }, kReadyMs)) << "hidden to the tray";
  QRect icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = desktop.TrayIcon(QStringLiteral("velmora"))).isNull(); }, kReadyMs));
  ASSERT_TRUE(WaitFor([&] {
    desktop.DoubleClick(icon.center().x(), icon.center().y());
    return WaitFor([&] { return !shown().isNull(); }, 3000);
  }, kReadyMs)) << "back from the tray";
  // Back at the top edge, and it waits for the mouse before sliding away again.
  ASSERT_TRUE(WaitFor([&] { return shown().top() == 0; }, kReadyMs)) << "top " << shown().top();
  EXPECT_FALSE(WaitFor([&] { return shown().top() < 0; }, 2500)) << "top " << shown().top();
  // Once the wait has seen the mouse (it looks once a second) it hands over
  // to the auto-hide check: near, then away, until the window slides away.
  EXPECT_TRUE(WaitFor([&] {
    desktop.MovePointer(400, 100);
    QThread::msleep(1500);
    desktop.MovePointer(900, 700);
    return WaitFor([&] { return shown().top() == 5 - kHeight; }, 3000);
  }, kReadyMs)) << "top " << shown().top();
  ASSERT_TRUE(program.End(SIGTERM));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutTrayHost, DesktopTrayTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "trayer" : "none"; });

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, DesktopTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "openbox" : "bare"; });

// Settings and the session's end need no window manager.
class ProgramTest : public DesktopTest {};

TEST_P(ProgramTest, PlacementsOutOfReachOpenOnTheScreenAndAreSavedAsShown)
{
  struct Case {
    QByteArray Ini;
  };
  const Case cases[] = {
      // Damaged bytes too: every line stays, the unreadable one byte for byte.
      {"[main]\nleft=99999\n\xff\xfe=\x80\x81\nnote=kept\ntop=99999\nheight=99999\n"},
      {"[main]\nleft=-99999\ntop=-99999\nheight=0\n"},
      {"[main]\nleft=2000\ntop=300\nheight=-5\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Ini.toStdString());
    program->WriteSettings(c.Ini);
    ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
    const QRect shown = Geometry();
    EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).intersects(shown)) << shown.x() << "," << shown.y();
    EXPECT_GE(shown.height(), 1);
    EXPECT_LE(shown.height(), kScreenHeight);
    ASSERT_TRUE(program->End(SIGTERM));
    EXPECT_EQ(program->Process().exitCode(), 0) << program->Output().toStdString();
    const QByteArray saved = program->Settings();
    const TMemIniFile ini(QString::fromUtf8(saved).split('\n'));
    EXPECT_EQ(ini.ReadInteger("main", "left", -1), shown.left());
    EXPECT_EQ(ini.ReadInteger("main", "height", -1), shown.height());
    if (shown.top() > 0) {
      EXPECT_EQ(ini.ReadInteger("main", "top", -1), shown.top());
    }
    EXPECT_FALSE(saved.contains("\xef\xbf\xbd")) << "no replacement characters";
    if (c.Ini.contains("note")) {
      EXPECT_TRUE(saved.contains("note=kept")) << saved.toStdString();
      EXPECT_TRUE(saved.contains("\n\xff\xfe=\x80\x81\n")) << saved.toStdString();
    }
  }
}

TEST_P(ProgramTest, OneConfigurationFolderIsMadeAndReadAndAFailedSaveNeverHoldsUpTheSessionEnd)
{
  // Settings cannot be written: where the file should be stands a folder.
  ASSERT_TRUE(QDir(program->Folder()).mkdir("mainform.ini"));
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  EXPECT_TRUE(QFileInfo(program->ConfigHome() + "/Velmora").isDir());
  EXPECT_FALSE(QFileInfo::exists(program->ConfigHome() + "/Velmora/Velmora"));
  ASSERT_TRUE(program->End(SIGHUP, 15000)) << "a message box waits for a user who has logged out";
  EXPECT_EQ(program->Process().exitCode(), 0);
  EXPECT_TRUE(program->Output().contains("mainform.ini")) << program->Output().toStdString();

  // The user's own stations in the documented folder reach the station directory.
  QFile stations(program->ConfigHome() + "/Velmora/stations.txt");
  ASSERT_TRUE(stations.open(QIODevice::WriteOnly));
  stations.write("测试电台 | http://127.0.0.1:9/stream\n");
  stations.close();
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  QProcess tool;
  tool.setProcessEnvironment(program->Environment());
  tool.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"), {"stations"});
  ASSERT_TRUE(tool.waitForFinished(30000));
  EXPECT_TRUE(tool.readAllStandardOutput().contains("测试电台"));
  // Only the program's own page reads them from its server; any other program is refused.
  const QByteArray list = program->FetchFromOwnServer("/qq/stations.json");
  EXPECT_TRUE(list.startsWith("HTTP/1.1 403")) << list.toStdString();
  EXPECT_FALSE(list.contains("测试电台"));
  program->End(SIGKILL);
}

TEST_P(ProgramTest, TheStatusBarLinkWithoutABrowserSaysSoInTheWindow)
{
  if (MakerSiteAddress().isEmpty())
    GTEST_SKIP() << "this build names no maker's site: the link opens nothing (MainWindowTest covers it)";
  // No browser the desktop could find.
  program->Environment().insert("PATH", program->Folder() + "/no-tools");
  for (const char* name : {"BROWSER", "DEFAULT_BROWSER", "XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION", "DESKTOP_SESSION"})
    program->Environment().remove(name);
  program->WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  ASSERT_FALSE(program->Start().isEmpty()) << program->Output().toStdString();
  const QRect shown = Geometry();
  // The link fills the status bar right of its label. Each try comes in from
  // outside (a window just mapped may miss a first click).
  ASSERT_TRUE(WaitFor([&] {
    desktop->MovePointer(shown.left() - 20, shown.bottom() + 20);
    desktop->Click(shown.left() + 180, shown.bottom() - 9);
    return WaitFor([&] { return !desktop->VisibleWindows(QStringLiteral("Velmora网络广播")).isEmpty(); }, 3000);
  }, kReadyMs)) << program->Output().toStdString();
  // The box waits for the user, the session's end does not.
  ASSERT_TRUE(program->End(SIGTERM, 15000));
  EXPECT_EQ(program->Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program->Process().exitCode(), 0);
}

INSTANTIATE_TEST_SUITE_P(WithoutWindowManager, ProgramTest, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool>&) { return "bare"; });

} // namespace
