// The player on GStreamer against local station servers: the sound reaches a
// private sound server (recorded back from its null sink's monitor and checked
// for its tone), titles arrive, drops reconnect, bad streams fail clearly.
#include "player/real_stream_fixture.h"

#include <QStringEncoder>

namespace {

TEST_F(RealStreamTest, PlaysMp3WithChangingIcyTitlesIntoTheSoundServer)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 8192;
  r.Titles = {QString::fromUtf8("歌手甲 - 第一首"), QString::fromUtf8("歌手乙 - 第二首")};
  r.TitleMs = 2500;
  server.Set("/live.mp3", r);
  player->SetVolume(80);
  Play("/live.mp3");
  ASSERT_EQ(WaitForEnd(8000), TStationPlayer::psPlaying) << player->Message().toStdString();
  ExpectTone("mp3");
  EXPECT_TRUE(PumpUntil([&] { return player->Title() == QString::fromUtf8("歌手乙 - 第二首"); }, 8000)) << player->Title().toStdString();
  EXPECT_TRUE(player->Codec().contains("MP3") || player->Codec().contains("MPEG")) << player->Codec().toStdString();
  EXPECT_NEAR(player->Bitrate(), 128000, 1000);  // as measured, or as the stream says

  // Muted, the sink hears silence (once what it already held has played); the stream plays on.
  player->SetMuted(true);
  const QByteArray quiet = Record(1000).right(44100 * 2 * 4 / 10);
  EXPECT_LT(ToneShare(quiet, 440), 0.1);
  EXPECT_EQ(player->State(), TStationPlayer::psPlaying);
}

TEST_F(RealStreamTest, PlaysAacOpusAndHls)
{
  server.Set("/aac", Stream(Media("tone.aac"), 12000, "audio/aac"));
  TStreamServer::TRoute opus = Stream(Media("tone.opus"), 8000, "audio/ogg");
  opus.Loop = false;  // one Ogg stream, not a chain
  server.Set("/opus", opus);
  TStreamServer::TRoute list;
  list.ContentType = "application/vnd.apple.mpegurl";
  list.Body = Media("index.m3u8");
  server.Set("/index.m3u8", list);
  for (int i = 0; i < 6; ++i) {
    TStreamServer::TRoute seg;
    seg.ContentType = "video/mp2t";
    seg.Body = Media(QString("seg%1.ts").arg(i));
    server.Set(QString("/seg%1.ts").arg(i), seg);
  }
  for (const char* path : {"/aac", "/opus", "/index.m3u8"}) {
    Play(path);
    ASSERT_EQ(WaitForEnd(8000), TStationPlayer::psPlaying) << path << ": " << player->Message().toStdString();
    ExpectTone(path);
  }
}

TEST_F(RealStreamTest, ReconnectsAStreamThatDropsAndComesBack)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.DropAfterMs = 3000;
  r.DownForMs = 1500;
  server.Set("/drops.mp3", r);
  player->SetReconnectDelays({1000, 2000, 4000, 8000, 16000});
  Play("/drops.mp3");
  ASSERT_EQ(WaitForEnd(8000), TStationPlayer::psPlaying) << player->Message().toStdString();
  // The cut: connecting again, said so, while the server is down.
  ASSERT_TRUE(PumpUntil([&] { return player->State() == TStationPlayer::psConnecting; }, 8000));
  EXPECT_TRUE(player->Message().contains(QString::fromUtf8("重新连接"))) << player->Message().toStdString();
  // Back: the same station plays again, with sound.
  ASSERT_TRUE(PumpUntil([&] { return player->State() == TStationPlayer::psPlaying; }, 15000)) << player->Message().toStdString();
  EXPECT_GE(server.Requests("/drops.mp3"), 2);
  EXPECT_EQ(player->Station().Key, "/drops.mp3");
  ExpectTone("after the reconnect");
}

TEST_F(RealStreamTest, BadStreamsEndInAClearFailure)
{
  TStreamServer::TRoute html;
  html.ContentType = "text/html";
  html.Body = QByteArray("<!DOCTYPE html><html><body>") + QByteArray(20000, 'x') + "</body></html>";
  server.Set("/page", html);
  // A WAV whose codec nobody knows.
  QByteArray wav = QByteArray::fromHex("52494646ffff000057415645666d74201000000055550200"
                                       "44ac000010b10200040010006461746100ff0000");
  wav += QByteArray(65280, '\x11');
  TStreamServer::TRoute odd;
  odd.ContentType = "audio/x-wav";
  odd.Body = wav;
  server.Set("/odd.wav", odd);
  TStreamServer::TRoute loop;
  loop.Status = 302;
  loop.Location = server.Url("/loop").toUtf8();
  server.Set("/loop", loop);
  TStreamServer::TRoute silent;
  silent.Silent = true;
  server.Set("/silent", silent);
  TStreamServer::TRoute self;
  self.ContentType = "application/vnd.apple.mpegurl";
  self.Body = "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=100000\nself.m3u8\n";
  server.Set("/self.m3u8", self);

  player->SetAnswerTimeout(2000);
  const std::pair<const char*, const char*> cases[] = {
      {"/page", "不是音频"},
      {"/odd.wav", "无法解码"},
      {"/gone.mp3", "未找到"},
      {"/loop", "无法连接"},
      {"/silent", "2 秒内没有送来声音"},
      {"/self.m3u8", "播放列表无效"},
  };
  for (const auto& [path, words] : cases) {
    Play(path);
    EXPECT_EQ(WaitForEnd(10000), TStationPlayer::psFailed) << path;
    EXPECT_TRUE(player->Message().contains(QString::fromUtf8(words))) << path << ": " << player->Message().toStdString();
  }
}

TEST_F(RealStreamTest, OddIcyBlocksKeepItPlayingAndReadGbk)
{
  const QByteArray gbk = QStringEncoder("GB18030").encode(QString::fromUtf8("中文歌名 - 电台之声"));
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 4096;
  r.MetaBlock = [gbk](int block) -> QByteArray {
    switch (block % 5) {
    case 0: return TStreamServer::IcyBlock("\xff\xfe\xc0\x80 bad");                      // invalid UTF-8 (and GBK)
    case 1: return QByteArray(1, char(2)) + QByteArray("StreamTitle='cut").leftJustified(32, '\0');  // no closing quote
    case 2: return QByteArray(1, char(255)) + ("StreamTitle='" + QByteArray(4000, 'L') + "';").leftJustified(4080, '\0');
    case 3: return QByteArray(1, '\0');
    default: return TStreamServer::IcyBlock(gbk);
    }
  };
  server.Set("/odd-icy.mp3", r);
  Play("/odd-icy.mp3");
  ASSERT_EQ(WaitForEnd(8000), TStationPlayer::psPlaying) << player->Message().toStdString();
  ASSERT_TRUE(PumpUntil([&] { return player->Title() == QString::fromUtf8("中文歌名 - 电台之声"); }, 10000)) << player->Title().toStdString();
  // Every title seen was clean, bounded text.
  QStringList seen;
  QObject watch;
  QObject::connect(player.get(), &TStationPlayer::Changed, &watch, [&] { seen << player->Title(); });
  PumpUntil([&] { return seen.size() > 8; }, 3000);
  for (const QString& t : seen) {
    EXPECT_LE(t.size(), TStationPlayer::kMaxTitleLength);
    EXPECT_FALSE(t.contains(QChar(0)));
  }
  EXPECT_EQ(player->State(), TStationPlayer::psPlaying);
  ExpectTone("odd icy");
}

} // namespace
