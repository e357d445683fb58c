// velmora-tool as a user runs it: help, exit codes, failures said plainly.
#include "../audio/audio_test_util.h"
#include "support/qt_printers.h"
#include "support/scoped_process_state.h"
#include "support/run_tool.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <gtest/gtest.h>

namespace {

// Runs the tool from `workDir` (the tool must not depend on the folder it is started in).
TToolRun Tool(const QStringList& args, const QString& workDir = QString(),
              const std::function<void(QProcessEnvironment&)>& adjust = {}, std::function<void()> childSetup = {})
{
  return RunVelmoraTool(args, {adjust, workDir, std::move(childSetup)});
}

TEST(ToolCommands, HelpIsAnsweredOnEveryUsualSpelling)
{
  for (const QStringList& args : {QStringList{"help"}, QStringList{"--help"}, QStringList{"-h"}}) {
    const TToolRun r = Tool(args);
    EXPECT_EQ(r.ExitCode, 0) << args.join(' ').toStdString();
    EXPECT_TRUE(r.Out.contains("commands:")) << r.Out.toStdString();
  }
  for (const QStringList& args : {QStringList{"help", "record"}, QStringList{"record", "--help"}}) {
    const TToolRun r = Tool(args);
    EXPECT_EQ(r.ExitCode, 0) << args.join(' ').toStdString();
    EXPECT_TRUE(r.Out.startsWith("usage: velmora-tool record [--device NAME]")) << r.Out.toStdString();
  }
  EXPECT_EQ(Tool({"help", "nonsense"}).ExitCode, 2);
  EXPECT_EQ(Tool({}).ExitCode, 2);
}

TEST(ToolCommands, CommandsWithoutAWindowRunWhenTheDisplayIsGone)
{
  // DISPLAY names an X server that is gone (a closed remote session), and no
  // platform is asked for: only a command that shows a window may need one.
  ASSERT_FALSE(QFileInfo::exists("/tmp/.X11-unix/X4711"));
  const auto gone = [](QProcessEnvironment& env) {
    env.remove("QT_QPA_PLATFORM");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", ":4711");
  };
  TToolRun r = Tool({"devices"}, {}, gone);
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_FALSE(r.Out.isEmpty());
  QTemporaryDir dir;
  r = Tool({"files", dir.path()}, {}, gone);
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  r = Tool({"skin", "info", QStringLiteral(VELMORA_BINARY_DIR "/tools/skin.bin")}, {}, gone);
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) return;
  r = Tool({"record", "--seconds", "0.3", dir.filePath("gone.mp3")}, {}, gone);
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_TRUE(DecodeMp3(dir.filePath("gone.mp3")).Ok);
}

TEST(ToolCommands, FailuresEndWithAMessageAndStatusOne)
{
  QTemporaryDir dir;
  const QString form = dir.filePath("Form.vfm");
  QFile::copy(QStringLiteral(VELMORA_SOURCE_DIR "/resources/forms/Form_Main.vfm"), form);

  const TToolRun art = Tool({"art", "skin", form, dir.filePath("nonexist.ini")});
  EXPECT_EQ(art.ExitCode, 1);
  EXPECT_TRUE(art.Err.contains("nonexist.ini")) << art.Err.toStdString();

  QFile text(dir.filePath("notes.txt"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("These are notes, not a skin.\n");
  text.close();
  const TToolRun info = Tool({"skin", "info", text.fileName()});
  EXPECT_EQ(info.ExitCode, 1);
  EXPECT_TRUE(info.Err.contains("is no packed skin")) << info.Err.toStdString();

  // A target that cannot be written is said before any recording is announced.
  const QString target = dir.filePath("missing/out.mp3");
  const TToolRun record = Tool({"record", "--seconds", "1", target});
  EXPECT_EQ(record.ExitCode, 1);
  EXPECT_EQ(record.Err, "record: cannot write " + target + ": No such file or directory\n");
}

TEST(ToolCommands, SkinSheetFindsTheBuiltInSkinBesideTheProgram)
{
  QTemporaryDir elsewhere;
  const TToolRun r = Tool({"skin", "sheet", elsewhere.filePath("sheet.png")}, elsewhere.path());
  EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
  EXPECT_TRUE(QFile::exists(elsewhere.filePath("sheet.png")));
}

TEST(ToolCommands, RecordTakesDecimalSecondsAndTheRecordWindowsTags)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  QTemporaryDir dir;
  const TToolRun tagged = Tool({"record", "--seconds", "1.5", dir.filePath("tagged.mp3")});
  ASSERT_EQ(tagged.ExitCode, 0) << tagged.Err.toStdString();
  const TDecoded d = DecodeMp3(dir.filePath("tagged.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 1.5, 0.1);  // the encoder pads to whole frames
  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_EQ(d.Title, "tagged") << "the file's name: this build names no maker's site";

  const TToolRun bare = Tool({"record", "--seconds", "0.5", "--no-tags", dir.filePath("bare.mp3")});
  ASSERT_EQ(bare.ExitCode, 0) << bare.Err.toStdString();
  const TDecoded b = DecodeMp3(dir.filePath("bare.mp3"));
  ASSERT_TRUE(b.Ok);
  EXPECT_EQ(b.Album, "");
  EXPECT_EQ(b.Title, "");
}

TEST(ToolCommands, RecordPastTheFileSizeLimitSaysSoAndFinishesTheFile)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  QTemporaryDir dir;
  const QString file = dir.filePath("limited.mp3");
  constexpr rlim_t kLimit = 40000;  // 2.5 s at 128 kbps
  const TToolRun r = Tool({"record", "--seconds", "20", file}, QString(), {}, [] {
    // As `ulimit -f` in a shell: the signal's default action kills the writer.
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = kLimit;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, SIG_DFL);
  });
  EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains("record: 文件太大")) << r.Err.toStdString();
  EXPECT_TRUE(r.Err.contains(file)) << r.Err.toStdString();
  EXPECT_LE(QFileInfo(file).size(), qint64(kLimit));
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_GT(d.Seconds(), 2.0) << "what fit is kept";
}

TEST(ToolCommands, SourcesGoByTheNamesDevicesLists)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  const TToolRun devices = Tool({"devices"});
  ASSERT_EQ(devices.ExitCode, 0) << devices.Err.toStdString();
  EXPECT_EQ(devices.Out, "默认输入\n正在播放的声音\n正在收听的电台\n") << "no ALSA plugin names";

  QTemporaryDir dir;
  const TToolRun playing = Tool({"record", "--device", "正在播放的声音", "--seconds", "0.5", dir.filePath("p.mp3")});
  EXPECT_EQ(playing.ExitCode, 0) << playing.Err.toStdString();
  EXPECT_TRUE(playing.Err.startsWith("recording 正在播放的声音 to ")) << playing.Err.toStdString();

  // The tool listens to no station: record-station records one.
  const TToolRun station = Tool({"record", "--device", "正在收听的电台", dir.filePath("s.mp3")});
  EXPECT_EQ(station.ExitCode, 2);
  EXPECT_TRUE(station.Err.contains("record-station URL")) << station.Err.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("s.mp3")));

  const TToolRun unknown = Tool({"record", "--device", "Headset", "--seconds", "0.5", dir.filePath("u.mp3")});
  EXPECT_EQ(unknown.ExitCode, 1);
  EXPECT_EQ(unknown.Err, "record: no capture source \"Headset\" (see velmora-tool devices)\n");
  EXPECT_FALSE(QFile::exists(dir.filePath("u.mp3"))) << "nothing is left when nothing is recorded";

  // Past 2^31 bytes (12173 s) a length is still a length: the source is looked for.
  const TToolRun longer = Tool({"record", "--device", "Headset", "--seconds", "86400", dir.filePath("u.mp3")});
  EXPECT_EQ(longer.Err, "record: no capture source \"Headset\" (see velmora-tool devices)\n");
  for (const char* bad : {"-1", "inf", "1e19"}) {
    const TToolRun refused = Tool({"record", "--seconds", bad, dir.filePath("u.mp3")});
    EXPECT_EQ(refused.ExitCode, 2) << bad;
    EXPECT_TRUE(refused.Err.contains("--seconds needs a number of seconds")) << bad << refused.Err.toStdString();
  }
}

TEST(ToolCommands, RecordWithoutASoundServerSaysSoAndLeavesNoFile)
{
  QTemporaryDir dir;
  // A server address where none listens: ALSA's default device then has no server behind it.
  TScopedEnv pulse("PULSE_SERVER", "unix:" + QFile::encodeName(dir.filePath("none")));
  const TToolRun r = Tool({"record", "--seconds", "1", dir.filePath("none.mp3")});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_TRUE(r.Err.endsWith("record: 声音服务未运行，不能录音。\n")) << r.Err.toStdString();
  EXPECT_FALSE(QFile::exists(dir.filePath("none.mp3"))) << "no empty file is left";
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
  ASSERT_TRUE(d.Ok);
  EXPECT_GT(d.Seconds(), 0.2);
}

} // namespace
