// What a new user meets, on a desktop of its own (Xvfb, openbox, trayer):
// the main window sized and placed, stay-on-top at the next start, hints on
// the caption buttons, the record window's place; closing the main window
// during a recording, error reports in the skinned box; --help and --version.
#include "audio/audio_test_util.h"
#include "desktop_session.h"
#include "skin_form/skinned_window.h"
#include "toolkit/ini_file.h"

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int kScreenWidth = 1280, kScreenHeight = 1024;

// The main window's frame with the built-in skin: margins and caption buttons
// (window coordinates).
struct MainFrameSpots {
  QMargins Margins;
  QPoint Caption, Close, Tray;
};
MainFrameSpots MainFrame()
{
  SkinnedWindow w;
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray);
  return {w.Form->NonClientMargins(), w.Frame->CaptionObject()->ObjectRect.center(),
          w.Frame->Object("CloseAnimate")->ObjectRect.center(), w.Frame->Object("trayanimate")->ObjectRect.center()};
}
// The smallest main window: its frame with the tool bar and the status bar
// (the built-in skin makes them 30 and 23 pixels high).
int MinimumMainHeight()
{
  const QMargins m = MainFrame().Margins;
  return m.top() + m.bottom() + 30 + 23;
}

// A tool tip of the program is shown.
bool ToolTipShown(const TDesktop& desktop)
{
  for (const QString& id : desktop.XDoTool({"search", "--onlyvisible", "--class", "velmora"}).split('\n', Qt::SkipEmptyParts))
    if (desktop.XProp({"-id", id, "_NET_WM_WINDOW_TYPE"}).contains("_NET_WM_WINDOW_TYPE_TOOLTIP")) return true;
  return false;
}

QRect MainWindow(const TDesktop& desktop, const TProgram& program)
{
  const QStringList ids = desktop.VisibleWindows(kMainCaption);
  return desktop.Geometry(ids.isEmpty() ? program.Window() : ids.last());
}

void Screenshot(const TDesktop& desktop, const char* name)
{
  QProcess::execute("import", {"-display", desktop.Display(), "-window", "root",
                               QStringLiteral(VELMORA_BINARY_DIR "/%1.png").arg(QLatin1String(name))});
}

TEST(FirstUse, TheMainWindowKeepsItsBarsOpensWholeComesBackOnTopAndTheRecordWindowWhereItWas)
{
  TDesktop desktop(true);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  const MainFrameSpots frame = MainFrame();
  const int minimum = MinimumMainHeight();
  const auto settledAt = [&](int top) {
    return WaitFor([&] {
      const QStringList ids = desktop.VisibleWindows(kMainCaption);
      return !ids.isEmpty() && desktop.Geometry(ids.last()).top() == top && desktop.TakenOnByManager(ids.last());
    }, kReadyMs);
  };

  // Left on top: it comes back on top.
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\nFormTop=1\n");
  desktop.MovePointer(900, 700);
  ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();
  ASSERT_TRUE(settledAt(100)) << program.Output().toStdString();
  const auto above = [&] {
    const QStringList ids = desktop.VisibleWindows(kMainCaption);
    return !ids.isEmpty() && desktop.XProp({"-id", ids.last(), "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE");
  };
  EXPECT_TRUE(WaitFor(above, 5000)) << "FormTop=1 is restored";

  // The caption buttons have hints; the tray button has one too, saying it
  // cannot work on a desktop without a notification area.
  for (QPoint spot : {frame.Close, frame.Tray}) {
    EXPECT_TRUE(WaitFor([&] {
      const QPoint p = MainWindow(desktop, program).topLeft() + spot;
      desktop.MovePointer(p.x() - 30, p.y() + 80);
      WaitFor([&] { return !ToolTipShown(desktop); }, 3000);
      desktop.MovePointer(p.x(), p.y());
      return WaitFor([&] { return ToolTipShown(desktop); }, 3000);
    }, 15000)) << "no hint at " << spot.x() << "," << spot.y();
  }

  // Sized by its bottom edge up to nothing: it keeps its caption and both bars.
  QRect shown = MainWindow(desktop, program);
  desktop.Drag(QPoint(shown.left() + 100, shown.top() + shown.height() - 2), QPoint(shown.left() + 100, shown.top() + 3));
  EXPECT_TRUE(WaitFor([&] { return MainWindow(desktop, program).height() == minimum; }, 5000))
      << "height " << MainWindow(desktop, program).height() << ", smallest " << minimum;
  shown = MainWindow(desktop, program);
  ASSERT_TRUE(program.End(SIGTERM));
  TMemIniFile saved(QString::fromUtf8(program.Settings()).split('\n'));
  EXPECT_EQ(saved.ReadInteger("main", "height", -1), shown.height());

  // Stored sizes and places that would break the window: it opens whole on the
  // screen, as tall as its bars at least, and what it showed is saved.
  for (const char* ini : {"[main]\nleft=300\ntop=200\nheight=0\n", "[main]\nleft=300\ntop=200\nheight=-50\n",
                          "[main]\nleft=300\ntop=200\nheight=99999\n"}) {
    SCOPED_TRACE(ini);
    program.WriteSettings(ini);
    ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();
    QRect placed;
    EXPECT_TRUE(WaitFor([&] {
      placed = MainWindow(desktop, program);
      return !placed.isNull() && QRect(0, 0, kScreenWidth, kScreenHeight).contains(placed) && placed.height() >= minimum;
    }, kReadyMs)) << placed.x() << "," << placed.y() << " " << placed.width() << "x" << placed.height();
    EXPECT_FALSE(above()) << "no FormTop: not on top";
    ASSERT_TRUE(program.End(SIGTERM));
    const TMemIniFile ini2(QString::fromUtf8(program.Settings()).split('\n'));
    EXPECT_EQ(ini2.ReadInteger("main", "top", -1), placed.top());
    EXPECT_EQ(ini2.ReadInteger("main", "height", -1), placed.height());
  }

  // The record window, moved by its caption, opens there at the next start.
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();
  ASSERT_TRUE(settledAt(100));
  QString record = OpenRecordWindow(desktop, MainWindow(desktop, program));
  ASSERT_FALSE(record.isEmpty()) << program.Output().toStdString();
  const QRect first = desktop.Geometry(record);
  const QPoint grip = first.topLeft() + QPoint(first.width() / 2, frame.Caption.y());
  QRect moved;
  ASSERT_TRUE(WaitFor([&] {
    const QRect now = desktop.Geometry(desktop.VisibleWindows(kRecordCaption).value(0));
    desktop.Drag(now.topLeft() + (grip - first.topLeft()), now.topLeft() + (grip - first.topLeft()) + QPoint(-150, 120));
    return WaitFor([&] {
      moved = desktop.Geometry(desktop.VisibleWindows(kRecordCaption).value(0));
      return moved.topLeft() != first.topLeft();
    }, 2000);
  }, kReadyMs));
  QThread::msleep(300);
  moved = desktop.Geometry(desktop.VisibleWindows(kRecordCaption).value(0));
  ASSERT_TRUE(program.End(SIGTERM));
  const TMemIniFile kept(QString::fromUtf8(program.Settings()).split('\n'));
  EXPECT_EQ(QPoint(kept.ReadInteger("record", "left", -1), kept.ReadInteger("record", "top", -1)), moved.topLeft());
  ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();
  ASSERT_TRUE(settledAt(100));
  record = OpenRecordWindow(desktop, MainWindow(desktop, program));
  ASSERT_FALSE(record.isEmpty()) << program.Output().toStdString();
  EXPECT_TRUE(WaitFor([&] { return desktop.Geometry(record).topLeft() == moved.topLeft(); }, 5000))
      << desktop.Geometry(record).x() << "," << desktop.Geometry(record).y();
  ASSERT_TRUE(program.End(SIGTERM));
}

// The record window's buttons and list in its client area (its description).
constexpr QPoint kSelectFile(64, 20), kRec(301, 20);
const QString kDialogCaption = QStringLiteral("指定录音文件保存的目录和文件名");

TEST(FirstUseRecording, ClosingTheMainWindowDuringARecordingAsksAndErrorsComeInTheSkinnedBox)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  TDesktop desktop(true, true);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();
  ASSERT_TRUE(WaitFor([&] { return MainWindow(desktop, program).top() == 100; }, kReadyMs));
  const QString record = OpenRecordWindow(desktop, MainWindow(desktop, program));
  ASSERT_FALSE(record.isEmpty()) << program.Output().toStdString();
  const QRect recordShown = desktop.Geometry(record);
  SkinnedWindow recordFrame(BuiltinSkinBlock(), TForm::bsDialog, QSize(428, 100));
  const QPoint client = recordShown.topLeft() + QPoint(recordFrame.Form->NonClientMargins().left(),
                                                       recordFrame.Form->NonClientMargins().top());
  const auto click = [&](QPoint p) {
    desktop.MovePointer(client.x() + p.x() - 30, client.y() + p.y() + 40);
    desktop.Click(client.x() + p.x(), client.y() + p.y());
  };
  const auto choose = [&](const QString& file) {
    QStringList dialog;
    EXPECT_TRUE(WaitFor([&] {
      click(kSelectFile);
      return WaitFor([&] { return !(dialog = desktop.VisibleWindows(kDialogCaption)).isEmpty(); }, 2000);
    }, kReadyMs));
    if (dialog.isEmpty()) return;
    desktop.TypeInto(dialog.first(), file);
    desktop.Keys({"Return"});
    EXPECT_TRUE(WaitFor([&] { return desktop.VisibleWindows(kDialogCaption).isEmpty(); }, 5000));
  };
  const auto box = [&](const QString& caption) {
    QStringList ids;
    WaitFor([&] { return !(ids = desktop.VisibleWindows(caption)).isEmpty(); }, 5000);
    return ids.value(0);
  };

  // A file that cannot be created: the skinned box says so (no frame of the
  // manager's, no maximize button), within the screen.
  choose("/proc/velmora-cannot-create.mp3");
  click(kRec);
  const QString error = box(QStringLiteral("错误"));
  ASSERT_FALSE(error.isEmpty()) << (Screenshot(desktop, "first_use_no_error_box"), program.Output().toStdString());
  // Motif hints: decorations valid (flags 0x2) and none (the third field).
  const QString hints = desktop.XProp({"-id", error, "_MOTIF_WM_HINTS"});
  EXPECT_TRUE(QRegularExpression(QStringLiteral("= 0x2, 0x[0-9a-f]+, 0x0,")).match(hints).hasMatch()) << hints.toStdString();
  EXPECT_TRUE(QRect(0, 0, kScreenWidth, kScreenHeight).contains(desktop.Geometry(error)));
  desktop.XDoTool({"windowfocus", "--sync", error});
  desktop.Keys({"Return"});
  ASSERT_TRUE(WaitFor([&] { return desktop.VisibleWindows(QStringLiteral("错误")).isEmpty(); }, 5000));

  // A recording; the bit-rate list looks disabled while it runs.
  const QString file = program.Folder() + "/close.mp3";
  choose(file);
  const QRect combo(client + QPoint(136, 11), QSize(120, 20));
  const auto comboPicture = [&] {
    QProcess p;
    p.start("import", {"-display", desktop.Display(), "-window", "root", "png:-"});
    p.waitForFinished(10000);
    return QImage::fromData(p.readAllStandardOutput(), "PNG").copy(combo);
  };
  desktop.MovePointer(900, 900);
  const QImage idle = comboPicture();
  ASSERT_FALSE(idle.isNull());
  click(kRec);
  ASSERT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 8000; }, 20000)) << (Screenshot(desktop, "first_use_not_recording"), "");
  desktop.MovePointer(900, 900);
  EXPECT_NE(comboPicture(), idle) << "the list looks as it did before the recording";

  // The main window's close button: the question, in the skinned box. A
  // click on its body, then N: everything keeps running.
  const QPoint close = MainWindow(desktop, program).topLeft() + MainFrame().Close;
  desktop.Click(close.x(), close.y());
  QString question = box(QStringLiteral("警告"));
  ASSERT_FALSE(question.isEmpty()) << (Screenshot(desktop, "first_use_no_question"), program.Output().toStdString());
  const QRect asked = desktop.Geometry(question);
  desktop.Click(asked.left() + 20, asked.top() + asked.height() / 2);
  desktop.Keys({"n"});
  ASSERT_TRUE(WaitFor([&] { return desktop.VisibleWindows(QStringLiteral("警告")).isEmpty(); }, 5000))
      << (Screenshot(desktop, "first_use_question_stays"), "");
  EXPECT_EQ(program.Process().state(), QProcess::Running);
  EXPECT_FALSE(MainWindow(desktop, program).isNull());
  const qint64 size = QFileInfo(file).size();
  EXPECT_TRUE(WaitFor([&] { return QFileInfo(file).size() > size; }, 5000)) << "the recording goes on";

  // The tray menu's "关闭" asks too; Yes ends the program with the file finished.
  QRect icon;
  ASSERT_TRUE(WaitFor([&] { return !(icon = desktop.TrayIcon(QStringLiteral("velmora"))).isNull(); }, kReadyMs));
  const qint64 pid = program.Process().processId();
  ASSERT_TRUE(WaitFor([&] {
    const QRect menu = desktop.OpenContextMenu(icon.center(), pid, 120);
    if (menu.isNull()) return false;
    // "恢复", a separator, "关闭": the last item.
    desktop.Click(menu.center().x(), menu.bottom() - 12);
    return !(question = box(QStringLiteral("警告"))).isEmpty();
  }, kReadyMs)) << (Screenshot(desktop, "first_use_tray_close"), "");
  desktop.XDoTool({"windowfocus", "--sync", question});
  desktop.Keys({"y"});
  ASSERT_TRUE(program.Process().waitForFinished(15000)) << (Screenshot(desktop, "first_use_still_running"), "");
  EXPECT_EQ(program.Process().exitCode(), 0);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_EQ(d.Album, "Velmora 广播节目");
}

TEST(FirstUse, HelpAndVersionPrintAndEndWithoutStartingTheProgram)
{
  for (const char* option : {"--help", "--version"}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");  // nothing it prints needs a display
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VELMORA_BINARY_DIR "/app/velmora"), {option});
    ASSERT_TRUE(p.waitForFinished(10000)) << option;
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << option;
    EXPECT_EQ(p.exitCode(), 0) << option << p.readAllStandardError().toStdString();
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    if (QLatin1String(option) == QLatin1String("--help"))
      EXPECT_TRUE(out.contains("--version") && out.contains("用法")) << out.toStdString();
    else
      EXPECT_TRUE(QRegularExpression(QStringLiteral("^velmora \\d+\\.\\d+\\.\\d+\n$")).match(out).hasMatch()) << out.toStdString();
  }
}

// A closed remote session leaves DISPLAY naming a server that is gone: the
// program and the tool's window command say so and end, instead of Qt's abort.
TEST(FirstUse, WithoutADisplayTheProgramSaysSoAndEnds)
{
  int unused = 90;
  while (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(unused))) ++unused;
  const QStringList programs = {QStringLiteral(VELMORA_BINARY_DIR "/app/velmora"),
                                QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool")};
  for (const QString& display : {QStringLiteral(":%1").arg(unused), QString()}) {
    for (const QString& program : programs) {
      QProcess p;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      // A Wayland session whose compositor is gone (and no XWayland) is no display either.
      env.insert("WAYLAND_DISPLAY", "velmora-gone-0");
      env.remove("QT_QPA_PLATFORM");
      if (display.isEmpty()) env.remove("DISPLAY");
      else env.insert("DISPLAY", display);
      p.setProcessEnvironment(env);
      p.start(program, program.endsWith("velmora-tool") ? QStringList{"dialog", "save"} : QStringList{});
      const std::string what = (program + " DISPLAY=" + display).toStdString();
      ASSERT_TRUE(p.waitForFinished(10000)) << what;
      EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << what;
      EXPECT_EQ(p.exitCode(), 1) << what;
      EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("图形显示"))) << what;
    }
  }
}

} // namespace
