// The player's rules on the in-memory engine: states, reconnects with growing
// pauses, the answer time-out, titles as shown.
#include "audio/station_player.h"

#include <gtest/gtest.h>

namespace {

class StationPlayerTest : public ::testing::Test {
protected:
  StationPlayerTest()
  {
    auto e = std::make_unique<TStreamEngineMemory>();
    engine = e.get();
    player = std::make_unique<TStationPlayer>(std::move(e));
  }
  void Emit(TStreamEvent::TKind kind, int percent = 0)
  {
    TStreamEvent e;
    e.Kind = kind;
    e.Percent = percent;
    engine->Emit(e);
  }
  void Error(TStreamEvent::TError error)
  {
    TStreamEvent e;
    e.Kind = TStreamEvent::seError;
    e.Error = error;
    engine->Emit(e);
  }
  TPlayingStation Station() { return {"k1", "测试台", "http://127.0.0.1:1/a.pls", "http://127.0.0.1:1/a.mp3", ""}; }

  TStreamEngineMemory* engine;
  std::unique_ptr<TStationPlayer> player;
};

TEST_F(StationPlayerTest, GoesFromConnectingThroughBufferingToPlayingAndStops)
{
  int started = 0;
  QObject::connect(player.get(), &TStationPlayer::StationStarted, [&] { ++started; });
  player->SetVolume(40);
  player->SetMuted(true);
  player->Play(Station());
  ASSERT_EQ(engine->opened.size(), 1u);
  EXPECT_EQ(engine->opened[0], QUrl("http://127.0.0.1:1/a.mp3"));
  EXPECT_DOUBLE_EQ(engine->volume, 0.4);
  EXPECT_TRUE(engine->muted);
  EXPECT_EQ(player->State(), TStationPlayer::psConnecting);

  Emit(TStreamEvent::seBuffering, 30);
  EXPECT_TRUE(engine->paused);
  EXPECT_EQ(player->BufferPercent(), 30);
  Emit(TStreamEvent::seBuffering, 100);
  EXPECT_FALSE(engine->paused);
  Emit(TStreamEvent::sePlaying);
  EXPECT_EQ(player->State(), TStationPlayer::psPlaying);
  EXPECT_EQ(started, 1);
  EXPECT_FALSE(player->AnswerTimer().isActive());

  // Playing runs dry: buffering, shown with its percentage, the sound held.
  Emit(TStreamEvent::seBuffering, 10);
  EXPECT_EQ(player->State(), TStationPlayer::psBuffering);
  EXPECT_TRUE(engine->paused);
  EXPECT_TRUE(player->AnswerTimer().isActive());
  Emit(TStreamEvent::seBuffering, 100);
  Emit(TStreamEvent::sePlaying);
  EXPECT_EQ(started, 1);

  player->Stop();
  EXPECT_EQ(player->State(), TStationPlayer::psStopped);
  EXPECT_FALSE(engine->open);
  // Nothing of the closed stream changes the state afterwards.
  Emit(TStreamEvent::sePlaying);
  EXPECT_EQ(player->State(), TStationPlayer::psStopped);
  player->Resume();
  EXPECT_EQ(engine->opened.size(), 2u);
}

TEST_F(StationPlayerTest, ADroppedStreamIsTriedAgainWithGrowingPausesThenFails)
{
  player->Play(Station());
  Emit(TStreamEvent::sePlaying);
  Emit(TStreamEvent::seEnded);
  std::vector<int> pauses;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(player->State(), TStationPlayer::psConnecting) << i;
    ASSERT_TRUE(player->ReconnectTimer().isActive()) << i;
    EXPECT_TRUE(player->Message().contains(QStringLiteral("第 %1 次，共 5 次").arg(i + 1))) << player->Message().toStdString();
    pauses.push_back(player->ReconnectTimer().interval());
    player->ReconnectTimer().stop();
    emit player->ReconnectTimer().timeout({});
    EXPECT_EQ(engine->opened.size(), size_t(i + 2));
    Error(TStreamEvent::erUnreachable);
  }
  EXPECT_EQ(pauses, (std::vector<int>{1000, 2000, 4000, 8000, 16000}));
  EXPECT_EQ(player->State(), TStationPlayer::psFailed);
  EXPECT_TRUE(player->Message().contains(QStringLiteral("重试 5 次后仍无法连接"))) << player->Message().toStdString();
  EXPECT_FALSE(engine->open);
}

TEST_F(StationPlayerTest, AReconnectThatPlaysStartsTheCountAgain)
{
  player->Play(Station());
  Emit(TStreamEvent::sePlaying);
  Error(TStreamEvent::erUnreachable);
  emit player->ReconnectTimer().timeout({});
  // The reconnect never answers: the time-out counts as a failed try.
  emit player->AnswerTimer().timeout({});
  EXPECT_EQ(player->Reconnects(), 2);
  EXPECT_EQ(player->ReconnectTimer().interval(), 2000);
  emit player->ReconnectTimer().timeout({});
  Emit(TStreamEvent::sePlaying);
  EXPECT_EQ(player->State(), TStationPlayer::psPlaying);
  EXPECT_EQ(player->Reconnects(), 0);
  EXPECT_TRUE(player->Message().isEmpty());
  Emit(TStreamEvent::seEnded);
  EXPECT_EQ(player->ReconnectTimer().interval(), 1000);
}

TEST_F(StationPlayerTest, AStationThatNeverPlaysFailsAtOnceWithTheReason)
{
  EXPECT_EQ(player->AnswerTimer().interval(), TStationPlayer::kAnswerTimeoutMs);
  player->Play(Station());
  emit player->AnswerTimer().timeout({});
  EXPECT_EQ(player->State(), TStationPlayer::psFailed);
  EXPECT_TRUE(player->Message().contains(QStringLiteral("8 秒内没有送来声音"))) << player->Message().toStdString();
  EXPECT_FALSE(player->ReconnectTimer().isActive());

  const std::pair<TStreamEvent::TError, const char*> cases[] = {
      {TStreamEvent::erNotFound, "未找到"},
      {TStreamEvent::erNotAudio, "不是音频"},
      {TStreamEvent::erUnknownCodec, "无法解码"},
      {TStreamEvent::erUnreachable, "无法连接"},
  };
  for (const auto& [error, words] : cases) {
    player->Play(Station());
    Error(error);
    EXPECT_EQ(player->State(), TStationPlayer::psFailed);
    EXPECT_TRUE(player->Message().contains(QString::fromUtf8(words))) << player->Message().toStdString();
    EXPECT_FALSE(player->ReconnectTimer().isActive());
  }
}

TEST_F(StationPlayerTest, KeepsTheStreamsTitleCodecAndBitRate)
{
  player->Play(Station());
  TStreamEvent tags;
  tags.Kind = TStreamEvent::seTags;
  tags.Title = QStringLiteral("歌手 -\t歌名\x01\x02  ") + QString(1000, u'长');
  tags.Codec = QStringLiteral("MPEG-1 Layer 3 (MP3)");
  tags.Bitrate = 128000;
  engine->Emit(tags);
  EXPECT_TRUE(player->Title().startsWith(QStringLiteral("歌手 - 歌名 长长"))) << player->Title().toStdString();
  EXPECT_EQ(player->Title().size(), TStationPlayer::kMaxTitleLength);
  EXPECT_EQ(player->Codec(), tags.Codec);
  EXPECT_EQ(player->Bitrate(), 128000);
  // A tag list without a title keeps the one shown.
  tags.Title.clear();
  tags.Bitrate = 0;
  engine->Emit(tags);
  EXPECT_TRUE(player->Title().startsWith(QStringLiteral("歌手")));
  EXPECT_EQ(player->Bitrate(), 128000);
  // A new station starts without the old one's title.
  player->Play(Station());
  EXPECT_TRUE(player->Title().isEmpty());
}

TEST(NowPlayingHint, JoinsStationAndTitleAndCutsToTheLimit)
{
  EXPECT_EQ(NowPlayingHint("台", "", 10), QStringLiteral("台"));
  EXPECT_EQ(NowPlayingHint("台", "歌", 10), QStringLiteral("台 — 歌"));
  const QString cut = NowPlayingHint("电台", QString(200, u'歌'), 127);
  EXPECT_EQ(cut.size(), 127);
  EXPECT_TRUE(cut.endsWith(u'…'));
  // An emoji across the limit is not split in half.
  const QString emoji = NowPlayingHint("a", QStringLiteral("\U0001F3B5x"), 6);
  EXPECT_EQ(emoji, QStringLiteral("a — …"));
}

} // namespace
