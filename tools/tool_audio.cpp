// velmora-tool record / devices: records the capture device to MP3 through the
// program's own components (TDXAudioIn into TMP3Out).
#include "app/form_record.h"
#include "audio/dx_audio_in.h"
#include "audio/mp3_out.h"
#include "browser/site_addresses.h"
#include "platform/capture_sources.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringList>
#include <QTextStream>
#include <QTimer>
#include <atomic>
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
  // The names the record window and `record --device` take, the default first.
  for (int i = 0; i < in.DeviceCount(); ++i) out << in.Device(i).Description << "\n";
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
  int rate = -1;
  for (int r = TMP3Out::br8; r <= TMP3Out::br320; ++r)
    if (TMP3Out::Kbps(TMP3Out::TMP3BitRate(r)) == kbps) rate = r;
  if (rate < 0) return Usage(QString("no MP3 bit rate of %1 kbps").arg(kbps));

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
  const qint64 frames = std::llround(seconds * 44100);
  in.SetBytesToRead(frames > 0 ? frames * 4 : -1);
  TMP3Out out(nullptr);
  out.SetInput(&in);
  out.SetBitRate(TMP3Out::TMP3BitRate(rate));
  out.SetFileName(file);
  if (tags) {
    for (const auto& [name, value] : RecordWindowTags()) out.setProperty(name.toLatin1().constData(), value);
    SetMakerTags(&out, file, MakerSiteAddress());
  }

  QString failure;
  std::atomic<bool> done{false};
  // The wait sleeps until something happens: the worker's calls arrive as
  // events, a signal through a pipe; only the time shown on a terminal ticks.
  QEventLoop loop;
  out.SetOnThreadException(TThreadExceptionEvent([&](TObject*, const QString& m) {
    failure = m;
    loop.quit();
  }));
  out.SetOnDone(TOutputDoneEvent([&](TObject*) {
    done = true;
    loop.quit();
  }));
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int err = errno;
    if (!existed) QFile::remove(file);
    QTextStream(stderr) << "record: " << QString::fromLocal8Bit(std::strerror(err)) << "\n";
    return 1;
  }
  QSocketNotifier signalNotifier(pipeFds[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
  g_interrupted = false;
  g_signalPipe = pipeFds[1];
  auto oldInt = std::signal(SIGINT, OnSignal);
  auto oldTerm = std::signal(SIGTERM, OnSignal);
  QTextStream err(stderr);
  err << "recording " << in.Device(device).Description << " to " << file << " at " << kbps << " kbps"
      << (frames > 0 ? QString(" for %1 s").arg(seconds) : QString(", Ctrl-C stops")) << "\n";
  err.flush();
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
  if (!done && failure.isEmpty() && out.State() != TAuOutput::asIdle && !g_interrupted) loop.exec();
  clock.stop();
  if (g_interrupted && !done) {
    // A stop closes the file completely before the wait returns.
    out.RequestStop(false);
    out.WaitForStop();
  }
  // Let OnDone or OnThreadException of a run that ended by itself arrive.
  for (int i = 0; i < 20 && !done && failure.isEmpty() && !g_interrupted; ++i) CheckSynchronize(10);
  std::signal(SIGINT, oldInt);
  std::signal(SIGTERM, oldTerm);
  g_signalPipe = -1;
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  err << "\n";
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
