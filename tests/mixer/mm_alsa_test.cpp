// The mixer model on the real stack: the ALSA mixer of the sound server that
// scripts/test starts (VELMORA_SOUND_SERVER=1), and the same model with no
// sound server and no card.
#include "mixer_fixture.h"

#include "platform/mixer_alsa.h"
#include "support/private_sound_server.h"
#include "support/run_program.h"
#include "toolkit/forms.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <alsa/asoundlib.h>
#include <csignal>

namespace {

QString SourceMute() { return RunProgram("pactl", {"get-source-mute", "@DEFAULT_SOURCE@"}).trimmed(); }

// Puts back the channel volumes that "pactl get-source-volume" showed.
void RestoreSourceVolume(const QString& shown)
{
  QStringList args{"set-source-volume", "@DEFAULT_SOURCE@"};
  for (const auto& m : QRegularExpression(": (\\d+) /").globalMatch(shown)) args << m.captured(1);
  RunProgram("pactl", args);
}

class AlsaMixerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    RegisterMixerClasses();
    alsa.emplace(std::make_unique<TAlsaMixerBackend>());
    if (!qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
      volumeBefore = RunProgram("pactl", {"get-source-volume", "@DEFAULT_SOURCE@"});
  }
  void TearDown() override
  {
    owner.DestroyComponents();
    PumpPosted();
    alsa.reset();
    // A test that stopped half way must not leave the shared server muted
    // for the tests that record from it.
    if (!qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER") && SourceMute() != "Mute: no")
      RunProgram("pactl", {"set-source-mute", "@DEFAULT_SOURCE@", "0"});
    if (!volumeBefore.isEmpty()) RestoreSourceVolume(volumeBefore);
  }
  QString volumeBefore;
  std::optional<TScopedMixerBackend> alsa;
  TComponent owner{nullptr};
};

TEST_F(AlsaMixerTest, TheRecordingLineOfMixerZeroHasAUsableMuteThatFollowsOtherPrograms)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";

  auto* mixer = new TMMMixerDevice(&owner);
  ASSERT_TRUE(mixer->IsValid());
  EXPECT_EQ(mixer->Destinations(), 2);
  mixer->SetActive(true);
  ASSERT_TRUE(mixer->Active());
  auto* line = new TMMAudioLine(&owner);
  line->SetMixer(mixer);
  line->SetLineId(-65535);
  ASSERT_EQ(line->LineId(), -65535);
  EXPECT_EQ(line->ComponentType(), ctDstWaveIn);
  auto* mute = new TMMMixerControl(&owner);
  mute->SetAudioLine(line);
  mute->SetControlType(ctMute);
  ASSERT_TRUE(mute->IsAvailable());
  ASSERT_TRUE(mute->IsEnabled());

  int changes = 0, events = 0;
  bool offThread = false;
  std::vector<std::pair<int, int>> seen;
  TMMObserver watcher;
  watcher.OnNotify = [&](TMMObserver*, QObject* data) {
    if (auto* c = qobject_cast<TMMControlChange*>(data)) {
      ++changes;
      seen.push_back({c->LineId, c->ControlId});
      offThread |= QThread::currentThread() != qApp->thread();
    }
  };
  mute->AddObserver(&watcher);
  int mixerEvents = 0, mixerChanges = 0;
  mixer->SetOnControlChange([&](TObject*, TMMLineId l, TMMControlId c) {
    ++mixerEvents;
    if (l == -65535 && c == mute->ControlId()) ++events;
    offThread |= QThread::currentThread() != qApp->thread();
  });
  TMMObserver mixerWatcher;  // every report of the mixer, whatever the control
  mixerWatcher.OnNotify = [&](TMMObserver*, QObject* data) { mixerChanges += qobject_cast<TMMControlChange*>(data) ? 1 : 0; };
  mixer->AddMixerObserver(&mixerWatcher);

  // Checked (muted), then unchecked: the sound server's source follows.
  mute->SetBoolean(true);
  EXPECT_TRUE(PumpUntil([&] { return changes >= 1; }, 5000));
  EXPECT_EQ(SourceMute(), "Mute: yes");
  mute->SetBoolean(false);
  EXPECT_TRUE(PumpUntil([&] { return changes >= 2; }, 5000));
  EXPECT_EQ(SourceMute(), "Mute: no");
  EXPECT_TRUE(RunProgram("amixer", {"-D", "default", "sget", "Capture"}).contains("[on]"));
  EXPECT_FALSE(mute->GetBoolean());

  // Another program mutes: exactly one report, on the UI thread.
  changes = events = mixerEvents = mixerChanges = 0;
  seen.clear();
  RunProgram("amixer", {"-q", "-D", "default", "sset", "Capture", "nocap"});
  ASSERT_TRUE(PumpUntil([&] { return changes >= 1 && events >= 1; }, 5000));
  // A stray second report of the mute would come before the report of a
  // later change: change the volume and wait for that one instead of a while.
  RunProgram("amixer", {"-q", "-D", "default", "sset", "Capture", "50%"});
  EXPECT_TRUE(PumpUntil([&] { return mixerEvents >= 2; }, 5000));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(mixerChanges, 2);
  EXPECT_EQ(mixerEvents, 2);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], std::make_pair(-65535, mute->ControlId()));
  EXPECT_FALSE(offThread);
  EXPECT_TRUE(mute->GetBoolean());

  mute->SetBoolean(false);
  PumpUntil([&] { return changes >= 2; }, 5000);
  EXPECT_EQ(SourceMute(), "Mute: no");
}

TEST_F(AlsaMixerTest, TheCaptureVolumeReadsAndWritesInTheModelsRange)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
  auto* mixer = new TMMMixerDevice(&owner);
  auto* line = new TMMAudioLine(&owner);
  line->SetMixer(mixer);
  line->SetComponentType(ctDstWaveIn);
  ASSERT_EQ(line->LineId(), -65535);
  auto* volume = new TMMVolumeControl(&owner);
  volume->SetAudioLine(line);
  ASSERT_TRUE(volume->IsAvailable());
  EXPECT_EQ(volume->ControlInfo()->MaxValue(), 65535);
  // Put back exactly what was there: the recording test listens at that level.
  const QString before = RunProgram("pactl", {"get-source-volume", "@DEFAULT_SOURCE@"});
  const quint32 left = volume->GetUnsignedValue(chLeft, NoItem), right = volume->GetUnsignedValue(chRight, NoItem);
  volume->SetUnsignedValue(chLeft, NoItem, 30000);
  volume->SetUnsignedValue(chRight, NoItem, 40000);
  // The server's steps may round by one.
  EXPECT_NEAR(volume->GetUnsignedValue(chLeft, NoItem), 30000, 2);
  EXPECT_NEAR(volume->GetUnsignedValue(chRight, NoItem), 40000, 2);
  EXPECT_TRUE(RunProgram("amixer", {"-D", "default", "sget", "Capture"}).contains(QRegularExpression("Capture 3000[01] ")));
  volume->SetUnsignedValue(chLeft, NoItem, left);
  volume->SetUnsignedValue(chRight, NoItem, right);
  EXPECT_EQ(RunProgram("pactl", {"get-source-volume", "@DEFAULT_SOURCE@"}), before);

  // The playback destination carries the master controls.
  line->SetComponentType(ctDstSpeakers);
  EXPECT_EQ(line->LineId(), -65536);
  EXPECT_TRUE(volume->IsAvailable());
}

TEST_F(AlsaMixerTest, TheDefaultWaveInputLeadsToTheRecordingLine)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
  auto* waveIn = new TTestAudioDevice(&owner, TMMCustomAudioDevice::dkWaveIn);
  ASSERT_GE(waveIn->DeviceCount(), 1);
  EXPECT_TRUE(waveIn->Mapper());
  EXPECT_EQ(waveIn->GetMixerId(), 0);
  auto* mixer = new TMMMixerDevice(&owner);
  mixer->SetDevice(waveIn);
  EXPECT_EQ(mixer->DeviceId(), 0);
  auto* line = new TMMAudioLine(&owner);
  line->SetMixer(mixer);
  line->SetTarget(waveIn);
  EXPECT_EQ(line->LineId(), -65535);
  EXPECT_EQ(line->LineInfo()->Name(), "Recording");
}

TEST_F(AlsaMixerTest, TheToolShowsAndSetsWhatTheModelSees)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
  const QString tool = QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool");
  const QString shown = RunProgram(tool, {"mixer", "0"});
  EXPECT_TRUE(shown.contains("destination 1: line 0xFFFF0001 (-65535) \"Recording\" ctDstWaveIn")) << shown.toStdString();
  const QRegularExpression muteLine("control (\\d+) ctMute \\(ccSwitch\\) \"Capture Mute\".*: 0\n");
  const auto match = muteLine.match(shown);
  ASSERT_TRUE(match.hasMatch()) << shown.toStdString();

  const QString set = RunProgram(tool, {"mixer", "0", "set", match.captured(1), "1"});
  EXPECT_TRUE(set.contains("ctMute")) << set.toStdString();
  EXPECT_EQ(SourceMute(), "Mute: yes");
  RunProgram(tool, {"mixer", "0", "set", match.captured(1), "0"});
  EXPECT_EQ(SourceMute(), "Mute: no");
  EXPECT_TRUE(RunProgram(tool, {"mixer", "7"}).contains("there is no mixer 7"));
}

TEST_F(AlsaMixerTest, WithoutASoundServerOrCardMixerZeroIsInvalid)
{
  int card = -1;
  if (snd_card_next(&card) == 0 && card >= 0) GTEST_SKIP() << "this machine has a sound card";
  // Point the sound server client at nothing, so "default" has no mixer.
  const QByteArray saved = qgetenv("PULSE_SERVER");
  const bool had = qEnvironmentVariableIsSet("PULSE_SERVER");
  qputenv("PULSE_SERVER", "unix:/nonexistent/velmora-no-server");
  alsa.emplace(std::make_unique<TAlsaMixerBackend>());
  auto* mixer = new TMMMixerDevice(&owner);
  const int count = mixer->DeviceCount();
  const bool valid = mixer->IsValid();
  QString message;
  try {
    mixer->SetActive(true);
  } catch (const EMMMixerDeviceError& e) {
    message = e.Message();
  }
  auto* line = new TMMAudioLine(&owner);
  line->SetMixer(mixer);
  line->SetLineId(-65535);
  if (had)
    qputenv("PULSE_SERVER", saved);
  else
    qunsetenv("PULSE_SERVER");

  EXPECT_EQ(count, 0);
  EXPECT_FALSE(valid);
  EXPECT_EQ(message, "Device not valid");
  EXPECT_FALSE(mixer->Active());
  EXPECT_EQ(line->LineId(), -65535);  // kept: there is no mixer to ask
  EXPECT_EQ(line->LineInfo()->Name(), "");
}

TEST_F(AlsaMixerTest, AStoppedSoundServerLeavesTheModelInvalidAndUnwatched)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "no sound server (run scripts/test)";
  TPrivateSoundServer server;
  ASSERT_TRUE(server.Start());
  const QByteArray saved = qgetenv("PULSE_SERVER");
  const bool had = qEnvironmentVariableIsSet("PULSE_SERVER");
  qputenv("PULSE_SERVER", ("unix:" + server.Socket()).toUtf8());
  auto& backend = dynamic_cast<TAlsaMixerBackend&>(MixerBackend());
  QStringList errors;
  Application->OnException = [&](const QString& message) { errors << message; };

  auto* mixer = new TMMMixerDevice(&owner);
  mixer->SetActive(true);
  int lineReports = 0;
  mixer->SetOnLineChange([&](TObject*, TMMLineId) { ++lineReports; });
  auto* line = new TMMAudioLine(&owner);
  line->SetMixer(mixer);
  line->SetLineId(-65535);
  auto* mute = new TMMMixerControl(&owner);
  mute->SetAudioLine(line);
  mute->SetControlType(ctMute);
  const bool usable = mute->IsEnabled();
  const int watched = backend.WatchedDescriptors();

  server.Stop();
  const bool gone = PumpUntil([&] { return line->LineId() == badLineId; }, 10000);
  Application->OnException = nullptr;
  if (had)
    qputenv("PULSE_SERVER", saved);
  else
    qunsetenv("PULSE_SERVER");

  ASSERT_TRUE(usable) << "the private server's recording switch";
  EXPECT_GE(watched, 1);
  ASSERT_TRUE(gone);
  ExpectRecordingLineGone(line, mute, lineReports);
  EXPECT_EQ(backend.WatchedDescriptors(), 0) << "a dead descriptor is not watched";
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  mixer->SetActive(false);
}

} // namespace
