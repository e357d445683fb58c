// The program on a desktop of its own with the private sound server: the
// record window's file chosen in the skinned save dialog by keys, then three
// seconds of a tone recorded through the window's buttons and decoded back.
#include "audio/audio_test_util.h"
#include "browser/site_addresses.h"
#include "desktop_session.h"
#include "skin_form/skinned_window.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The main window's record button from the window's corner (frame included).
constexpr QPoint kRecordButton(66, 36);
// The record window's buttons in its client area (its description).
constexpr QPoint kSelectFile(64, 20), kRec(301, 20), kStop(381, 20);
const QString kRecordCaption = QStringLiteral("Velmora 节目录音");
const QString kDialogCaption = QStringLiteral("指定录音文件保存的目录和文件名");

// The record window's frame with the built-in skin: where its client area starts.
QPoint RecordClientOrigin()
{
  SkinnedWindow w(BuiltinSkinBlock(), TForm::bsDialog, QSize(428, 100));
  const QMargins m = w.Form->NonClientMargins();
  return QPoint(m.left(), m.top());
}

TEST(DesktopRecording, TheFileIsChosenInTheSkinnedDialogByKeysAndATonePlaysIntoIt)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  QTemporaryDir dir;
  ASSERT_TRUE(WriteToneWav(dir.filePath("tone.wav"), 30.0, 1000.0, 0.5));
  TDesktop desktop(false);
  ASSERT_TRUE(desktop.Ok()) << desktop.Error().toStdString();
  TProgram program(desktop);
  program.WriteSettings("[main]\nleft=300\ntop=100\nheight=400\n");
  const QString window = program.Start();
  ASSERT_FALSE(window.isEmpty()) << program.Output().toStdString();
  const QRect main = desktop.Geometry(window);
  // Each try comes in from outside, as a hand would (a window just mapped may miss a click).
  ASSERT_TRUE(WaitFor([&] {
    desktop.MovePointer(main.left() - 20, main.top() - 20);
    desktop.Click(main.left() + kRecordButton.x(), main.top() + kRecordButton.y());
    return WaitFor([&] { return !desktop.VisibleWindows(kRecordCaption).isEmpty(); }, 1000);
  }, 15000)) << program.Output().toStdString();
  const QPoint client = desktop.Geometry(desktop.VisibleWindows(kRecordCaption).first()).topLeft() +
                        RecordClientOrigin();
  const auto click = [&](QPoint p) { desktop.Click(client.x() + p.x(), client.y() + p.y()); };

  QString dialog;
  ASSERT_TRUE(WaitFor([&] {
    desktop.MovePointer(client.x() - 20, client.y() - 20);
    click(kSelectFile);
    return WaitFor([&] {
      const QStringList ids = desktop.VisibleWindows(kDialogCaption);
      if (!ids.isEmpty()) dialog = ids.last();
      return !dialog.isEmpty();
    }, 1000);
  }, 15000)) << program.Output().toStdString();
  desktop.XDoTool({"windowfocus", "--sync", dialog});
  // A typed absolute path is taken as it stands; the filter adds ".mp3".
  desktop.XDoTool({"type", "--delay", "30", dir.filePath("show")});
  desktop.XDoTool({"key", "Return"});
  ASSERT_TRUE(WaitFor([&] { return desktop.VisibleWindows(kDialogCaption).isEmpty(); }, 5000));
  const QString file = dir.filePath("show.mp3");

  QProcess player;
  player.start("paplay", {dir.filePath("tone.wav")});
  ASSERT_TRUE(player.waitForStarted(5000));
  ASSERT_TRUE(WaitFor([] { return SinkIsPlaying(); }, 5000)) << "paplay never reached the sink";
  click(kRec);
  // More than three seconds at the designed 64 kbps (a fresh server delivers late).
  EXPECT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 3 * 8000 + 4000; }, 20000))
      << "recorded " << QFileInfo(file).size() << " bytes"
      << (QProcess::execute("import", {"-display", desktop.Display(), "-window", "root", QStringLiteral(VELMORA_BINARY_DIR "/record_desktop_failed.png")}), "");
  click(kStop);
  TDecoded d;
  ASSERT_TRUE(WaitFor([&] {
    d = DecodeMp3(file);
    return d.Ok && !d.Album.empty();
  }, 10000)) << "the file was not finished";
  player.kill();
  player.waitForFinished(5000);

  EXPECT_EQ(d.Album, "Velmora 广播节目");
  EXPECT_EQ(d.Title, MakerSiteAddress().isEmpty() ? QFileInfo(file).completeBaseName().toStdString()
                                                  : MakerSiteAddress().toStdString());
  const TToneStats whole = AnalyzeTone(d, 0, 0, d.Frames());
  ASSERT_GT(whole.Rms, 100) << "the recording is silent";
  EXPECT_GE(LongestToneSeconds(d, 1000), 2.5) << "whole recording: rms " << whole.Rms << ", " << whole.Frequency;
  ASSERT_TRUE(program.End(SIGTERM));
}

} // namespace
