// The record window's block on the sound server's ALSA mixer (scripts/test
// starts it): a mute set by amixer shows in the check box, the volume
// slider moves the capture volume. The source's mute and volume are put back.
#include "mixer_ui_fixture.h"

#include "platform/mixer_alsa.h"

#include <QProcess>

namespace {

QString RunProgram(const QString& program, const QStringList& args)
{
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(10000)) return QStringLiteral("<%1 did not finish>").arg(program);
  return QString::fromUtf8(p.readAllStandardOutput()) + QString::fromUtf8(p.readAllStandardError());
}

class RealMixerUiTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
    RegisterMixerUiClasses();
    previous = SetMixerBackend(std::make_unique<TAlsaMixerBackend>());
    active = true;
    volumeBefore = RunProgram("pactl", {"get-source-volume", "@DEFAULT_SOURCE@"});
    muteBefore = RunProgram("pactl", {"get-source-mute", "@DEFAULT_SOURCE@"}).contains("yes");
  }
  void TearDown() override
  {
    if (!active) return;
    owner.DestroyComponents();
    PumpPosted();
    SetMixerBackend(std::move(previous));
    RunProgram("pactl", {"set-source-mute", "@DEFAULT_SOURCE@", muteBefore ? "1" : "0"});
    // The volume as the server printed it: "front-left: 65536 / 100% / ..." per channel.
    const QRegularExpression raw(QStringLiteral("(\\d+) /"));
    QStringList values;
    for (auto it = raw.globalMatch(volumeBefore); it.hasNext();) values << it.next().captured(1);
    if (!values.isEmpty()) RunProgram("pactl", QStringList{"set-source-volume", "@DEFAULT_SOURCE@"} + values);
  }
  std::unique_ptr<TMixerBackend> previous;
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
