// Every kind of input people record from, through the real stack (sound
// server, ALSA, TDXAudioIn, TMP3Out and velmora-tool record), each taking a
// known tone for ten seconds: the take lasts about as long as its audio, the
// file holds all of it and the tone runs on without a break. The inputs
// record side by side, so the whole lasts one take. scripts/test starts the
// PulseAudio server (VELMORA_SOUND_SERVER) and PipeWire beside it
// (VELMORA_PIPEWIRE_SERVER).
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "audio_test_util.h"
#include "platform/capture_alsa.h"
#include "support/private_sound_server.h"
#include "support/scoped_process_state.h"

#include <QElapsedTimer>
#include <csignal>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr int kSeconds = 10;

// Sources named by the test, opened through ALSA: the program's own list
// leaves out the monitors of outputs other than the default one.
class TNamedSources : public TCaptureSystem {
public:
  std::vector<TCaptureDeviceInfo> List;
  std::vector<TCaptureDeviceInfo> Devices() override { return List; }
  TCaptureResult Open(const TCaptureDeviceInfo& device, std::unique_ptr<TCaptureDevice>& out) override
  {
    return alsa_.Open(device, out);
  }

private:
  TAlsaCaptureSystem alsa_;
};

QByteArray PulseDevice(const QString& source) { return "pulse:DEVICE=\"" + source.toUtf8() + '"'; }

// What a test loads into the server, unloaded (and the default source put
// back) whatever way the test ends; the players it starts, stopped.
class TServerSetup {
public:
  TServerSetup() : defaultSource_(Pactl({"get-default-source"})) {}
  ~TServerSetup()
  {
    for (auto& p : players_) {
      p->kill();
      p->waitForFinished(5000);
    }
    if (!defaultSource_.isEmpty()) Pactl({"set-default-source", defaultSource_});
    for (auto it = modules_.rbegin(); it != modules_.rend(); ++it) Pactl({"unload-module", *it});
  }
  bool Load(const QStringList& args)
  {
    const QString id = Pactl(QStringList{"load-module"} + args);
    bool number = false;
    id.toUInt(&number);
    if (number) modules_ << id;
    return number;
  }
  bool Play(const QStringList& args)
  {
    players_.push_back(std::make_unique<QProcess>());
    players_.back()->start(args.first(), args.mid(1));
    return players_.back()->waitForStarted(5000);
  }

private:
  QString defaultSource_;
  QStringList modules_;
  std::vector<std::unique_ptr<QProcess>> players_;
};

// One recording of kSeconds, started beside the others.
struct TTake {
  QString Name;
  double Frequency = 0;
  std::unique_ptr<TDXAudioIn> In;
  std::unique_ptr<TMP3Out> Out;
  QString File, Failure;
  std::atomic<bool> Done{false};
  qint64 TookMs = -1;
};

std::unique_ptr<TTake> StartTake(TCaptureSystem& system, const QString& device, double frequency, const QString& dir,
                                 const QElapsedTimer& clock)
{
  auto t = std::make_unique<TTake>();
  t->Name = device;
  t->Frequency = frequency;
  t->In = std::make_unique<TDXAudioIn>(nullptr, &system);
  t->In->SetDeviceNumber(t->In->DeviceIndex(device));
  t->In->SetInBitsPerSample(16);
  t->In->SetInChannels(2);
  t->In->SetInSampleRate(44100);
  t->In->SetRecTime(kSeconds);
  t->Out = std::make_unique<TMP3Out>(nullptr);
  t->Out->SetInput(t->In.get());
  t->File = dir + "/" + QString::number(qHash(device)) + ".mp3";
  t->Out->SetFileName(t->File);
  TTake* take = t.get();
  t->Out->SetOnThreadException(TThreadExceptionEvent([take](TObject*, const QString& m) { take->Failure = m; }));
  t->Out->SetOnDone(TOutputDoneEvent([take, &clock](TObject*) {
    take->TookMs = clock.elapsed();
    take->Done = true;
  }));
  return t;
}

// The file of a take of kSeconds that began `startMs` into the clock and
// ended `tookMs` into it: its length, how long it took, and the tone unbroken.
void CheckTake(const QString& name, const QString& file, double frequency, qint64 tookMs, qint64 startMs)
{
  SCOPED_TRACE(name.toStdString());
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), kSeconds, kSeconds * 0.02) << "the file holds the audio asked for";
  // A server hands audio over in blocks of up to 2 s, and a monitor starts
  // late: the take ends within that of the audio's own length (once it took
  // almost four times as long and lost three quarters of it).
  const double took = double(tookMs - startMs) / 1000.0;
  EXPECT_GE(took, kSeconds - 2.5);
  EXPECT_LE(took, kSeconds + 3.0) << "audio was lost: the take ran longer than its audio";
  const TToneContinuity c = AnalyzeContinuity(d, frequency);
  EXPECT_GT(c.Level, 2000) << "no " << frequency << " Hz tone";
  EXPECT_GE(c.ToneSeconds, kSeconds - 2.0) << "tone from " << c.FirstToneAt << " s";
  EXPECT_EQ(c.Gaps, 0) << "the tone breaks off: audio was dropped";
}

// Starts the takes, and velmora-tool recording the default input when it is
// built, waits for all of them and checks each.
void RecordSideBySide(const std::vector<std::pair<QString, double>>& sources, TCaptureSystem& system,
                      double defaultFrequency)
{
  QTemporaryDir dir;
  QElapsedTimer clock;
  clock.start();
  std::vector<std::unique_ptr<TTake>> takes;
  for (const auto& [device, frequency] : sources) {
    takes.push_back(StartTake(system, device, frequency, dir.path(), clock));
    ASSERT_GE(takes.back()->In->DeviceNumber(), 0) << device.toStdString();
  }
  // Through the program's own list: "默认输入", which follows the server's default.
  takes.push_back(StartTake(TCaptureSystem::Default(), "默认输入", defaultFrequency, dir.path(), clock));
  QProcess tool;
  const QString toolPath = QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool");
  const bool withTool = QFile::exists(toolPath);
  qint64 toolStart = clock.elapsed(), toolTook = -1;
  if (withTool) tool.start(toolPath, {"record", "--seconds", QString::number(kSeconds), dir.filePath("tool.mp3")});
  std::vector<qint64> starts;
  for (auto& t : takes) {
    starts.push_back(clock.elapsed());
    t->Out->Start();
  }
  const bool finished = WaitUntil(
      [&] {
        if (withTool && toolTook < 0 && tool.state() == QProcess::NotRunning) toolTook = clock.elapsed();
        for (auto& t : takes)
          if (!t->Done && t->Failure.isEmpty()) return false;
        return !withTool || toolTook >= 0;
      },
      (kSeconds + 20) * 1000);
  for (size_t i = 0; i < takes.size(); ++i) {
    TTake& t = *takes[i];
    EXPECT_TRUE(t.Done) << t.Name.toStdString() << " has not ended";
    EXPECT_EQ(t.Failure, QString()) << t.Name.toStdString();
    EXPECT_EQ(t.In->LostBytes(), 0) << t.Name.toStdString();
    if (t.Done) CheckTake(t.Name, t.File, t.Frequency, t.TookMs, starts[i]);
    t.Out->RequestStop(false);
    t.Out->WaitForStop();
  }
  ASSERT_TRUE(finished);
  if (withTool) {
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    CheckTake("velmora-tool record", dir.filePath("tool.mp3"), defaultFrequency, toolTook, toolStart);
  }
}

TEST(RealSourcesTest, EveryKindOfPulseAudioSourceRecordsInRealTimeWithoutGaps)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  TServerSetup server;
  QTemporaryDir dir;
  ASSERT_TRUE(WriteToneWav(dir.filePath("1000.wav"), kSeconds + 20, 1000, 0.5));
  ASSERT_TRUE(WriteToneWav(dir.filePath("700.wav"), kSeconds + 20, 700, 0.5));
  Pactl({"set-sink-mute", "rec_sink", "0"});
  Pactl({"set-sink-volume", "rec_sink", "100%"});
  // A source that paces itself like a card, a 48 kHz output's monitor and a
  // mono source made from it.
  ASSERT_TRUE(server.Load({"module-sine-source", "source_name=velmora_sine", "frequency=500"}));
  ASSERT_TRUE(server.Load({"module-null-sink", "sink_name=velmora_sink48", "rate=48000"}));
  ASSERT_TRUE(server.Load({"module-remap-source", "source_name=velmora_mono", "master=velmora_sink48.monitor",
                           "channels=1", "channel_map=mono"}));
  ASSERT_TRUE(server.Play({"paplay", "--device=rec_sink", dir.filePath("1000.wav")}));
  ASSERT_TRUE(server.Play({"paplay", "--device=velmora_sink48", dir.filePath("700.wav")}));
  for (const char* source : {"velmora_sine", "velmora_mono", "velmora_sink48.monitor", "rec_sink.monitor"}) {
    Pactl({"set-source-mute", source, "0"});
    Pactl({"set-source-volume", source, "100%"});
  }
  ASSERT_TRUE(WaitUntil([] { return SinkIsPlaying(); }, 5000));
  TNamedSources named;
  named.List = {{PulseDevice("rec_sink.monitor"), "monitor"},
                {PulseDevice("velmora_sine"), "sine"},
                {PulseDevice("velmora_sink48.monitor"), "48 kHz"},
                {PulseDevice("velmora_mono"), "mono"}};
  // The default input switched while nothing records: the next take follows it.
  ASSERT_EQ(Pactl({"set-default-source", "velmora_sine"}), "");
  RecordSideBySide({{"monitor", 1000}, {"sine", 500}, {"48 kHz", 700}, {"mono", 700}}, named, 500);
}

TEST(RealSourcesTest, PipeWireSourcesRecordInRealTimeWithoutGaps)
{
  const QByteArray server = qgetenv("VELMORA_PIPEWIRE_SERVER");
  if (server.isEmpty()) GTEST_SKIP() << "needs PipeWire as scripts/test starts it (scripts/lib/pipewire-server)";
  TScopedEnv pulse("PULSE_SERVER", server);
  TServerSetup setup;
  QTemporaryDir dir;
  ASSERT_TRUE(WriteToneWav(dir.filePath("1000.wav"), kSeconds + 20, 1000, 0.5));
  // A source fed through a pipe, paced by the server's clock.
  const QString fifo = dir.filePath("source.pipe");
  ASSERT_TRUE(setup.Load({"module-pipe-source", "source_name=velmora_pipe", "file=" + fifo, "format=s16le",
                          "rate=44100", "channels=2"}));
  ASSERT_TRUE(WriteToneWav(dir.filePath("600.wav"), kSeconds + 20, 600, 0.5));
  ASSERT_TRUE(setup.Play({"sh", "-c", "tail -c +45 \"$0\" >\"$1\"", dir.filePath("600.wav"), fifo}));
  ASSERT_TRUE(setup.Play({"paplay", "--device=pw_sink", dir.filePath("1000.wav")}));
  ASSERT_TRUE(WaitUntil([] { return SinkIsPlaying(); }, 5000));
  TNamedSources named;
  named.List = {{PulseDevice("pw_sink.monitor"), "monitor"}, {PulseDevice("velmora_pipe"), "pipe"}};
  ASSERT_EQ(Pactl({"set-default-source", "velmora_pipe"}), "");
  RecordSideBySide({{"monitor", 1000}, {"pipe", 600}}, named, 600);
}

// Waits out `ms` of wall time while the worker's calls are serviced.
void Pass(int ms)
{
  QElapsedTimer t;
  t.start();
  WaitUntil([&] { return t.elapsed() >= ms; }, ms + 1000);
}

// A source that stops delivering (suspended), then a server that freezes for
// ten seconds: the recording goes on through both, says how long nothing
// came, and the file plays with the audio before, between and after.
TEST(RealSourcesTest, ASuspendedSourceAndAFrozenServerAreRecordedThroughAndReported)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  TPrivateSoundServer server;  // frozen without holding up the shared one
  ASSERT_TRUE(server.Start());
  TScopedEnv pulse("PULSE_SERVER", "unix:" + QFile::encodeName(server.Socket()));
  ASSERT_EQ(Pactl({"load-module", "module-sine-source", "source_name=velmora_sine", "frequency=500"}).toUInt() > 0, true);
  ASSERT_EQ(Pactl({"set-default-source", "velmora_sine"}), "");
  QTemporaryDir dir;
  TDXAudioIn in(nullptr);
  in.SetDeviceNumber(0);  // the default input
  in.SetInBitsPerSample(16);
  in.SetInChannels(2);
  in.SetInSampleRate(44100);
  in.SetBytesToRead(-1);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  out.SetFileName(dir.filePath("through.mp3"));
  QString failure;
  out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) { failure = m; }));
  out.Start();
  const qint64 second = 44100 * 4;
  ASSERT_TRUE(WaitUntil([&] { return in.Position() >= second; }, 10000)) << failure.toStdString();
  ASSERT_EQ(Pactl({"suspend-source", "velmora_sine", "1"}), "");
  Pass(5000);
  ASSERT_EQ(Pactl({"suspend-source", "velmora_sine", "0"}), "");
  const qint64 beforeFreeze = in.Position();
  ::kill(server.Pid(), SIGSTOP);
  Pass(10000);
  ::kill(server.Pid(), SIGCONT);
  EXPECT_TRUE(WaitUntil([&] { return in.Position() >= beforeFreeze + second; }, 10000)) << "no audio after the freeze";
  EXPECT_EQ(failure, QString());
  EXPECT_NE(out.State(), TAuOutput::asIdle) << "the recording goes on";
  const qint64 recorded = in.Position();
  out.RequestStop(true);
  out.WaitForStop();
  // The suspended source sent nothing for its 5 s; the frozen server renders
  // the time it missed once it runs again, so that costs the recording nothing.
  EXPECT_GE(in.StalledMs(), 4000) << "the time nothing came is reported";
  EXPECT_LE(in.StalledMs(), 17000);
  EXPECT_EQ(in.LostBytes(), 0);
  const TDecoded d = DecodeMp3(dir.filePath("through.mp3"));
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), double(recorded) / second, 0.6);
  EXPECT_GT(AnalyzeContinuity(d, 500).Level, 2000);
}

// A reader that stalls longer than the looping buffer lasts loses the oldest
// audio and is told exactly how much; the capture goes on.
TEST(RealSourcesTest, AStalledReaderLosesAudioAndIsToldHowMuch)
{
  if (qEnvironmentVariableIsEmpty("VELMORA_SOUND_SERVER")) GTEST_SKIP() << "needs the sound server of scripts/test";
  // The monitor hands audio over in small blocks, so a reader on time loses nothing.
  TAlsaCaptureSystem alsa;
  std::unique_ptr<TCaptureDevice> device;
  ASSERT_EQ(alsa.Open({PulseDevice("rec_sink.monitor"), "monitor"}, device), TCaptureResult::Ok);
  const uint32_t ring = 44100 * 4;  // one second
  ASSERT_EQ(device->CreateBuffer(TCaptureFormat(), ring), TCaptureResult::Ok);
  ASSERT_EQ(device->Start(), TCaptureResult::Ok);
  Pass(5000);  // the monitor starts within 2 s: at least two seconds too many
  uint32_t ready = 0;
  ASSERT_EQ(device->BytesReady(ready), TCaptureResult::Ok);
  EXPECT_EQ(ready, ring) << "a full buffer of the newest audio";
  std::vector<uint8_t> scratch(ring);
  device->Read(scratch.data(), ready);
  EXPECT_GE(device->LostBytes(), 44100 * 4u) << "what the full buffer could not keep is counted";
  const uint64_t lost = device->LostBytes();
  // Read on time from now on: nothing more is lost, and the audio flows.
  uint64_t taken = 0;
  for (int i = 0; i < 12; ++i) {
    device->Wait(250);
    device->BytesReady(ready);
    device->Read(scratch.data(), ready);
    taken += ready;
  }
  EXPECT_EQ(device->LostBytes(), lost);
  EXPECT_GT(taken, 44100 * 4u) << "the capture went on";
  EXPECT_EQ(device->Failure(), QString());
  device->Stop();
}

} // namespace
