// The main window's tool buttons on a desktop of its own (Xvfb with openbox),
// clicked with xdotool: refresh reloads the page, stay-on-top toggles the
// manager's "above" state with the button's image and hint, record opens the
// record window.
#include "desktop_session.h"
#include "skin_form/skinned_window.h"
#include "support/qt_printers.h"

#include <QImage>
#include <QMap>
#include <gtest/gtest.h>
#include <csignal>

namespace {

// The three buttons' and the version label's centres in window coordinates: the skinned frame's
// margins (built-in skin, the main window's border icons) plus the places
// velmora-tool form layout gives the controls of the shipped description.
QMap<QString, QPoint> ToolBarCentres()
{
  SkinnedWindow w;
  w.Frame->SetBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray);
  const QMargins frame = w.Form->NonClientMargins();
  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  tool.setProcessEnvironment(env);
  tool.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"),
             {"form", "layout", QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/Form_Main.vfm")});
  tool.waitForFinished(30000);
  QMap<QString, QRect> places;
  for (const QString& line : QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
    const QStringList f = line.split(' ');
    if (f.size() == 7) places[f[0]] = QRect(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
  }
  QMap<QString, QPoint> centres;
  const QPoint bar = places.value("bsSkinToolBar1").topLeft() + QPoint(frame.left(), frame.top());
  for (const char* name :
       {"bsSkinSpeedButtonRefesh", "bsSkinSpeedButton_SetTop", "bsSkinSpeedButtonRecord", "bsSkinStdLabel1"})
    if (places.contains(name)) centres[name] = bar + places[name].center();
  return centres;
}

// A picture of a window as the X server shows it.
QImage Grab(const TDesktop& desktop, const QString& window)
{
  QProcess p;
  p.start("import", {"-display", desktop.Display(), "-window", window, "png:-"});
  p.waitForFinished(10000);
  return QImage::fromData(p.readAllStandardOutput(), "PNG");
}

// The tool tip our program shows now, as a picture; null while none is up.
QImage ShownToolTip(const TDesktop& desktop)
{
  for (const QString& id : desktop.XDoTool({"search", "--onlyvisible", "--class", "velmora"}).split('\n', Qt::SkipEmptyParts))
    if (desktop.XProp({"-id", id, "_NET_WM_WINDOW_TYPE"}).contains("_NET_WM_WINDOW_TYPE_TOOLTIP"))
      return Grab(desktop, id);
  return QImage();
}

TEST(DesktopToolBar, RefreshReloadsStayOnTopTogglesWithImageAndHintRecordOpensTheRecordWindow)
{
  const QMap<QString, QPoint> buttons = ToolBarCentres();
  ASSERT_EQ(buttons.size(), 4) << "velmora-tool form layout lists the tool bar's controls";
  TDesktop desktop(true);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.Environment().insert("VELMORA_TRACE_STARTUP", "1");
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  desktop.MovePointer(900, 700);
  ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();
  const auto window = [&] {
    const QStringList ids = desktop.VisibleWindows(kMainCaption);
    return ids.isEmpty() ? program.Window() : ids.last();
  };
  const auto at = [&](const char* button) { return desktop.Geometry(window()).topLeft() + buttons[button]; };
  const auto loads = [&] {
    program.Process().waitForReadyRead(10);  // no event loop here: read what arrived
    return program.Output().count("velmora: page-loaded");
  };
  // Each click comes in from outside, as a hand would, so the button sees the pointer enter.
  const auto click = [&](const char* button) {
    const QPoint p = at(button);
    desktop.MovePointer(p.x() - 40, p.y() + 60);
    desktop.Click(p.x(), p.y());
  };

  ASSERT_TRUE(WaitFor([&] { return loads() >= 1; }, 60000)) << program.Output().toStdString();
  Grab(desktop, window()).save(QStringLiteral(VELMORA_BINARY_DIR "/main_window_skinned.png"));
  // A window just mapped may miss the first click: tried until the page loads again.
  ASSERT_TRUE(WaitFor([&] {
    click("bsSkinSpeedButtonRefesh");
    return WaitFor([&] { return loads() >= 2; }, 5000);
  }, 30000)) << "refresh loads the page again\n" << program.Output().toStdString();

  // Stay on top: the manager keeps the window above, the button shows image 3
  // and the other hint; a second click takes all of it back.
  const auto above = [&] { return desktop.XProp({"-id", window(), "_NET_WM_STATE"}).contains("_NET_WM_STATE_ABOVE"); };
  const auto buttonPicture = [&] {
    desktop.MovePointer(900, 700);
    const QPoint corner = buttons["bsSkinSpeedButton_SetTop"] - QPoint(12, 12);
    return Grab(desktop, window()).copy(QRect(corner, QSize(25, 25)));
  };
  const auto hintPicture = [&] {
    // Over the version label, which has no hint, until an earlier hint is gone.
    const QPoint label = at("bsSkinStdLabel1");
    desktop.MovePointer(label.x(), label.y());
    WaitFor([&] { return ShownToolTip(desktop).isNull(); }, 11000);
    QImage tip;
    WaitFor([&] {
      const QPoint p = at("bsSkinSpeedButton_SetTop");
      desktop.MovePointer(p.x() - 40, p.y() + 60);
      desktop.MovePointer(p.x(), p.y());
      return WaitFor([&] { return !(tip = ShownToolTip(desktop)).isNull(); }, 3000);
    }, 15000);
    return tip;
  };
  ASSERT_FALSE(above());
  const QImage offPicture = buttonPicture();
  const QImage offHint = hintPicture();
  ASSERT_FALSE(offHint.isNull()) << "the button shows its hint";
  click("bsSkinSpeedButton_SetTop");
  ASSERT_TRUE(WaitFor(above, 5000));
  EXPECT_NE(buttonPicture(), offPicture);
  const QImage onHint = hintPicture();
  ASSERT_FALSE(onHint.isNull());
  EXPECT_NE(onHint, offHint);
  click("bsSkinSpeedButton_SetTop");
  EXPECT_TRUE(WaitFor([&] { return !above(); }, 5000));
  EXPECT_EQ(buttonPicture(), offPicture);
  EXPECT_EQ(hintPicture(), offHint);

  const QString recordCaption = QStringLiteral("Velmora 节目录音");
  click("bsSkinSpeedButtonRecord");
  EXPECT_TRUE(WaitFor([&] { return !desktop.VisibleWindows(recordCaption).isEmpty(); }, 10000))
      << program.Output().toStdString();
  ASSERT_TRUE(program.End(SIGTERM));
  EXPECT_EQ(program.Process().exitCode(), 0);
}

} // namespace
