// The skinned window on a real X server, driven by xdotool as a user would:
// it shows at its designed size, dragging the caption moves it, a click on
// the close button closes it. Run by on_display.sh without a window manager
// and with openbox (VELMORA_TEST_WM=openbox).
#include "skinned_window.h"
#include "support/pump.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
// Generous: the machine may be busy (a wait ends as soon as it holds).
constexpr int kReadyMs = 20000;

QString RunTool(const QString& program, const QStringList& args)
{
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) return QString();
  return QString::fromLocal8Bit(p.readAllStandardOutput());
}

void Xdotool(const QStringList& args)
{
  QProcess p;
  p.start(QStringLiteral("xdotool"), args);
  ASSERT_TRUE(p.waitForFinished(10000));
  ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
}

// Where the X server says the window is.
QRect XGeometry(WId id)
{
  const QString out = RunTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QString::number(id)});
  const auto pos = QRegularExpression(QStringLiteral("Position: (-?\\d+),(-?\\d+)")).match(out);
  const auto size = QRegularExpression(QStringLiteral("Geometry: (\\d+)x(\\d+)")).match(out);
  if (!pos.hasMatch() || !size.hasMatch()) return QRect();
  return QRect(pos.captured(1).toInt(), pos.captured(2).toInt(), size.captured(1).toInt(), size.captured(2).toInt());
}

void MouseTo(QPoint screen) { Xdotool({"mousemove", QString::number(screen.x()), QString::number(screen.y())}); }
} // namespace

TEST(OnDisplay, ShowsAtItsSizeMovesByTheCaptionClosesByItsButton)
{
  if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "needs an X display: the ctest tests skin_form_on_display_* run this on their own Xvfb";
  const bool managed = qEnvironmentVariable("VELMORA_TEST_WM") == QLatin1String("openbox");
  if (managed) {
    // The window manager is up once it announces itself on the root window.
    ASSERT_TRUE(PumpUntil([] {
      return RunTool(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains(QLatin1String("window id"));
    }, 10000));
  }
  SkinnedWindow w;
  w.Frame->CursorPos = [] { return QCursor::pos(); };
  w.Frame->SetBorderIcons(TbsSkinForm::TbsBorderIcons(TbsSkinForm::biSystemMenu | TbsSkinForm::biMinimizeToTray));
  bool closed = false;
  w.Form->SetOnClose([&](TObject*, TForm::TCloseAction& action) {
    closed = true;
    action = TForm::caHide;
  });
  w.Form->Show();
  QWidget* widget = w.Form->Handle();
  const WId id = widget->winId();
  ASSERT_TRUE(PumpUntil([&] { return XGeometry(id).size() == QSize(254, 534); }, kReadyMs)) << "designed size";
  if (!managed) {
    EXPECT_EQ(XGeometry(id).topLeft(), QPoint(100, 100));
  }
  EXPECT_TRUE((widget->windowFlags() & Qt::FramelessWindowHint) != 0);

  // Drag the caption by (40, 30).
  const QRect before = XGeometry(id);
  const QPoint grip = w.Screen({120, 15});
  // A window the window manager has just taken on may miss the first press
  // (a busy machine); each try releases and presses again.
  ASSERT_TRUE(PumpUntil([&] {
    MouseTo(grip);
    Xdotool({"mousedown", "1"});
    if (PumpUntil([&] { return w.Frame->InMoveSize(); }, 2000)) return true;
    Xdotool({"mouseup", "1"});
    return false;
  }, kReadyMs)) << "the press on the caption starts the move";
  MouseTo(grip + QPoint(40, 30));
  Xdotool({"mouseup", "1"});
  ASSERT_TRUE(PumpUntil([&] { return !w.Frame->InMoveSize(); }, kReadyMs));
  ASSERT_TRUE(PumpUntil([&] { return XGeometry(id).topLeft() == before.topLeft() + QPoint(40, 30); }, kReadyMs))
      << "moved to " << XGeometry(id).x() << "," << XGeometry(id).y();
  EXPECT_EQ(XGeometry(id).size(), QSize(254, 534));

  // Hovering the close button plays its frames; then a click closes.
  auto* closeButton = dynamic_cast<TbsSkinAnimateObject*>(w.Frame->Object("CloseAnimate"));
  const QPoint close = w.Screen(closeButton->ObjectRect.center());
  MouseTo(close);
  EXPECT_TRUE(PumpUntil([&] { return closeButton->Frame == closeButton->CountFrames; }, kReadyMs)) << "frame " << closeButton->Frame;
  Xdotool({"click", "1"});
  ASSERT_TRUE(PumpUntil([&] { return closed; }, kReadyMs)) << "the close button closes";
  EXPECT_TRUE(PumpUntil([&] { return !widget->isVisible(); }, kReadyMs));
}
