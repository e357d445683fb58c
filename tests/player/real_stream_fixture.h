// The player on GStreamer against local station servers, with a private
// sound server whose null sink's monitor the tests record back: the media
// (made once with ffmpeg), the sound server and the tone check.
#pragma once

#include "audio/station_player.h"
#include "support/private_sound_server.h"
#include "support/pump.h"
#include "support/stream_server.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>



inline QByteArray Media(QTemporaryDir* media, const QString& name)
{
  QFile f(media->filePath(name));
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool Ffmpeg(QTemporaryDir* media, const QStringList& args)
{
  QProcess p;
  p.setWorkingDirectory(media->path());
  p.start("ffmpeg", QStringList{"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i"} + args);
  return p.waitForFinished(60000) && p.exitCode() == 0;
}

// Share of the recording's energy at `frequency` (Goertzel), 0..1.
inline double ToneShare(const QByteArray& pcm, double frequency)
{
  const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
  const qsizetype n = pcm.size() / 2;
  const double w = 2 * M_PI * frequency / 44100;
  double a = 0, b = 0, energy = 0;
  for (qsizetype i = 0; i < n; ++i) {
    const double x = s[i] / 32768.0;
    const double c = x + 2 * std::cos(w) * a - b;
    b = a;
    a = c;
    energy += x * x;
  }
  const double power = a * a + b * b - 2 * std::cos(w) * a * b;
  return energy > 0 ? 2 * power / (n * energy) : 0;
}

class RealStreamTest : public ::testing::Test {
protected:
  static void SetUpTestSuite()
  {
    media = new QTemporaryDir;
    sound = new TPrivateSoundServer;
    if (!sound->Start()) return;
    qputenv("PULSE_SERVER", ("unix:" + sound->Socket()).toUtf8());
    const QString sine = "sine=frequency=440:duration=%1";
    made = Ffmpeg(media, {sine.arg(12), "-ac", "2", "-ar", "44100", "-b:a", "128k", "-id3v2_version", "0", "-write_xing", "0", "tone.mp3"}) &&
           Ffmpeg(media, {sine.arg(6), "-ac", "2", "-c:a", "aac", "-b:a", "96k", "-f", "adts", "tone.aac"}) &&
           Ffmpeg(media, {sine.arg(6), "-ac", "2", "-ar", "48000", "-c:a", "libopus", "-b:a", "64k", "tone.opus"}) &&
           Ffmpeg(media, {sine.arg(6), "-ac", "2", "-c:a", "aac", "-b:a", "96k", "-f", "hls", "-hls_time", "1", "-hls_list_size", "0",
                   "-hls_segment_filename", "seg%d.ts", "index.m3u8"});
  }
  static void TearDownTestSuite()
  {
    qunsetenv("PULSE_SERVER");
    delete sound;
    delete media;
  }
  void SetUp() override
  {
    if (!made) GTEST_SKIP() << "needs pulseaudio and ffmpeg (scripts/setup)";
    QString error;
    auto engine = CreateGstStreamEngine(&error);
    ASSERT_TRUE(engine) << error.toStdString();
    player = std::make_unique<TStationPlayer>(std::move(engine));
  }
  void TearDown() override
  {
    if (player) player->Stop();
  }
  TStationPlayer::TState WaitForEnd(int ms)
  {
    PumpUntil([&] { return player->State() == TStationPlayer::psPlaying || player->State() == TStationPlayer::psFailed; }, ms);
    return player->State();
  }
  void Play(const QString& path) { player->Play({path, path, server.Url(path), {}, {}}); }
  // What reaches the null sink while the player plays, from about now on.
  QByteArray Record(int ms)
  {
    QProcess parec;
    parec.start("parec", {"--device=private_sink.monitor", "--format=s16le", "--rate=44100", "--channels=1", "--raw",
                          "--latency-msec=50"});
    parec.waitForStarted();
    QByteArray pcm;
    const qsizetype want = qsizetype(44100) * 2 * ms / 1000;
    PumpUntil([&] { return (pcm += parec.readAllStandardOutput()).size() >= want; }, ms + 5000);
    parec.kill();
    parec.waitForFinished();
    return pcm;
  }
  void ExpectTone(const char* what)
  {
    const QByteArray pcm = Record(700);
    EXPECT_GT(ToneShare(pcm, 440), 0.5) << what << ": " << pcm.size() << " bytes recorded";
  }
  TStreamServer::TRoute Stream(const QByteArray& data, int bytesPerSecond, const QByteArray& type = "audio/mpeg")
  {
    TStreamServer::TRoute r;
    r.ContentType = type;
    r.Body = data;
    r.BytesPerSecond = bytesPerSecond;
    return r;
  }

  QByteArray Media(const QString& name) { return ::Media(media, name); }

  static inline QTemporaryDir* media = nullptr;
  static inline TPrivateSoundServer* sound = nullptr;
  static inline bool made = false;
  TStreamServer server;
  std::unique_ptr<TStationPlayer> player;
};

