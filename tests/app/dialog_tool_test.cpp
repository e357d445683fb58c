// velmora-tool dialog on a desktop of its own, answered by synthetic keys:
// the skinned save dialog as a user meets it.
#include "desktop_session.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kTitle = QStringLiteral("选择录音文件");

// Starts the dialog in `folder`, waits for its window and gives it the keyboard.
QString StartDialog(const TDesktop& desktop, QProcess& tool, const QString& folder,
                    const QString& filter = QStringLiteral("MP3 文件|*.mp3"), const QString& home = {},
                    const QString& program = QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"))
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", desktop.Display());
  env.insert("QT_QPA_PLATFORM", "xcb");
  if (!home.isEmpty()) env.insert("HOME", home);
  tool.setProcessEnvironment(env);
  tool.start(program, {"dialog", "save", "--dir", folder, "--filter", filter, "--title", kTitle});
  QString window;
  WaitFor([&] {
    const QStringList ids = desktop.VisibleWindows(kTitle);
    if (!ids.isEmpty()) window = ids.last();
    return !window.isEmpty();
  }, 30000);
  if (!window.isEmpty()) desktop.XDoTool({"windowfocus", "--sync", window});
  return window;
}

TEST(DialogTool, ATypedNameAndEnterPrintTheFileEscapePrintsNothing)
{
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  QTemporaryDir dir;
  QDir().mkpath(dir.filePath("Sub"));

  QProcess tool;
  ASSERT_FALSE(StartDialog(desktop, tool, dir.path()).isEmpty()) << tool.readAllStandardError().toStdString();
  desktop.XDoTool({"type", "--delay", "40", "take 1"});
  desktop.XDoTool({"key", "Return"});
  ASSERT_TRUE(tool.waitForFinished(20000));
  EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()), dir.filePath("take 1.mp3") + "\n");

  QProcess cancelled;
  ASSERT_FALSE(StartDialog(desktop, cancelled, dir.path()).isEmpty());
  desktop.XDoTool({"type", "--delay", "40", "never"});
  desktop.XDoTool({"key", "Escape"});
  ASSERT_TRUE(cancelled.waitForFinished(20000));
  EXPECT_EQ(cancelled.exitCode(), 1);
  EXPECT_EQ(cancelled.readAllStandardOutput(), "");
}

// The client area of the dialog's first showing (450 x 290) inside its skinned frame.
QRect DialogClient(const QRect& window)
{
  const int side = (window.width() - 450) / 2;
  return QRect(window.left() + side, window.bottom() - side - 289, 450, 290);
}

// The popup list the tool shows besides its dialog; null when none is shown.
QRect PopupOf(const TDesktop& desktop, const QProcess& tool, const QRect& dialog)
{
  for (const QRect& r : desktop.ProcessWindows(tool.processId()))
    if (r != dialog && r.height() < dialog.height()) return r;  // it may lie over the dialog
  return {};
}

TEST(DialogTool, TheFilterAndFolderListsAnswerTheMouse)
{
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  QTemporaryDir home;
  QDir().mkpath(home.filePath("b"));

  // The filter list: the second entry, picked with the mouse, has no extension to add.
  QProcess tool;
  const QString window = StartDialog(desktop, tool, home.filePath("b"), QStringLiteral("MP3 文件|*.mp3|全部文件|*.*"), home.path());
  ASSERT_FALSE(window.isEmpty()) << tool.readAllStandardError().toStdString();
  const QRect dialog = desktop.Geometry(window);
  const QRect client = DialogClient(dialog);
  const QPoint filterArrow(client.left() + 70 + 280 - 10, client.bottom() - 80 + 45 + 10);
  desktop.Click(filterArrow.x(), filterArrow.y());
  QRect popup;
  ASSERT_TRUE(WaitFor([&] { return !(popup = PopupOf(desktop, tool, dialog)).isNull(); }, kReadyMs));
  desktop.Click(popup.left() + 20, popup.top() + popup.height() * 3 / 4);
  ASSERT_TRUE(WaitFor([&] { return PopupOf(desktop, tool, dialog).isNull(); }, kReadyMs)) << "the click was not taken";
  desktop.Click(client.left() + 200, client.bottom() - 80 + 20);  // into the name box
  desktop.TypeInto(window, "take");
  desktop.Keys({"Return"});
  ASSERT_TRUE(tool.waitForFinished(20000));
  EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()), home.filePath("b/take") + "\n");

  // The folder list: its first entry, the desktop (here the home folder).
  QProcess again;
  const QString second = StartDialog(desktop, again, home.filePath("b"), QStringLiteral("MP3 文件|*.mp3"), home.path());
  ASSERT_FALSE(second.isEmpty()) << again.readAllStandardError().toStdString();
  const QRect secondDialog = desktop.Geometry(second);
  const QRect top = DialogClient(secondDialog);
  desktop.Click(top.right() - 128 - 10, top.top() + 12);
  ASSERT_TRUE(WaitFor([&] { return !(popup = PopupOf(desktop, again, secondDialog)).isNull(); }, kReadyMs));
  desktop.Click(popup.left() + 20, popup.top() + 8);
  ASSERT_TRUE(WaitFor([&] { return PopupOf(desktop, again, secondDialog).isNull(); }, kReadyMs)) << "the click was not taken";
  desktop.Click(top.left() + 200, top.bottom() - 80 + 20);  // into the name box
  desktop.TypeInto(second, "up");
  desktop.Keys({"Return"});
  ASSERT_TRUE(again.waitForFinished(20000));
  EXPECT_EQ(QString::fromUtf8(again.readAllStandardOutput()), home.filePath("up.mp3") + "\n");
}

TEST(DialogTool, RunsWithoutASkinFileBesideIt)
{
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  QTemporaryDir dir;
  const QString copy = dir.filePath("velmora-tool");
  ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"), copy));
  QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcess tool;
  ASSERT_FALSE(StartDialog(desktop, tool, dir.path(), QStringLiteral("MP3 文件|*.mp3"), {}, copy).isEmpty())
      << tool.readAllStandardError().toStdString();
  desktop.Keys({"Escape"});
  ASSERT_TRUE(tool.waitForFinished(20000));
  EXPECT_EQ(tool.exitCode(), 1) << tool.readAllStandardError().toStdString();
}

} // namespace
