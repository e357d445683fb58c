// The mixer controls on the sound server that scripts/test starts: the record
// window's block on its ALSA mixer (a mute set by amixer shows in the check
// box, the volume slider moves the capture volume; the source's mute and
// volume are put back), and a level fed from a real recording's PCM.
#include "mixer_ui_fixture.h"

#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "mixer_ui/mm_pcm_peak.h"
#include "platform/mixer_alsa.h"
#include "support/played_tone.h"
#include "support/run_program.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

class RealMixerUiTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
    RegisterMixerUiClasses();
    alsa.emplace(std::make_unique<TAlsaMixerBackend>());
    active = true;
    volumeBefore = RunProgram("pactl", {"get-source-volume", "@DEFAULT_SOURCE@"});
    muteBefore = RunProgram("pactl", {"get-source-mute", "@DEFAULT_SOURCE@"}).contains("yes");
  }
  void TearDown() override
  {
    if (!active) return;
    owner.DestroyComponents();
    PumpPosted();
    alsa.reset();
    RunProgram("pactl", {"set-source-mute", "@DEFAULT_SOURCE@", muteBefore ? "1" : "0"});
    // The volume as the server printed it: "front-left: 65536 / 100% / ..." per channel.
    const QRegularExpression raw(QStringLiteral("(\\d+) /"));
    QStringList values;
    for (auto it = raw.globalMatch(volumeBefore); it.hasNext();) values << it.next().captured(1);
    if (!values.isEmpty()) RunProgram("pactl", QStringList{"set-source-volume", "@DEFAULT_SOURCE@"} + values);
  }
  std::optional<TScopedMixerBackend> alsa;
  QString volumeBefore;
  bool muteBefore = false;
  bool active = false;
  TComponent owner{nullptr};
};

TEST_F(RealMixerUiTest, TheBlocksCheckBoxAndVolumeSliderFollowAndMoveTheCaptureSource)
{
  auto* form = new TForm(&owner);
  auto* device = new TMMMixerDevice(&owner);
  device->SetActive(true);
  auto* line = new TMMAudioLine(&owner);
  line->SetMixer(device);
  line->SetLineId(-65535);
  auto* block = new TMMMixerBlock(&owner);
  block->SetParent(form);
  auto* check = new TMMMixerBlockCheck(&owner);
  check->SetParent(block);
  auto* slider = new TMMMixerBlockSlider(&owner);
  slider->SetParent(block);
  slider->SetRole(srLeftVolume);
  auto* level = new TMMMixerBlockLevel(&owner);
  level->SetParent(block);
  block->SetLine(line);

  ASSERT_TRUE(check->Enabled());
  ASSERT_TRUE(slider->Enabled());
  EXPECT_FALSE(level->Visible());  // the ALSA mixer has no peak meter

  RunProgram("amixer", {"-q", "-D", "default", "sset", "Capture", "nocap"});
  EXPECT_TRUE(PumpUntil([&] { return check->Checked(); }, 5000));
  check->SetChecked(false);
  EXPECT_TRUE(PumpUntil([&] { return RunProgram("pactl", {"get-source-mute", "@DEFAULT_SOURCE@"}).contains("no"); }, 5000));
  EXPECT_FALSE(check->Checked());

  slider->SetPosition(slider->MaxPosition() / 2);  // logarithmic: -6 dB
  const qint32 written = block->BlockVolume()->GetSignedValue(chLeft, NoItem);
  EXPECT_NEAR(written, slider->Position() * slider->Step(), 2);
  EXPECT_NEAR(written, 32767, 4);
  EXPECT_TRUE(RunProgram("amixer", {"-D", "default", "sget", "Capture"}).contains(QStringLiteral("Capture %1").arg(written).left(11)));
  slider->SetPosition(slider->MaxPosition());
  EXPECT_NEAR(block->BlockVolume()->GetSignedValue(chRight, NoItem), 65535, 2);
}

} // namespace

namespace {

TEST(RealPcmPeakTest, ARecordingThroughTheTapMovesTheLevel)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
  RegisterMixerUiClasses();
  QTemporaryDir dir;
  TPlayedTone tone(6.0);
  ASSERT_EQ(tone.Start(false), "");

  TComponent owner(nullptr);
  auto* in = new TDXAudioIn(&owner);
  in->SetInBitsPerSample(16);
  in->SetInChannels(2);
  in->SetInSampleRate(44100);
  in->SetRecTime(3);
  auto* tap = new TMMPcmPeakTap(&owner);
  tap->SetInput(in);
  auto* out = new TMP3Out(&owner);
  out->SetInput(tap);
  out->SetFileName(dir.filePath("rec.mp3"));
  auto* level = new TMMLevel(&owner);
  auto* connector = new TMMPcmConnector(&owner);
  connector->SetLevel1(level);
  connector->SetTap(tap);
  int loudest = 0, ticks = 0;
  connector->OnRefresh = [&](TObject*) {
    ++ticks;
    loudest = std::max(loudest, level->LastValue());
  };
  bool done = false;
  out->SetOnDone(TOutputDoneEvent([&](TObject*) { done = true; }));
  out->Start();
  const bool finished = PumpUntil([&] { return done; }, 15000);
  tone.Stop();
  ASSERT_TRUE(finished);
  EXPECT_GT(ticks, 40);  // the tick kept running on the UI thread meanwhile
  // The tone at half scale, whatever the server's volume did to it: clearly not silence.
  EXPECT_GT(loudest, 1000);
  EXPECT_LE(loudest, 32767);
  EXPECT_GT(QFileInfo(dir.filePath("rec.mp3")).size(), 10000);
  owner.DestroyComponents();
}

} // namespace
