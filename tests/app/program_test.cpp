// The program as a user runs it: started, ended by the session.
#include "support/qt_printers.h"
#include "toolkit/ini_file.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <cstring>

namespace {

// The program's environment: offscreen, with a runtime folder of its own
// (where its single-instance socket shows that start-up is under way) and no
// online directory (the end must not depend on the network).
QProcessEnvironment ProgramEnvironment(const QTemporaryDir& runtime)
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_RUNTIME_DIR", runtime.path());
  env.insert("VELMORA_DIRECTORY_URL", "");
  return env;
}

// Starts the program and waits until it listens, which comes right before
// the windows are made.
void StartUntilListening(QProcess& program, const QString& exe, const QTemporaryDir& runtime)
{
  program.setProcessChannelMode(QProcess::MergedChannels);
  program.start(exe, {});
  ASSERT_TRUE(program.waitForStarted(10000));
  const QString socket = runtime.filePath("velmora.instance");
  QDeadlineTimer deadline(30000);
  while (!QFileInfo::exists(socket) && program.state() == QProcess::Running && !deadline.hasExpired())
    program.waitForFinished(5);
  ASSERT_TRUE(QFileInfo::exists(socket)) << program.readAll().toStdString();
}

// The session may end at any moment of the start-up, even before there is a
// window: each of its signals then ends the program as closing the main
// window would, settings saved, rather than by the signal's default action.
// (Ends once the window is up: desktop_test.cpp.)
TEST(Program, SessionEndDuringStartUpClosesLikeTheMainWindowAndSavesTheSettings)
{
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    // A copy of the program in a folder of its own keeps its settings there.
    QTemporaryDir dir;
    const QString exe = dir.filePath("velmora");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_BINARY_DIR "/app/velmora"), exe));
    {
      QFile ini(dir.filePath("mainform.ini"));
      ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
      ini.write("[main]\nleft=40\ntop=120\nheight=460\nFormTop=1\n");
    }
    QTemporaryDir runtime;
    QProcess program;
    QProcessEnvironment env = ProgramEnvironment(runtime);
    // The sound server is still found from the other runtime folder.
    env.insert("PULSE_SERVER", "unix:" + qEnvironmentVariable("XDG_RUNTIME_DIR") + "/pulse/native");
    program.setProcessEnvironment(env);
    ASSERT_NO_FATAL_FAILURE(StartUntilListening(program, exe, runtime));
    ::kill(pid_t(program.processId()), signal);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << program.readAll().toStdString();
    EXPECT_EQ(program.exitCode(), 0);

    TMemIniFile saved(dir.filePath("mainform.ini"));
    EXPECT_EQ(saved.ReadInteger("main", "left", -1), 40);
    EXPECT_EQ(saved.ReadInteger("main", "top", -1), 120);
    EXPECT_EQ(saved.ReadInteger("main", "height", -1), 460);
    // Floating, the window keeps the stay-on-top the user left it with.
    EXPECT_EQ(saved.ReadString("main", "FormTop", "x"), "1");
  }
}

// Past a file-size limit (ulimit -f) the program is not killed by SIGXFSZ: the
// settings that do not fit are reported and the session's end is clean.
TEST(Program, AFileSizeLimitIsReportedNotFatal)
{
  QTemporaryDir dir;
  const QString exe = dir.filePath("velmora");
  ASSERT_TRUE(QFile::copy(QStringLiteral(VELMORA_BINARY_DIR "/app/velmora"), exe));
  QTemporaryDir runtime;
  QProcess program;
  program.setProcessEnvironment(ProgramEnvironment(runtime));
  program.setChildProcessModifier([] {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 8;  // no settings file fits
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
  });
  ASSERT_NO_FATAL_FAILURE(StartUntilListening(program, exe, runtime));
  ::kill(pid_t(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(30000));
  const QByteArray output = program.readAll();
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << output.toStdString();
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(output.contains("mainform.ini")) << output.toStdString();
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("mainform.ini")));
}

} // namespace
