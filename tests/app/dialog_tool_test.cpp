// velmora-tool dialog on a desktop of its own, answered by synthetic keys:
// the skinned save dialog as a user meets it.
#include "desktop_session.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kTitle = QStringLiteral("选择录音文件");

// Starts the dialog in `folder`, waits for its window and gives it the keyboard.
QString StartDialog(const TDesktop& desktop, QProcess& tool, const QString& folder)
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", desktop.Display());
  env.insert("QT_QPA_PLATFORM", "xcb");
  tool.setProcessEnvironment(env);
  tool.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"),
             {"dialog", "save", "--dir", folder, "--filter", "MP3 文件|*.mp3", "--title", kTitle});
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

} // namespace
