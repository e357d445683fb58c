// The real stack: a tone played into PulseAudio's null sink is recorded from
// its monitor through ALSA "default" by TDXAudioIn into TMP3Out. scripts/test
// starts the sound server and sets VELMORA_SOUND_SERVER.
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "audio_test_util.h"
#include "platform/capture_alsa.h"
#include "platform/capture_sources.h"
#include "support/scoped_process_state.h"

#include <QDataStream>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

namespace {

// A CD-format recording into `file` that keeps the failure it reports and
// says when it is done; the caller picks the device and the length.
struct TTake {
  explicit TTake(const QString& file)
  {
    In.SetInBitsPerSample(16);
    In.SetInChannels(2);
    In.SetInSampleRate(44100);
    Out.SetInput(&In);
    Out.SetFileName(file);
    Out.SetOnThreadException(TThreadExceptionEvent([this](TObject*, const QString& m) { Failure = m; }));
    Out.SetOnDone(TOutputDoneEvent([this](TObject*) { Done = true; }));
  }
  TDXAudioIn In{nullptr};
  TMP3Out Out{nullptr};
  QString Failure;
  std::atomic<bool> Done{false};
};

// The pactl command that sets the channel volumes "pactl get-...-volume" showed.
QStringList VolumeCommand(const QString& verb, const QString& target, const QString& shown)
{
  QStringList command{verb, target};
  for (const auto& m : QRegularExpression(": (\\d+) /").globalMatch(shown)) command << m.captured(1);
  return command;
}

TEST(RealCaptureTest, ToneIntoTheNullSinkIsRecordedWithoutGaps)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER"))
    GTEST_SKIP() << "needs the private PulseAudio server that scripts/test starts";
  QTemporaryDir dir;
  TPlayedTone tone(8.0);

  // The server outlives every test: a mixer test that stopped half way may
  // have left the source muted or turned down. Listen at a known level, and
  // leave the levels as they were.
  struct Restore {
    QStringList Commands[4] = {
        {"set-sink-mute", "@DEFAULT_SINK@", Pactl({"get-sink-mute", "@DEFAULT_SINK@"}).endsWith("yes") ? "1" : "0"},
        {"set-source-mute", "@DEFAULT_SOURCE@", Pactl({"get-source-mute", "@DEFAULT_SOURCE@"}).endsWith("yes") ? "1" : "0"},
        VolumeCommand("set-sink-volume", "@DEFAULT_SINK@", Pactl({"get-sink-volume", "@DEFAULT_SINK@"})),
        VolumeCommand("set-source-volume", "@DEFAULT_SOURCE@", Pactl({"get-source-volume", "@DEFAULT_SOURCE@"}))};
    ~Restore()
    {
      for (const QStringList& c : Commands) Pactl(c);
    }
  } restore;
  Pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"});
  Pactl({"set-sink-volume", "@DEFAULT_SINK@", "100%"});
  Pactl({"set-source-mute", "@DEFAULT_SOURCE@", "0"});
  Pactl({"set-source-volume", "@DEFAULT_SOURCE@", "100%"});
  ASSERT_EQ(Pactl({"get-source-mute", "@DEFAULT_SOURCE@"}), "Mute: no");

  ASSERT_EQ(tone.Start(), "");

  TTake take(dir.filePath("rec.mp3"));
  TDXAudioIn& in = take.In;
  TMP3Out& out = take.Out;
  QString& failure = take.Failure;
  std::atomic<bool>& done = take.Done;
  ASSERT_GT(in.DeviceCount(), 0);
  EXPECT_EQ(in.Device(0).Id, "default");
  in.SetDeviceNumber(0);
  in.SetRecTime(3);
  QElapsedTimer clock;
  clock.start();
  out.Start();
  const bool finished = WaitUntil([&] { return done.load(); }, 15000);
  const qint64 took = clock.elapsed();
  tone.Stop();
  ASSERT_TRUE(finished);
  EXPECT_EQ(failure, QString());
  EXPECT_GE(took, 2500) << "capture is paced by the device, in real time";

  const TDecoded d = DecodeMp3(dir.filePath("rec.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 3.0, 0.1);
  // Longest run of 20 ms windows that hold the tone. The level depends on the
  // server's volumes, which other tests may change, so it is judged against the
  // recording's own level; a gap (silence) has none at all.
  const TToneStats whole = AnalyzeTone(d, 0, 0, d.Frames());
  ASSERT_GT(whole.Rms, 100) << "the recording is silent; source "
                            << Pactl({"get-source-mute", "@DEFAULT_SOURCE@"}).toStdString() << ", "
                            << Pactl({"get-source-volume", "@DEFAULT_SOURCE@"}).toStdString();
  EXPECT_GE(LongestToneSeconds(d, 1000), 2.5)
      << "the tone without a gap; whole recording: rms " << whole.Rms << ", " << whole.Frequency << " Hz";
}

// A silent source made the server's default for one test, and an input with a
// description of its own; both go when the test ends.
class SilentDefaultSource {
public:
  SilentDefaultSource()
  {
    module_ = Pactl({"load-module", "module-null-source", "source_name=velmora_quiet", "description=Quiet-Microphone"});
    previous_ = Pactl({"get-default-source"});
    Pactl({"set-default-source", "velmora_quiet"});
  }
  ~SilentDefaultSource()
  {
    Pactl({"set-default-source", previous_.isEmpty() ? QStringLiteral("rec_sink.monitor") : previous_});
    Pactl({"unload-module", module_});
  }

private:
  QString module_, previous_;
};

TEST(RealCaptureTest, SourcesAreListedByWhatTheyAre)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  SilentDefaultSource quiet;
  const auto devices = TAlsaCaptureSystem().Devices();
  QStringList names;
  for (const auto& d : devices) names << d.Description;
  // The default input first, then what plays, then the inputs; the null
  // sink's monitor is not listed a second time and no ALSA plugin shows.
  EXPECT_EQ(names, QStringList({kDefaultInputName, kPlayingSoundName, "Quiet-Microphone"}));
}

TEST(RealCaptureTest, WhatPlaysIsRecordedWhileTheDefaultInputIsSilent)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  SilentDefaultSource quiet;
  ASSERT_EQ(Pactl({"get-default-source"}), "velmora_quiet");
  Pactl({"set-sink-mute", "@DEFAULT_SINK@", "0"});
  Pactl({"set-sink-volume", "@DEFAULT_SINK@", "100%"});
  QTemporaryDir dir;
  TPlayedTone tone(8.0);
  ASSERT_EQ(tone.Start(), "");

  TTake take(dir.filePath("playing.mp3"));
  TDXAudioIn& in = take.In;
  TMP3Out& out = take.Out;
  QString& failure = take.Failure;
  std::atomic<bool>& done = take.Done;
  const int playing = in.DeviceIndex(kPlayingSoundName);
  ASSERT_GE(playing, 0);
  in.SetDeviceNumber(playing);
  in.SetRecTime(3);
  out.Start();
  const bool finished = WaitUntil([&] { return done.load(); }, 15000);
  tone.Stop();
  ASSERT_TRUE(finished);
  EXPECT_EQ(failure, QString());
  const TDecoded d = DecodeMp3(dir.filePath("playing.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 3.0, 0.1);
  // The monitor starts late (up to 2 s): the last second holds the tone.
  const TToneStats end = AnalyzeTone(d, 0, d.Frames() - size_t(d.Rate), d.Frames());
  EXPECT_GT(end.Rms, 1000) << "the recording is silent: it came from the default input";
  EXPECT_NEAR(end.Frequency, 1000, 30);
}

TEST(RealCaptureTest, CaptureWakesAboutOncePerPeriod)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  TPlayedTone tone(10.0);
  ASSERT_EQ(tone.Start(false), "");
  TAlsaCaptureSystem alsa;
  const auto devices = alsa.Devices();
  const auto playing = std::find_if(devices.begin(), devices.end(),
                                    [](const TCaptureDeviceInfo& d) { return d.Description == kPlayingSoundName; });
  ASSERT_NE(playing, devices.end());
  std::unique_ptr<TCaptureDevice> device;
  ASSERT_EQ(alsa.Open(*playing, device), TCaptureResult::Ok);
  ASSERT_EQ(device->CreateBuffer(TCaptureFormat(), 262144), TCaptureResult::Ok);
  ASSERT_EQ(device->Start(), TCaptureResult::Ok);
  // Taking what arrives as the recorder does, every 400 ms.
  std::vector<uint8_t> scratch(262144);
  const auto take = [&] {
    uint32_t ready = 0;
    device->BytesReady(ready);
    device->Read(scratch.data(), ready);
    return ready;
  };
  QElapsedTimer clock;
  clock.start();
  while (take() == 0 && clock.elapsed() < 6000) device->Wait(100);  // a monitor starts late
  const uint64_t wakeUps = device->WakeUps();
  clock.restart();
  uint64_t bytes = 0;
  while (clock.elapsed() < 2000) {
    device->Wait(400);
    bytes += take();
  }
  const double seconds = double(clock.elapsed()) / 1000.0;
  const double perSecond = double(device->WakeUps() - wakeUps) / seconds;
  device->Stop();
  tone.Stop();
  EXPECT_EQ(device->Failure(), QString());
  EXPECT_GT(double(bytes), 0.8 * seconds * 44100 * 4) << "the audio did not flow";
  // 100 ms periods: about ten a second; the pulse plugin's early "readable"
  // once made it thousands.
  EXPECT_LE(perSecond, 25.0);
}

// A sound server of the test's own, which it may stop: the shared one serves
// the other tests.
class PrivateSoundServer {
public:
  PrivateSoundServer()
  {
    if (!runtime_.isValid()) return;
    QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env_.insert("XDG_RUNTIME_DIR", runtime_.path());
    env_.remove("PULSE_SERVER");
    Run({"-D", "--system=false", "--exit-idle-time=-1", "--log-target=file:" + runtime_.filePath("pulse.log")});
    running_ = WaitUntil([this] { return QFile::exists(Socket()); }, 10000);
  }
  ~PrivateSoundServer() { Stop(); }
  bool Running() const { return running_; }
  QString Socket() const { return runtime_.filePath("pulse/native"); }
  void Stop()
  {
    if (running_) Run({"--kill"});
    running_ = false;
  }

private:
  void Run(const QStringList& args)
  {
    QProcess p;
    p.setProcessEnvironment(env_);
    p.start("pulseaudio", args);
    p.waitForFinished(10000);
  }
  QTemporaryDir runtime_;
  QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
  bool running_ = false;
};

TEST(RealCaptureTest, ASoundServerThatDiesMidRecordingEndsItWithAReportAndKeepsTheAudio)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  PrivateSoundServer server;
  ASSERT_TRUE(server.Running());
  TScopedEnv pulse("PULSE_SERVER", "unix:" + QFile::encodeName(server.Socket()));
  QTemporaryDir dir;
  TTake take(dir.filePath("cut.mp3"));
  TDXAudioIn& in = take.In;
  TMP3Out& out = take.Out;
  QString& failure = take.Failure;
  std::atomic<bool>& done = take.Done;
  ASSERT_GT(in.DeviceCount(), 0);
  in.SetDeviceNumber(0);  // the default input, through the private server
  in.SetBytesToRead(-1);
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return in.Position() >= 44100 * 4; }, 10000)) << failure.toStdString();
  server.Stop();
  // The PulseAudio plugin may wedge in libpulse here, or fail: either way the
  // recording ends by itself with a reason, and nothing waits on the plugin.
  ASSERT_TRUE(WaitUntil([&] { return done.load(); }, 15000)) << "the recording runs on without a server";
  EXPECT_TRUE(failure.startsWith("The capture device failed: ")) << failure.toStdString();
  EXPECT_FALSE(in.Busy());
  const TDecoded d = DecodeMp3(dir.filePath("cut.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_GE(d.Seconds(), 0.9) << "what was captured before the server went is in the file";
  // A new recording gets a clear error at once rather than a frozen window.
  QElapsedTimer clock;
  clock.start();
  failure.clear();
  done = false;
  out.SetFileName(dir.filePath("again.mp3"));
  out.Start();
  ASSERT_TRUE(WaitUntil([&] { return done.load() || !failure.isEmpty(); }, 15000));
  EXPECT_FALSE(failure.isEmpty());
  EXPECT_LT(clock.elapsed(), 5000);
}

TEST(RealCaptureTest, ADiskThatFillsUpEndsTheRecordingAndKeepsWhatWasWritten)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  QTemporaryDir dir;
  TTake take(dir.filePath("full.mp3"));
  TDXAudioIn& in = take.In;
  TMP3Out& out = take.Out;
  QString& failure = take.Failure;
  std::atomic<bool>& done = take.Done;
  in.SetDeviceNumber(0);
  in.SetBytesToRead(-1);
  bool finished;
  {
    // 32 KB of MP3 at 128 kbit/s: two seconds, then the "disk" is full.
    TScopedFileSizeLimit limit(32000);
    out.Start();
    finished = WaitUntil([&] { return done.load(); }, 15000);
  }
  ASSERT_TRUE(finished);
  // The limit stands in for the full disk: the write fails with "file too large".
  EXPECT_TRUE(failure.contains("文件太大") && failure.contains(dir.filePath("full.mp3"))) << failure.toStdString();
  EXPECT_FALSE(in.Busy());
  const TDecoded d = DecodeMp3(dir.filePath("full.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_GT(d.Seconds(), 1.5) << "the audio written before the disk filled plays";
}

} // namespace
