#include "support/played_tone.h"

#include "support/pump.h"

#include <QDataStream>
#include <QFile>
#include <cmath>

bool WriteToneWav(const QString& path, double seconds, double frequency, double amplitude)
{
  const int rate = 44100, channels = 2;
  const quint32 frames = quint32(seconds * rate);
  const quint32 dataBytes = frames * channels * 2;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  QDataStream s(&f);
  s.setByteOrder(QDataStream::LittleEndian);
  s.writeRawData("RIFF", 4);
  s << quint32(36 + dataBytes);
  s.writeRawData("WAVEfmt ", 8);
  s << quint32(16) << quint16(1) << quint16(channels) << quint32(rate) << quint32(rate * channels * 2)
    << quint16(channels * 2) << quint16(16);
  s.writeRawData("data", 4);
  s << dataBytes;
  for (quint32 i = 0; i < frames; ++i) {
    const auto v = qint16(std::lround(amplitude * 32767 * std::sin(2 * M_PI * frequency * i / rate)));
    s << v << v;
  }
  return s.status() == QDataStream::Ok;
}

bool SinkIsPlaying()
{
  QProcess p;
  p.start("pactl", {"list", "short", "sink-inputs"});
  if (!p.waitForFinished(5000)) return false;
  return !p.readAllStandardOutput().trimmed().isEmpty();
}

void TPlayedTone::Stop()
{
  if (player_.state() == QProcess::NotRunning) return;
  player_.kill();
  player_.waitForFinished(5000);
}

QString TPlayedTone::Start(bool untilTheSinkPlays)
{
  const QString wav = dir_.filePath(QStringLiteral("tone.wav"));
  if (!dir_.isValid() || !WriteToneWav(wav, seconds_, frequency_, amplitude_)) return QStringLiteral("no tone file");
  player_.start(QStringLiteral("paplay"), {wav});
  if (!player_.waitForStarted(5000)) return QStringLiteral("paplay did not start");
  if (untilTheSinkPlays && !PumpUntil(SinkIsPlaying, 5000)) return QStringLiteral("paplay never reached the sink");
  return QString();
}
