// The program on a broken network: a name server that reads every query and
// never answers. The user's end of the program must not wait for it.
#include "desktop_session.h"
#include "support/qt_printers.h"
#include "toolkit/ini_file.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <csignal>
#include <unistd.h>

namespace {

// The look-ups of `name` the silent server has seen, by source port (one
// port per look-up of the system resolver).
QSet<QByteArray> LookupsOf(const QString& log, const QByteArray& name)
{
  QFile f(log);
  QSet<QByteArray> ports;
  if (!f.open(QIODevice::ReadOnly)) return ports;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QList<QByteArray> fields = line.split(' ');
    if (fields.size() == 2 && fields[0] == name) ports.insert(fields[1]);
  }
  return ports;
}

QByteArray ProcStat(qint64 pid)
{
  QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Fields after the command name (which may hold spaces): state, parent, ...
QList<QByteArray> StatFields(const QByteArray& stat)
{
  return stat.mid(stat.lastIndexOf(')') + 2).split(' ');
}

QList<qint64> ChildrenOf(qint64 pid)
{
  QList<qint64> out;
  for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
    bool number = false;
    const qint64 p = entry.toLongLong(&number);
    if (!number) continue;
    const QList<QByteArray> f = StatFields(ProcStat(p));
    if (f.size() > 1 && f[1].toLongLong() == pid) out << p;
  }
  return out;
}

bool Ended(qint64 pid)
{
  const QList<QByteArray> f = StatFields(ProcStat(pid));
  return f.isEmpty() || f[0].isEmpty() || f[0] == "Z";
}

TEST(BrokenNetwork, NameLookupsThatNeverAnswerDoNotHoldUpTheSessionEnd)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  if (geteuid() != 0) GTEST_SKIP() << "a network namespace with its own name server needs root";
  for (const char* tool : {"unshare", "mount", "ip", "python3"})
    if (QStandardPaths::findExecutable(tool).isEmpty()) GTEST_SKIP() << tool << " is not installed";
  if (QProcess::execute("unshare", {"-m", "-n", "true"}) != 0) GTEST_SKIP() << "network namespaces cannot be made here";

  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  // The default directory, found by name.
  program.Environment().remove("VELMORA_DIRECTORY_URL");
  program.WriteSettings("[main]\nleft=40\ntop=120\nheight=460\n");
  QTemporaryDir resolver;
  program.SetLauncher({"unshare", "-m", "-n", "--",
                       QStringLiteral(VELMORA_SOURCE_DIR "/tests/app/broken_network/silent_resolver.sh"),
                       resolver.path()});
  ASSERT_FALSE(program.Start().isEmpty()) << program.Output().toStdString();

  // Two look-ups wait on the silent server: the mirror discovery's and, once
  // that has given up, the network access manager's for the discovery name.
  const QString log = resolver.filePath("queries.log");
  ASSERT_TRUE(WaitFor([&] { return LookupsOf(log, "all.api.radio-browser.info").size() >= 2; }, 40000))
      << program.Output().toStdString();
  const qint64 pid = program.Process().processId();
  const QList<qint64> helpers = ChildrenOf(pid);
  const QString instance = program.RuntimeDir() + "/velmora.instance";
  EXPECT_TRUE(QFileInfo::exists(instance));

  ASSERT_TRUE(program.End(SIGTERM, 10000)) << "still running 10 s after SIGTERM";
  EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.Process().exitCode(), 0) << program.Output().toStdString();
  const TMemIniFile saved(QString::fromUtf8(program.Settings()).split('\n'));
  EXPECT_EQ(saved.ReadInteger("main", "left", -1), 40);
  EXPECT_EQ(saved.ReadInteger("main", "top", -1), 120);
  EXPECT_EQ(saved.ReadInteger("main", "height", -1), 460);
  // The next start finds no stale instance, and nothing of this one is left running.
  EXPECT_FALSE(QFileInfo::exists(instance));
  EXPECT_FALSE(helpers.isEmpty());
  EXPECT_TRUE(WaitFor([&] { return std::all_of(helpers.begin(), helpers.end(), Ended); }, 10000));
}

} // namespace
