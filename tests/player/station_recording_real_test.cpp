// Recording the station on GStreamer against the local station server: the
// file holds the station's tone, not what the sound card's default source
// carries, at the wall clock's length, through a drop, and velmora-tool
// record-station does the same from the command line.
#include "app/form_record.h"
#include "audio/mp3_out.h"
#include "audio/station_audio_in.h"
#include "player/real_stream_fixture.h"
#include "audio/audio_test_util.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTcpServer>
#include <algorithm>
#include <iostream>

namespace {

constexpr double kStationTone = 440, kCardTone = 1000;

class StationRecordingTest : public RealStreamTest {
protected:
  // Records the player's station into `file` for `ms` of wall clock; the time it ran.
  double RecordFor(const QString& file, int ms)
  {
    TStationAudioIn in(nullptr, player.get());
    TMP3Out out(nullptr);
    out.SetInput(&in);
    out.SetFileName(file);
    SetStationTags(&out, player->Station().Name, player->Title(), QDate::currentDate());
    QElapsedTimer clock;
    clock.start();
    out.Start();
    PumpUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
    out.RequestStop(false);
    out.WaitForStop();
    silence = in.SilenceBytes();
    return clock.elapsed() / 1000.0;
  }
  // velmora-tool record-station with `args`: its exit code and what it said.
  int RunTool(const QStringList& args, QString* errors)
  {
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_BINARY_DIR "/tools/velmora-tool"), QStringList{"record-station"} + args);
    PumpUntil([&] { return tool.state() == QProcess::NotRunning || tool.waitForFinished(10); }, 30000);
    *errors = QString::fromUtf8(tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
  }
  QTemporaryDir dir;
  qint64 silence = 0;
};

TEST_F(StationRecordingTest, RecordsTheStationMutedOrNotAndNothingOfTheSoundCard)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 8192;
  r.Titles = {QString::fromUtf8("歌手甲 - 第一首")};
  server.Set("/live.mp3", r);
  player->Play({"k", QString::fromUtf8("测试电台"), server.Url("/live.mp3"), {}, {}});
  ASSERT_EQ(WaitForEnd(8000), TStationPlayer::psPlaying) << player->Message().toStdString();
  ASSERT_TRUE(PumpUntil([&] { return !player->Title().isEmpty(); }, 5000));
  // The card's default source carries another tone, and the muted station not at all.
  TPlayedTone card(30, kCardTone);
  ASSERT_EQ(card.Start(), QString());
  player->SetMuted(true);
  const QByteArray heard = Record(1500).right(44100 * 2 / 2);
  ASSERT_GT(ToneShare(heard, kCardTone), 0.5);
  ASSERT_LT(ToneShare(heard, kStationTone), 0.05);

  const QString file = dir.filePath("station.mp3");
  const double ran = RecordFor(file, 10000);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), ran, ran * 0.02);
  const TToneContinuity tone = AnalyzeContinuity(d, kStationTone);
  EXPECT_LT(tone.FirstToneAt, 0.1);
  EXPECT_EQ(tone.Gaps, 0);
  EXPECT_EQ(silence, 0);
  QByteArray left;
  for (size_t i = 0; i < d.Samples.size(); i += 2) left.append(reinterpret_cast<const char*>(&d.Samples[i]), 2);
  EXPECT_GT(ToneShare(left, kStationTone), 0.8);
  EXPECT_LT(ToneShare(left, kCardTone), 0.01);
  EXPECT_EQ(d.Title, "歌手甲 - 第一首");
  EXPECT_EQ(d.Artist, "测试电台");
  EXPECT_EQ(d.Year, QDate::currentDate().toString("yyyy").toStdString());
  EXPECT_EQ(d.DayMonth, QDate::currentDate().toString("ddMM").toStdString());
}

TEST_F(StationRecordingTest, AStationThatDropsMidTakeLeavesSilenceAndTheClocksLength)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.DropAfterMs = 4500;
  r.DownForMs = 2000;
  server.Set("/drops.mp3", r);
  player->SetReconnectDelays({500, 500, 500, 500, 500, 500, 500, 500});
  Play("/drops.mp3");
  ASSERT_EQ(WaitForEnd(8000), TStationPlayer::psPlaying) << player->Message().toStdString();
  // Listened to for a while, then recorded.
  QElapsedTimer listened;
  listened.start();
  PumpUntil([&] { return listened.elapsed() >= 1500; }, 3000);

  const QString file = dir.filePath("drops.mp3");
  const double ran = RecordFor(file, 12000);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), ran, ran * 0.02);
  EXPECT_GE(server.Requests("/drops.mp3"), 2);
  // The station is gone for its 2 s and the reconnect: silence, with the
  // station's tone before and after.
  std::string map;  // per 100 ms: tone, silence or neither
  for (size_t from = 0; from + 4410 <= d.Frames(); from += 4410) {
    const TToneStats t = AnalyzeTone(d, 0, from, from + 4410);
    map += t.Rms < 20 ? '.' : std::abs(t.Frequency - kStationTone) < 10 ? 'T' : '?';
  }
  EXPECT_GE(std::count(map.begin(), map.end(), '.'), 15) << map;
  EXPECT_LE(std::count(map.begin(), map.end(), '.'), 60) << map;
  EXPECT_GE(double(silence) / TStationAudioIn::BytesFor(1000), 1.5);
  // A reconnect may bring a blip of sound before the stream settles ('?').
  const size_t before = map.find("TTTTTTTTTT");
  ASSERT_NE(before, std::string::npos) << map;
  const size_t gap = map.find('.', before);
  ASSERT_NE(gap, std::string::npos) << map;
  const size_t after = map.find("TTTTT", gap);
  ASSERT_NE(after, std::string::npos) << map;
  EXPECT_GE(std::count(map.begin() + long(gap), map.begin() + long(after), '.'), 10) << map;
}

TEST_F(StationRecordingTest, ToolRecordsTheStationOrSaysItCannotBeReached)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 8192;
  r.Titles = {QString::fromUtf8("第三首")};
  server.Set("/tool.mp3", r);
  QString errors;
  const QString file = dir.filePath("tool.mp3");
  ASSERT_EQ(RunTool({server.Url("/tool.mp3"), "--seconds", "4", file}, &errors), 0)
      << errors.toStdString();
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  EXPECT_NEAR(d.Seconds(), 4.0, 0.08);
  EXPECT_EQ(AnalyzeContinuity(d, kStationTone).Gaps, 0);
  EXPECT_EQ(d.Title, "第三首");
  EXPECT_EQ(d.Artist, "test") << "the server's icy-name";

  // Nobody listens on the port: a clear reason, exit 1, no file.
  QTcpServer closed;
  closed.listen(QHostAddress::LocalHost, 0);
  const QString nowhere = QStringLiteral("http://127.0.0.1:%1/live").arg(closed.serverPort());
  closed.close();
  const QString missing = dir.filePath("missing.mp3");
  EXPECT_EQ(RunTool({nowhere, "--minutes", "1", missing}, &errors), 1);
  EXPECT_TRUE(errors.contains(QString::fromUtf8("无法连接到电台"))) << errors.toStdString();
  EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(StationRecordingTest, ToolSplitsTheTakeByTrackWithoutLosingASample)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 4096;
  const QStringList titles = {QString::fromUtf8("甲 - 第一首"), QString::fromUtf8("乙/丙: 第二首?"), QString::fromUtf8("丁 - 第三首")};
  r.Titles = titles;
  r.TitleMs = 3000;
  server.Set("/split.mp3", r);
  // A file of the second track's name is there already: the new one gets a number.
  QFile taken(dir.filePath(QString::fromUtf8("乙_丙_ 第二首_.mp3")));
  ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
  taken.close();
  QString errors;
  const QString file = dir.filePath("take.mp3");
  ASSERT_EQ(RunTool({server.Url("/split.mp3"), "--seconds", "10", "--split", "--name", QString::fromUtf8("分段台"), file}, &errors), 0)
      << errors.toStdString();
  // The tool says every file's frames and the input's: nothing lost or doubled.
  std::vector<std::pair<QString, qint64>> parts;
  for (const auto& m : QRegularExpression(QString::fromUtf8("分段 (.+)：(\\d+) 帧\n")).globalMatch(errors))
    parts.emplace_back(m.captured(1), m.captured(2).toLongLong());
  const QRegularExpressionMatch total = QRegularExpression(QString::fromUtf8("交给编码器 (\\d+) 帧，录到 (\\d+) 帧")).match(errors);
  ASSERT_TRUE(total.hasMatch()) << errors.toStdString();
  EXPECT_EQ(total.captured(1), total.captured(2));
  EXPECT_EQ(total.captured(2).toLongLong(), 441000);
  ASSERT_GE(parts.size(), 3u) << errors.toStdString();
  ASSERT_EQ(parts[0].first, file);
  qint64 decodedFrames = 0, handed = 0;
  for (size_t i = 0; i < parts.size(); ++i) {
    const TDecoded d = DecodeMp3(parts[i].first);
    ASSERT_TRUE(d.Ok) << parts[i].first.toStdString();
    decodedFrames += qint64(d.Frames());
    handed += parts[i].second;
    // The encoder's delay and padding are in the LAME tag: the decoder gives back what went in.
    EXPECT_NEAR(double(d.Frames()), double(parts[i].second), 1152) << parts[i].first.toStdString();
    if (d.Frames() > 44100 / 2) {
      const TToneStats tone = AnalyzeTone(d, 0, 0, d.Frames());
      EXPECT_NEAR(tone.Frequency, kStationTone, 10) << parts[i].first.toStdString();
      EXPECT_GT(tone.Rms, 1000) << parts[i].first.toStdString();
    }
    EXPECT_EQ(d.Artist, "分段台");
    if (i == 0) continue;
    const QString title = QString::fromStdString(d.Title);
    EXPECT_TRUE(titles.contains(title)) << d.Title;
    EXPECT_NE(d.Title, DecodeMp3(parts[i - 1].first).Title);
    if (title == titles[1]) {
      EXPECT_EQ(QFileInfo(parts[i].first).fileName(), QString::fromUtf8("乙_丙_ 第二首_ (2).mp3"));
    }
  }
  EXPECT_EQ(handed, 441000);
  std::cerr << "split: " << parts.size() << " files, decoded " << decodedFrames << " of " << handed << " frames\n";
  EXPECT_LE(std::abs(decodedFrames - handed), qint64(1152 * (parts.size() - 1)));
}

// The output starts with a burst and a stall: the take has the station's
// tone in one piece from its first sound on.
TEST_F(StationRecordingTest, ATakeStartedWithTheStationHasNoGapAfterItsFirstSound)
{
  server.Set("/live.mp3", Stream(Media("tone.mp3"), 16000));
  player->Play({"k", QString::fromUtf8("测试电台"), server.Url("/live.mp3"), {}, {}});
  const QString file = dir.filePath("start.mp3");
  const double ran = RecordFor(file, 4000);
  const TDecoded d = DecodeMp3(file);
  ASSERT_TRUE(d.Ok);
  // The take ends with what has come: the sink hands its sound over in bursts,
  // so the file may end up to its lag allowance and one burst short of the clock.
  EXPECT_NEAR(d.Seconds(), ran, (TStationAudioIn::kLagMs + 100) / 1000.0);
  const TToneContinuity tone = AnalyzeContinuity(d, kStationTone);
  // When the first sound comes depends on the machine's load; what follows it is one piece.
  EXPECT_GT(tone.FirstToneAt, 0);
  EXPECT_GT(tone.ToneSeconds, 1.0);
  EXPECT_EQ(tone.Gaps, 0);
}

} // namespace
