// velmora-tool record / record-station / devices: records the capture device,
// or a station played silently, to MP3 through the program's own components
// (TDXAudioIn or TStationAudioIn into TMP3Out).
#include "app/form_record.h"
#include "app/record_source.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "audio/station_audio_in.h"
#include "audio/station_player.h"
#include "browser/site_addresses.h"
#include "platform/capture_sources.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <atomic>
#include <functional>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
std::atomic<bool> g_interrupted{false};
int g_signalPipe = -1;  // write end: a signal wakes the event loop through it

void OnSignal(int)
{
  g_interrupted = true;
  if (g_signalPipe >= 0) {
    const int saved = errno;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe, "x", 1);
    errno = saved;
  }
}

int Usage(const QString& error)
{
  QTextStream(stderr) << "record: " << error << "\n"
                      << "usage: velmora-tool record [--device NAME] [--bitrate KBPS] [--seconds S] [--no-tags] OUT.mp3\n";
  return 2;
}

bool ParseInt(const QStringList& args, int& i, int& value)
{
  if (i + 1 >= args.size()) return false;
  bool ok = false;
  value = args[++i].toInt(&ok);
  return ok;
}

// While it lives, SIGINT and SIGTERM set g_interrupted and wake `loop`.
class TSignalWake {
public:
  explicit TSignalWake(QEventLoop& loop)
  {
    if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
      error = QString::fromLocal8Bit(std::strerror(errno));
      fds_[0] = fds_[1] = -1;
      return;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fds_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    g_interrupted = false;
    g_signalPipe = fds_[1];
    oldInt_ = std::signal(SIGINT, OnSignal);
    oldTerm_ = std::signal(SIGTERM, OnSignal);
  }
  ~TSignalWake()
  {
    if (fds_[0] < 0) return;
    std::signal(SIGINT, oldInt_);
    std::signal(SIGTERM, oldTerm_);
    g_signalPipe = -1;
    notifier_.reset();
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  QString error;  // the pipe could not be made

private:
  int fds_[2];
  std::unique_ptr<QSocketNotifier> notifier_;
  void (*oldInt_)(int) = SIG_DFL;
  void (*oldTerm_)(int) = SIG_DFL;
};

// Starts `out` and waits until it ends, fails, or a signal or `stopNow`
// stops it (the file then finished; `stopNow` is asked whenever `loop`
// wakes); the time is shown on a terminal. The failure, or "".
QString RunRecording(TMP3Out& out, QEventLoop& loop, QTextStream& err, const std::function<bool()>& stopNow = {})
{
  auto stopped = [&] { return g_interrupted || (stopNow && stopNow()); };
  QString failure;
  bool done = false;
  // The wait sleeps until something happens: the worker's calls arrive as
  // events, a signal through a pipe; only the time shown on a terminal ticks.
  out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) {
    failure = m;
    loop.quit();
  }));
  out.SetOnDone(TOutputDoneEvent([&](TObject*) {
    done = true;
    loop.quit();
  }));
  const bool showTime = isatty(2);
  int shown = -1;
  QTimer clock;
  QObject::connect(&clock, &QTimer::timeout, &loop, [&] {
    if (out.State() == TAuOutput::asIdle) loop.quit();  // ended without a word
    if (const int s = out.ElapsedSeconds(); showTime && s != shown) {
      shown = s;
      err << QString("\r%1:%2").arg(s / 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
      err.flush();
    }
  });
  clock.start(showTime ? 250 : 1000);
  out.Start();
  while (!done && failure.isEmpty() && out.State() != TAuOutput::asIdle && !stopped()) loop.exec();
  clock.stop();
  if (stopped() && !done) {
    // A stop closes the file completely before the wait returns.
    out.RequestStop(false);
    out.WaitForStop();
  }
  // Let OnDone or OnThreadException of a run that ended by itself arrive.
  for (int i = 0; i < 20 && !done && failure.isEmpty() && !stopped(); ++i) CheckSynchronize(10);
  out.SetOnThreadException({});
  out.SetOnDone({});
  err << "\n";
  return failure;
}

// Points `out` at `in` for `seconds` of 44.1 kHz 16-bit stereo (0: until
// stopped), writing `file` at bit rate `rate`, with the record window's and
// the maker's tags when `tags`. The frames asked for (0: no limit).
template <class Input>
qint64 ConnectRecording(Input& in, TMP3Out& out, double seconds, TMP3Out::TMP3BitRate rate, const QString& file, bool tags)
{
  const qint64 frames = std::llround(seconds * 44100);
  in.SetBytesToRead(frames > 0 ? frames * 4 : -1);
  out.SetInput(&in);
  out.SetBitRate(rate);
  out.SetFileName(file);
  if (tags) {
    for (const auto& [name, value] : RecordWindowTags()) out.setProperty(name.toLatin1().constData(), value);
    SetMakerTags(&out, file, MakerSiteAddress());
  }
  return frames;
}

// The target can be written: said before anything is announced or opened.
QString CannotWrite(const QString& file)
{
  const QByteArray path = QFile::encodeName(file);
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
  ::close(fd);
  return QString();
}
} // namespace

int RunDevicesCommand(QStringList args)
{
  if (!args.isEmpty()) {
    QTextStream(stderr) << "usage: velmora-tool devices\n";
    return 2;
  }
  TDXAudioIn in(nullptr);
  QTextStream out(stdout);
  if (in.DeviceCount() == 0) out << "no capture devices\n";
  // The names the record window takes, the default first; `record --device`
  // takes the sound card's, `record-station` records a station.
  for (const QString& name : RecordSourceNames(in)) out << name << "\n";
  return 0;
}

int RunRecordCommand(QStringList args)
{
  QString deviceName;
  int kbps = 128;
  double seconds = 0;
  bool tags = true;
  QString file;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--device") {
      if (i + 1 >= args.size() || args[i + 1].isEmpty()) return Usage("--device needs a source name (see velmora-tool devices)");
      deviceName = args[++i];
    } else if (a == "--bitrate") {
      if (!ParseInt(args, i, kbps)) return Usage("--bitrate needs a number");
    } else if (a == "--seconds") {
      bool ok = i + 1 < args.size();
      if (ok) seconds = args[++i].toDouble(&ok);
      // The byte count is 64-bit: the bound only keeps it from overflowing.
      if (!ok || !std::isfinite(seconds) || seconds < 0 || seconds * 44100 * 4 >= 9.2e18)
        return Usage("--seconds needs a number of seconds (decimals allowed)");
    } else if (a == "--no-tags") {
      tags = false;
    } else if (a.startsWith("--")) {
      return Usage("unknown option " + a);
    } else if (file.isEmpty()) {
      file = a;
    } else {
      return Usage("only one output file");
    }
  }
  if (file.isEmpty()) return Usage("no output file");
  if (deviceName == kListenedStationName)
    return Usage(QString::fromUtf8("velmora-tool 不收听电台：请用 velmora-tool record-station URL 录制电台"));
  const std::optional<TMP3Out::TMP3BitRate> rate = TMP3Out::BitRateOf(kbps);
  if (!rate) return Usage(QString("no MP3 bit rate of %1 kbps").arg(kbps));

  const bool existed = QFileInfo::exists(file);
  if (const QString reason = CannotWrite(file); !reason.isEmpty()) {
    QTextStream(stderr) << "record: cannot write " << file << ": " << reason << "\n";
    return 1;
  }
  TDXAudioIn in(nullptr);
  // A name as `devices` lists it; a number still picks by place in the list.
  int device = deviceName.isEmpty() ? 0 : in.DeviceIndex(deviceName);
  if (device < 0) {
    bool isNumber = false;
    const int number = deviceName.toInt(&isNumber);
    if (isNumber) device = number;
  }
  if (device < 0 || device >= in.DeviceCount()) {
    // The check made the file: nothing of it stays when nothing is recorded.
    if (!existed) QFile::remove(file);
    QTextStream(stderr) << "record: no capture source \"" << deviceName << "\" (see velmora-tool devices)\n";
    return 1;
  }
  in.SetDeviceNumber(device);
  in.SetInBitsPerSample(16);
  in.SetInChannels(2);
  in.SetInSampleRate(44100);
  TMP3Out out(nullptr);
  const qint64 frames = ConnectRecording(in, out, seconds, *rate, file, tags);

  QEventLoop loop;
  TSignalWake wake(loop);
  QTextStream err(stderr);
  if (!wake.error.isEmpty()) {
    if (!existed) QFile::remove(file);
    err << "record: " << wake.error << "\n";
    return 1;
  }
  err << "recording " << in.Device(device).Description << " to " << file << " at " << kbps << " kbps"
      << (frames > 0 ? QString(" for %1 s").arg(seconds) : QString(", Ctrl-C stops")) << "\n";
  err.flush();
  QString failure = RunRecording(out, loop, err);
  if (!failure.isEmpty()) {
    // A recording that could not start leaves no empty file behind.
    if (in.Position() == 0 && QFileInfo(file).size() == 0) QFile::remove(file);
    // Through a sound server that is not there the device cannot open: say that.
    if (in.Position() == 0 && failure.startsWith("Failed to create DirectSound device") && !SoundServerRunning())
      failure = kNoSoundServerText;
    err << "record: " << failure << "\n";
    return 1;
  }
  const double recorded = double(in.Position()) / (44100.0 * 4);
  err << QString("wrote %1: %2 s, %3 bytes\n").arg(file).arg(recorded, 0, 'f', 2).arg(QFileInfo(file).size());
  if (const qint64 lost = in.LostBytes(); lost > 0)
    err << QString("lost %1 s of audio that the recording could not take in time\n").arg(double(lost) / (44100.0 * 4), 0, 'f', 2);
  if (const qint64 stalled = in.StalledMs(); stalled > 0)
    err << QString("the source sent nothing for %1 s\n").arg(double(stalled) / 1000.0, 0, 'f', 1);
  return 0;
}

namespace {
// How long a station that plays may take to name what it plays before the recording starts.
constexpr qint64 kTitleWaitMs = 2000;

int StationUsage(const QString& error)
{
  QTextStream(stderr) << "record-station: " << error << "\n"
                      << "usage: velmora-tool record-station URL [--seconds S | --minutes M] [--bitrate KBPS] [--name NAME] [--split] OUT.mp3\n"
                      << "  --split: a new file for every track (named after its title, beside OUT.mp3)\n";
  return 2;
}
} // namespace

int RunRecordStationCommand(QStringList args)
{
  QString address, file, name;
  int kbps = 128;
  double seconds = 0;
  bool split = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--split") {
      split = true;
    } else if (a == "--seconds" || a == "--minutes") {
      bool ok = i + 1 < args.size();
      double value = 0;
      if (ok) value = args[++i].toDouble(&ok);
      seconds = a == "--minutes" ? value * 60 : value;
      if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds * 44100 * 4 >= 9.2e18)
        return StationUsage(QString::fromUtf8("%1 后面要写一个大于 0 的数（可带小数）").arg(a));
    } else if (a == "--bitrate") {
      if (!ParseInt(args, i, kbps)) return StationUsage(QString::fromUtf8("--bitrate 后面要写比特率（kbps）"));
    } else if (a == "--name") {
      if (i + 1 >= args.size()) return StationUsage(QString::fromUtf8("--name 后面要写电台的名字"));
      name = args[++i];
    } else if (a.startsWith("--")) {
      return StationUsage(QString::fromUtf8("未知的选项 %1").arg(a));
    } else if (address.isEmpty()) {
      address = a;
    } else if (file.isEmpty()) {
      file = a;
    } else {
      return StationUsage(QString::fromUtf8("只能写一个电台地址和一个输出文件"));
    }
  }
  if (file.isEmpty()) return StationUsage(QString::fromUtf8("缺少电台地址或输出文件"));
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") || url.host().isEmpty())
    return StationUsage(QString::fromUtf8("“%1”不是电台的网址（http:// 或 https://）").arg(address));
  const std::optional<TMP3Out::TMP3BitRate> rate = TMP3Out::BitRateOf(kbps);
  if (!rate) return StationUsage(QString::fromUtf8("MP3 没有 %1 kbps 的比特率").arg(kbps));

  QTextStream err(stderr);
  const bool existed = QFileInfo::exists(file);
  if (const QString reason = CannotWrite(file); !reason.isEmpty()) {
    err << QString::fromUtf8("record-station: 无法写入 %1：%2\n").arg(file, reason);
    return 1;
  }
  // Nothing of the file stays when nothing is recorded.
  auto fail = [&](const QString& text) {
    if (!existed) QFile::remove(file);
    err << "record-station: " << text << "\n";
    return 1;
  };
  QString engineError;
  std::unique_ptr<TStreamEngine> engine = CreateGstStreamEngine(&engineError, false);
  if (!engine) return fail(QString::fromUtf8("无法播放电台：%1").arg(engineError));
  TStationPlayer player(std::move(engine));

  QEventLoop loop;
  TSignalWake wake(loop);
  if (!wake.error.isEmpty()) return fail(wake.error);
  // Reconnects and failures are said as they happen.
  QString said;
  QObject::connect(&player, &TStationPlayer::Changed, &loop, [&] {
    if (player.State() != TStationPlayer::psPlaying && player.State() != TStationPlayer::psFailed) {
      if (const QString m = player.Message(); !m.isEmpty() && m != said) {
        err << (said = m) << "\n";
        err.flush();
      }
    }
    if (player.State() == TStationPlayer::psPlaying || player.State() == TStationPlayer::psFailed) loop.quit();
  });
  err << QString::fromUtf8("正在连接 %1 …\n").arg(address);
  err.flush();
  player.Play({address, name.isEmpty() ? url.host() : name, address, {}, {}});
  while (player.State() != TStationPlayer::psPlaying && player.State() != TStationPlayer::psFailed && !g_interrupted) loop.exec();
  if (g_interrupted) return fail(QString::fromUtf8("还没有开始录音就被中止了"));
  if (player.State() == TStationPlayer::psFailed) return fail(QString::fromUtf8("无法录制电台：%1").arg(player.Message()));
  // The title is the stream's at the start: its metadata comes with the first sound, soon after.
  QElapsedTimer waited;
  waited.start();
  while (player.Title().isEmpty() && player.State() == TStationPlayer::psPlaying && !g_interrupted && waited.elapsed() < kTitleWaitMs) {
    QTimer::singleShot(int(kTitleWaitMs - waited.elapsed()), &loop, &QEventLoop::quit);
    loop.exec();
  }
  if (g_interrupted) return fail(QString::fromUtf8("还没有开始录音就被中止了"));
  // The station's name: as given, else as its stream says, else its server's.
  if (name.isEmpty()) name = player.StreamName();
  if (name.isEmpty()) name = url.host();

  TStationAudioIn in(nullptr, &player);
  TMP3Out out(nullptr);
  const qint64 frames = ConnectRecording(in, out, seconds, *rate, file, true);
  SetStationTags(&out, name, player.Title(), QDate::currentDate());
  err << QString::fromUtf8("正在录制 %1 到 %2（%3 kbps，%4）\n")
             .arg(player.Title().isEmpty() ? name : name + QString::fromUtf8(" — ") + player.Title(), file)
             .arg(kbps)
             .arg(frames > 0 ? QString::fromUtf8("%1 秒").arg(seconds) : QString::fromUtf8("Ctrl-C 停止"));
  err.flush();
  if (split) SplitByTrack(&player, &out, &loop);
  // A station that is gone for good (its reconnects spent) ends the take.
  const QString failure = RunRecording(out, loop, err, [&] { return player.State() == TStationPlayer::psFailed; });
  const QString lost = player.State() == TStationPlayer::psFailed ? player.Message() : QString();
  player.Stop();
  if (!failure.isEmpty()) {
    if (in.Position() == 0 && QFileInfo(file).size() == 0 && !existed) QFile::remove(file);
    err << QString::fromUtf8("record-station: 录音失败：%1\n").arg(failure);
    return 1;
  }
  const double perSecond = double(TStationAudioIn::BytesFor(1000));
  err << QString::fromUtf8("已写入 %1：%2 秒，%3 字节\n").arg(file).arg(double(in.Position()) / perSecond, 0, 'f', 2).arg(QFileInfo(file).size());
  if (split) {
    // Every frame the input delivered went to exactly one file's encoder.
    qint64 handed = 0;
    for (const TMP3Out::TPart& part : out.Parts()) {
      handed += part.Frames;
      err << QString::fromUtf8("分段 %1：%2 帧\n").arg(part.FileName).arg(part.Frames);
    }
    err << QString::fromUtf8("分段共 %1 个文件，交给编码器 %2 帧，录到 %3 帧\n")
               .arg(out.Parts().size())
               .arg(handed)
               .arg(in.Position() / TStationAudioIn::kFrameBytes);
    if (const QString problem = out.SplitProblem(); !problem.isEmpty())
      err << QString::fromUtf8("有一次没能分段，录音接着写在当前文件里：%1\n").arg(problem);
  }
  if (const qint64 silence = in.SilenceBytes(); silence > 0)
    err << QString::fromUtf8("电台没有声音的 %1 秒录成了静音\n").arg(double(silence) / perSecond, 0, 'f', 1);
  if (!lost.isEmpty()) {
    err << QString::fromUtf8("record-station: 录音提前结束：%1\n").arg(lost);
    return 1;
  }
  return 0;
}
