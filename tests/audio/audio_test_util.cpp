#include "audio_test_util.h"

#include "support/pump.h"

#include <algorithm>

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <cmath>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cmath>
#include <mpg123.h>

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) { return PumpUntil(done, timeoutMs); }

void TToneInput::OpenInput()
{
  if (FailOpen) throw EAuException(QStringLiteral("tone input cannot open"));
  ++Opens;
  frame_ = 0;
  position_ = 0;
  size_ = TotalBytes < 0 ? -1 : static_cast<int>(TotalBytes);
  busy_ = true;
}

void TToneInput::CloseInput()
{
  ++Closes;
  busy_ = false;
}

int TToneInput::ReadData(void* buffer, int capacity)
{
  if (FailAtBytes >= 0 && Position() >= FailAtBytes) throw EAuException(QStringLiteral("tone input failed"));
  const int frameBytes = Channels * Bits / 8;
  qint64 bytes = capacity - capacity % frameBytes;
  if (TotalBytes >= 0) bytes = std::min<qint64>(bytes, TotalBytes - Position());
  const qint64 frames = bytes / frameBytes;
  auto* out = static_cast<uint8_t*>(buffer);
  const int sampleBytes = Bits / 8;
  for (qint64 i = 0; i < frames; ++i, ++frame_) {
    for (int c = 0; c < Channels; ++c) {
      const double f = c == 1 && RightFrequency > 0 ? RightFrequency : Frequency;
      const double v = Amplitude * std::sin(2 * M_PI * f * double(frame_) / Rate);
      // Little-endian, 8-bit unsigned, wider signed.
      const long full = std::lround(v * double((1L << (Bits - 1)) - 1));
      const unsigned long bits = sampleBytes == 1 ? static_cast<unsigned long>(full + 128) : static_cast<unsigned long>(full);
      uint8_t* sample = out + (i * Channels + c) * sampleBytes;
      for (int b = 0; b < sampleBytes; ++b) sample[b] = static_cast<uint8_t>(bits >> (8 * b));
    }
  }
  position_ += static_cast<int>(frames * frameBytes);
  return static_cast<int>(frames * frameBytes);
}

namespace {
std::string Str(const mpg123_string* s)
{
  if (!s || !s->p || s->fill == 0) return {};
  return std::string(s->p, strnlen(s->p, s->fill));
}
std::string Field(const char* p, size_t n)
{
  std::string s(p, strnlen(p, n));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}
} // namespace

TDecoded DecodeMp3(const QString& path)
{
  TDecoded d;
  mpg123_handle* mh = mpg123_new(nullptr, nullptr);
  if (!mh) return d;
  mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS, 0);
  mpg123_format_none(mh);
  for (long r : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L})
    mpg123_format(mh, r, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open(mh, QFile::encodeName(path).constData()) != MPG123_OK) {
    mpg123_delete(mh);
    return d;
  }
  int enc = 0;
  if (mpg123_getformat(mh, &d.Rate, &d.Channels, &enc) != MPG123_OK) {
    mpg123_close(mh);
    mpg123_delete(mh);
    return d;
  }
  d.ReportedLength = mpg123_length(mh);
  for (;;) {
    off_t num;
    unsigned char* audio;
    size_t bytes;
    const int r = mpg123_decode_frame(mh, &num, &audio, &bytes);
    if (r == MPG123_NEW_FORMAT) continue;
    if (r != MPG123_OK) break;
    mpg123_frameinfo2 info{};
    if (mpg123_info(mh, &info) == MPG123_OK) d.Bitrates.push_back(info.bitrate);
    const auto* s = reinterpret_cast<const int16_t*>(audio);
    d.Samples.insert(d.Samples.end(), s, s + bytes / 2);
  }
  mpg123_id3v1* v1 = nullptr;
  mpg123_id3v2* v2 = nullptr;
  if (mpg123_id3(mh, &v1, &v2) == MPG123_OK) {
    if (v2) {
      d.Title = Str(v2->title);
      d.Artist = Str(v2->artist);
      d.Album = Str(v2->album);
      d.Year = Str(v2->year);
      d.Comment = Str(v2->comment);
      d.Genre = Str(v2->genre);
      for (size_t i = 0; i < v2->texts; ++i)
        if (std::string(v2->text[i].id, 4) == "TRCK") d.Track = Str(&v2->text[i].text);
        else if (std::string(v2->text[i].id, 4) == "TDAT") d.DayMonth = Str(&v2->text[i].text);
    }
    if (v1 && std::string(v1->tag, 3) == "TAG") {
      d.HasV1 = true;
      d.V1Title = Field(v1->title, 30);
      d.V1Artist = Field(v1->artist, 30);
      d.V1Album = Field(v1->album, 30);
      d.V1Year = Field(v1->year, 4);
      d.V1Comment = Field(v1->comment, 28);
    }
  }
  d.Ok = true;
  mpg123_close(mh);
  mpg123_delete(mh);
  return d;
}

TToneContinuity AnalyzeContinuity(const TDecoded& d, double frequency, int channel)
{
  TToneContinuity c;
  if (d.Rate <= 0 || d.Channels <= channel) return c;
  const size_t window = size_t(d.Rate / 50);
  const double w = 2 * M_PI * frequency / double(d.Rate);
  std::vector<double> amplitude, phase;
  for (size_t at = 0; at + window <= d.Frames(); at += window) {
    double i = 0, q = 0;
    for (size_t n = at; n < at + window; ++n) {
      const double v = d.Samples[n * size_t(d.Channels) + size_t(channel)];
      // Against the file's clock: a steady tone keeps one phase in every window.
      i += v * std::cos(w * double(n));
      q += v * std::sin(w * double(n));
    }
    amplitude.push_back(2 * std::hypot(i, q) / double(window));
    phase.push_back(std::atan2(q, i));
  }
  if (amplitude.empty()) return c;
  std::vector<double> sorted = amplitude;
  std::sort(sorted.begin(), sorted.end());
  c.Level = sorted[sorted.size() * 9 / 10];
  if (c.Level < 100) return c;  // no tone at all
  size_t first = 0;
  while (first < amplitude.size() && amplitude[first] < c.Level / 2) ++first;
  c.FirstToneAt = double(first * window) / double(d.Rate);
  c.ToneSeconds = double(d.Frames()) / double(d.Rate) - c.FirstToneAt;
  // The encoder's padding after the last audio is no break.
  size_t last = amplitude.size() - 1;
  while (last > first && amplitude[last] < c.Level / 2) --last;
  bool broken = false;  // inside a break: counted once
  for (size_t k = first + 1; k <= last; ++k) {
    double jump = std::remainder(phase[k] - phase[k - 1], 2 * M_PI);
    const bool ok = amplitude[k] >= c.Level / 2 && std::abs(jump) < 0.3;
    if (!ok && !broken) ++c.Gaps;
    broken = !ok;
  }
  return c;
}

TToneStats AnalyzeTone(const TDecoded& d, int channel, size_t from, size_t to)
{
  TToneStats t;
  to = std::min(to, d.Frames());
  if (to <= from + 2) return t;
  double sum = 0;
  int crossings = 0;
  double first = -1, last = -1;
  for (size_t i = from; i < to; ++i) {
    const double v = d.Samples[i * size_t(d.Channels) + size_t(channel)];
    sum += v * v;
    if (i > from) {
      const double p = d.Samples[(i - 1) * size_t(d.Channels) + size_t(channel)];
      if (p < 0 && v >= 0) {  // rising zero crossing, interpolated
        const double at = double(i - 1) + (-p) / (v - p);
        if (first < 0) first = at;
        last = at;
        ++crossings;
      }
    }
  }
  t.Rms = std::sqrt(sum / double(to - from));
  if (crossings > 1) t.Frequency = double(crossings - 1) * double(d.Rate) / (last - first);
  return t;
}

double LongestToneSeconds(const TDecoded& d, double frequency)
{
  const TToneStats whole = AnalyzeTone(d, 0, 0, d.Frames());
  const size_t window = size_t(d.Rate / 50);
  if (window == 0) return 0;
  size_t run = 0, best = 0;
  for (size_t at = 0; at + window <= d.Frames(); at += window) {
    const TToneStats t = AnalyzeTone(d, 0, at, at + window);
    run = t.Rms > whole.Rms / 2 && std::abs(t.Frequency - frequency) < 30 ? run + 1 : 0;
    best = std::max(best, run);
  }
  return double(best * window) / d.Rate;
}

QByteArray ReadAll(const QString& path)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

int64_t InfoFrameCount(const QString& path)
{
  const QByteArray data = ReadAll(path);
  qsizetype pos = 0;
  if (data.startsWith("ID3") && data.size() >= 10) {
    const auto b = [&](int i) { return qint64(uint8_t(data[i])); };
    pos = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
  }
  // The Xing/Info header sits inside the first frame, after the side information.
  const qsizetype at = std::max(data.indexOf("Info", pos), qsizetype(-1));
  const qsizetype xing = data.indexOf("Xing", pos);
  qsizetype tag = at;
  if (tag < 0 || (xing >= 0 && xing < tag)) tag = xing;
  if (tag < 0 || tag > pos + 64 || tag + 12 > data.size()) return -1;
  const auto be32 = [&](qsizetype i) {
    return (uint32_t(uint8_t(data[i])) << 24) | (uint32_t(uint8_t(data[i + 1])) << 16) |
           (uint32_t(uint8_t(data[i + 2])) << 8) | uint32_t(uint8_t(data[i + 3]));
  };
  const uint32_t flags = be32(tag + 4);
  if (!(flags & 1)) return -1;
  return be32(tag + 8);
}

bool FirstFrameIsEmptyPlaceholder(const QString& path)
{
  const QByteArray data = ReadAll(path);
  qsizetype pos = 0;
  if (data.startsWith("ID3") && data.size() >= 10) {
    const auto b = [&](int i) { return qint64(uint8_t(data[i]) & 0x7F); };
    pos = 10 + ((b(6) << 21) | (b(7) << 14) | (b(8) << 7) | b(9));
  }
  if (pos + 200 > data.size() || uint8_t(data[pos]) != 0xFF) return false;
  for (qsizetype i = pos + 4; i < pos + 200; ++i)
    if (data[i] != 0) return false;
  return true;
}

QString Pactl(const QStringList& args)
{
  QProcess p;
  p.start("pactl", args);
  if (!p.waitForFinished(5000)) return QStringLiteral("<pactl did not finish>");
  return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
}
