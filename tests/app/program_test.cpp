// The program as a user runs it: started, ended by the session (SIGTERM).
#include "support/qt_printers.h"
#include "toolkit/ini_file.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>

namespace {

TEST(Program, SessionEndClosesLikeTheMainWindowAndSavesTheSettings)
{
  // A copy of the program in a folder of its own keeps its settings there.
  QTemporaryDir dir;
  const QString exe = dir.filePath("velmora");
  ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_BINARY_DIR "/app/velmora"), exe));
  {
    QFile ini(dir.filePath("mainform.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[main]\nleft=40\ntop=120\nheight=460\nFormTop=1\n");
  }
  // The sound server is found through the runtime folder and HOME: keep both.
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  // No online directory: the end must not depend on the network.
  env.insert("VELMORA_DIRECTORY_URL", "");
  program.setProcessEnvironment(env);
  program.setProcessChannelMode(QProcess::MergedChannels);
  program.start(exe, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  // Running: the main window exists once the settings file has been read; give
  // it time to reach the message loop, then end the session.
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 3000 && program.state() == QProcess::Running) program.waitForReadyRead(100);
  ASSERT_EQ(program.state(), QProcess::Running) << program.readAll().toStdString();
  ::kill(pid_t(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(20000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << program.readAll().toStdString();
  EXPECT_EQ(program.exitCode(), 0);

  TMemIniFile saved(dir.filePath("mainform.ini"));
  EXPECT_EQ(saved.ReadInteger("main", "left", -1), 40);
  EXPECT_EQ(saved.ReadInteger("main", "top", -1), 120);
  EXPECT_EQ(saved.ReadInteger("main", "height", -1), 460);
  // Not at the top edge: the dock state wins over the stored stay-on-top.
  EXPECT_EQ(saved.ReadString("main", "FormTop", "x"), "0");
}

} // namespace
