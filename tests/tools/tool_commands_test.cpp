// velmora-tool as a user runs it: help, exit codes, failures said plainly.
#include "../audio/audio_test_util.h"
#include "support/qt_printers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

namespace {

struct ToolRun {
  int exitCode = -1;
  QString out, err;
};

// Runs the tool from `workDir` (the tool must not depend on the folder it is started in).
ToolRun Tool(const QStringList& args, const QString& workDir = QString())
{
  static QTemporaryDir runtime;
  QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  // The sound server stays reachable from the private runtime folder.
  if (!env.contains("PULSE_SERVER") && env.contains("XDG_RUNTIME_DIR"))
    env.insert("PULSE_SERVER", "unix:" + env.value("XDG_RUNTIME_DIR") + "/pulse/native");
  env.insert("XDG_RUNTIME_DIR", runtime.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
  p.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"), args);
  EXPECT_TRUE(p.waitForFinished(60000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
  return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TEST(ToolCommands, HelpIsAnsweredOnEveryUsualSpelling)
{
  for (const QStringList& args : {QStringList{"help"}, QStringList{"--help"}, QStringList{"-h"}}) {
    const ToolRun r = Tool(args);
    EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString();
    EXPECT_TRUE(r.out.contains("commands:")) << r.out.toStdString();
  }
  for (const QStringList& args : {QStringList{"help", "record"}, QStringList{"record", "--help"}}) {
    const ToolRun r = Tool(args);
    EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString();
    EXPECT_TRUE(r.out.startsWith("usage: velmora-tool record [--device NAME]")) << r.out.toStdString();
  }
  EXPECT_EQ(Tool({"help", "nonsense"}).exitCode, 2);
  EXPECT_EQ(Tool({}).exitCode, 2);
}

TEST(ToolCommands, FailuresEndWithAMessageAndStatusOne)
{
  QTemporaryDir dir;
  const QString form = dir.filePath("Form.vfm");
  QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/Form_Main.vfm"), form);

  const ToolRun art = Tool({"art", "skin", form, dir.filePath("nonexist.ini")});
  EXPECT_EQ(art.exitCode, 1);
  EXPECT_TRUE(art.err.contains("nonexist.ini")) << art.err.toStdString();

  QFile text(dir.filePath("notes.txt"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("These are notes, not a skin.\n");
  text.close();
  const ToolRun info = Tool({"skin", "info", text.fileName()});
  EXPECT_EQ(info.exitCode, 1);
  EXPECT_TRUE(info.err.contains("is no packed skin")) << info.err.toStdString();

  // A target that cannot be written is said before any recording is announced.
  const QString target = dir.filePath("missing/out.mp3");
  const ToolRun record = Tool({"record", "--seconds", "1", target});
  EXPECT_EQ(record.exitCode, 1);
  EXPECT_EQ(record.err, "record: cannot write " + target + ": No such file or directory\n");
}

TEST(ToolCommands, SkinSheetFindsTheBuiltInSkinBesideTheProgram)
{
  QTemporaryDir elsewhere;
  const ToolRun r = Tool({"skin", "sheet", elsewhere.filePath("sheet.png")}, elsewhere.path());
  EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
  EXPECT_TRUE(QFile::exists(elsewhere.filePath("sheet.png")));
}

TEST(ToolCommands, RecordTakesDecimalSecondsAndTheRecordWindowsTags)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  QTemporaryDir dir;
  const ToolRun tagged = Tool({"record", "--seconds", "1.5", dir.filePath("tagged.mp3")});
  ASSERT_EQ(tagged.exitCode, 0) << tagged.err.toStdString();
  const TDecoded d = DecodeMp3(dir.filePath("tagged.mp3"));
  ASSERT_TRUE(d.ok);
  EXPECT_NEAR(d.Seconds(), 1.5, 0.1);  // the encoder pads to whole frames
  EXPECT_EQ(d.album, "Velmora 广播节目");
  EXPECT_EQ(d.title, "http://www.velmora.example/");

  const ToolRun bare = Tool({"record", "--seconds", "0.5", "--no-tags", dir.filePath("bare.mp3")});
  ASSERT_EQ(bare.exitCode, 0) << bare.err.toStdString();
  const TDecoded b = DecodeMp3(dir.filePath("bare.mp3"));
  ASSERT_TRUE(b.ok);
  EXPECT_EQ(b.album, "");
  EXPECT_EQ(b.title, "");
}

TEST(ToolCommands, SourcesGoByTheNamesDevicesLists)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  const ToolRun devices = Tool({"devices"});
  ASSERT_EQ(devices.exitCode, 0) << devices.err.toStdString();
  EXPECT_EQ(devices.out, "默认输入\n正在播放的声音\n") << "no ALSA plugin names";

  QTemporaryDir dir;
  const ToolRun playing = Tool({"record", "--device", "正在播放的声音", "--seconds", "0.5", dir.filePath("p.mp3")});
  EXPECT_EQ(playing.exitCode, 0) << playing.err.toStdString();
  EXPECT_TRUE(playing.err.startsWith("recording 正在播放的声音 to ")) << playing.err.toStdString();

  const ToolRun unknown = Tool({"record", "--device", "Headset", "--seconds", "0.5", dir.filePath("u.mp3")});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_EQ(unknown.err, "record: no capture source \"Headset\" (see velmora-tool devices)\n");
  EXPECT_FALSE(QFile::exists(dir.filePath("u.mp3"))) << "nothing is left when nothing is recorded";
}

TEST(ToolCommands, RecordOfOpenLengthEndsOnInterruptWithACompleteFile)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  QTemporaryDir dir;
  const QString file = dir.filePath("open.mp3");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  p.setProcessEnvironment(env);
  p.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"), {"record", file});
  ASSERT_TRUE(p.waitForStarted());
  // Audio has reached the file: the recording runs.
  const QDeadlineTimer deadline(20000);
  while (QFileInfo(file).size() < 8000 && !deadline.hasExpired() && p.state() == QProcess::Running)
    QThread::msleep(20);
  ASSERT_GE(QFileInfo(file).size(), 8000) << p.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(p.processId()), SIGINT);
  ASSERT_TRUE(p.waitForFinished(10000));
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
  EXPECT_TRUE(err.contains("wrote " + file)) << err.toStdString();
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.ok);
  EXPECT_GT(d.Seconds(), 0.2);
}

} // namespace
