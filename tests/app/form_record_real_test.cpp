// The record window on the real stack: its description read as the program
// reads it, the ALSA mixer for the recording line's switch, a tone played into
// PulseAudio's null sink and recorded from its monitor. scripts/test starts the
// sound server and sets VELMORA_SOUND_SERVER.
#include "app/all_classes.h"
#include "app/form_record.h"
#include "audio/audio_test_util.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "browser/site_addresses.h"
#include "mixer_ui/mm_block.h"
#include "skin_controls/skin_buttons.h"
#include "skin_controls/skin_edit.h"
#include "skin_controls/skin_labels.h"
#include "platform/capture_device.h"
#include "platform/mixer_backend.h"
#include "toolkit/std_controls.h"

#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(RecordWindowRealStack, RecordsThreeSecondsOfAToneWithItsTags)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  RegisterAllClasses();
  TCaptureSystem::SetDefault(nullptr);  // ALSA
  SetMixerBackend(nullptr);             // ALSA
  QTemporaryDir dir;
  ASSERT_TRUE(WriteToneWav(dir.filePath("tone.wav"), 20.0, 1000.0, 0.5));

  // Muted by someone before: the window unmutes the line when it comes up.
  QProcess::execute("amixer", {"-q", "sset", "Capture", "nocap"});
  auto* form = new TForm_Record(nullptr);
  struct Free {
    TForm_Record*& f;
    ~Free() { TComponent::Free(f); }
  } freeForm{form};
  QStringList asked, errors;
  const QString file = dir.filePath("节目录音.mp3");
  form->Confirm = [&](const QString& text) {
    asked << text;
    return int(mrYes);
  };
  form->ChooseFile = [&](const TRecordSaveRequest&) { return file; };
  form->ReportError = [&](const QString& text) { errors << text; };
  TMMMixerBlockCheck* lineSwitch = form->MMMixerBlockCheck1();
  ASSERT_TRUE(lineSwitch->Enabled()) << "the sound server's recording line has no usable switch";
  EXPECT_FALSE(lineSwitch->Checked());
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), "");

  // Shown at height 100 the block is out of sight, yet bound: a mute set by
  // another program arrives, and Record takes it back.
  form->Show();
  EXPECT_FALSE(form->MMMixerBlock1()->Visible());
  QProcess::execute("amixer", {"-q", "sset", "Capture", "nocap"});
  EXPECT_TRUE(WaitUntil([&] { return lineSwitch->Checked(); }, 5000)) << "the mute never reached the block";

  QProcess player;
  player.start("paplay", {dir.filePath("tone.wav")});
  ASSERT_TRUE(player.waitForStarted(5000));
  struct Kill {
    QProcess& p;
    ~Kill()
    {
      p.kill();
      p.waitForFinished(5000);
    }
  } killPlayer{player};
  ASSERT_TRUE(WaitUntil([] { return SinkIsPlaying(); }, 5000)) << "paplay never reached the sink";

  form->bsSkinButtonSelectFile()->SimulateClick();
  EXPECT_EQ(form->bsSkinEditSaveFile()->Text(), file);
  form->bsSkinButtonRec()->SimulateClick();
  ASSERT_TRUE(form->bsSkinButtonStop()->Enabled());
  EXPECT_FALSE(lineSwitch->Checked());
  QProcess amixer;
  amixer.start("amixer", {"sget", "Capture"});
  ASSERT_TRUE(amixer.waitForFinished(5000));
  EXPECT_TRUE(amixer.readAll().contains("[on]")) << "the recording line is still muted";
  // Three seconds of captured audio (a fresh server may deliver nothing at first).
  const int threeSeconds = 3 * 44100 * 4;
  ASSERT_TRUE(WaitUntil([&] { return form->DXAudioIn1()->Position() >= threeSeconds; }, 15000));
  ASSERT_TRUE(WaitUntil([&] { return form->bsSkinStatusPanelRecTime()->Caption().startsWith("已录制00:00:0"); }, 3000));

  const QImage shot = form->Handle()->grab().toImage();
  const QString shotPath = QStringLiteral(VELMORA_BINARY_DIR "/record_window.png");
  EXPECT_TRUE(shot.save(shotPath)) << shotPath.toStdString();
  EXPECT_EQ(shot.height(), 100);

  // What the file holds is judged against what was captured when Stop came,
  // not against the time the screenshot took.
  const double capturedAtStop = double(form->DXAudioIn1()->Position()) / (44100 * 4);
  form->bsSkinButtonStop()->SimulateClick();
  EXPECT_TRUE(form->bsSkinButtonRec()->Enabled());
  EXPECT_TRUE(errors.isEmpty()) << errors.join("\n").toStdString();
  EXPECT_TRUE(asked.isEmpty());

  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.ok);
  EXPECT_GE(d.Seconds(), capturedAtStop - 0.1);
  EXPECT_LE(d.Seconds(), capturedAtStop + 0.6);  // at most one more refill
  EXPECT_EQ(d.bitrates.front(), 64);  // the list's designed choice
  EXPECT_EQ(d.album, "Velmora 广播节目");
  EXPECT_EQ(d.title, MakerSiteAddress().toStdString());
  EXPECT_EQ(d.artist, MakerSiteAddress().toStdString());
  EXPECT_EQ(d.comment, MakerSiteAddress().toStdString());
  // The tone, judged against the recording's own level (the server's volumes may differ).
  const TToneStats whole = AnalyzeTone(d, 0, 0, d.Frames());
  ASSERT_GT(whole.rms, 100) << "the recording is silent";
  const size_t window = size_t(d.rate / 50);
  size_t run = 0, best = 0;
  for (size_t at = 0; at + window <= d.Frames(); at += window) {
    const TToneStats t = AnalyzeTone(d, 0, at, at + window);
    run = t.rms > whole.rms / 2 && std::abs(t.frequency - 1000) < 30 ? run + 1 : 0;
    best = std::max(best, run);
  }
  EXPECT_GE(double(best * window) / d.rate, 2.5) << "whole recording: rms " << whole.rms << ", " << whole.frequency;
}

} // namespace
