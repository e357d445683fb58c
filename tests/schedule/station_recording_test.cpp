// A heard scheduled recording on the program's player (engines in memory):
// silent while it connects ahead of its start and heard from the start
// whatever the user does with mute meanwhile; an entry that follows one on
// the same station takes the player as it plays, and one on another station
// records on its own player while the program's player records the first,
// then plays on the program's player from its start.
#include "audio/station_player.h"
#include "schedule/station_recording.h"
#include "support/pump.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TPlayerInMemory {
  TStreamEngineMemory* Engine = new TStreamEngineMemory;
  TStationPlayer Player{std::unique_ptr<TStreamEngine>(Engine)};
  void Plays()
  {
    TStreamEvent e;
    e.Kind = TStreamEvent::sePlaying;
    Engine->Emit(e);
  }
};

// How often a recording's signal came.
template <typename Signal>
std::shared_ptr<int> Count(TScheduleRecording* r, Signal signal)
{
  auto n = std::make_shared<int>(0);
  QObject::connect(r, signal, r, [n] { ++*n; });
  return n;
}

class ScheduledStationTest : public ::testing::Test {
protected:
  TScheduleEntry Entry(const QString& url)
  {
    TScheduleEntry e;
    e.StationName = url.section('/', -1);
    e.StationUrl = url;
    e.PlayAloud = true;
    return e;
  }
  std::unique_ptr<TStationRecording> Recording(TStationPlayer* silent = nullptr)
  {
    return std::make_unique<TStationRecording>(nullptr, &heard.Player, silent);
  }
  QString File(const char* name) { return dir.filePath(QString::fromLatin1(name)); }

  QTemporaryDir dir;
  TPlayerInMemory heard;
};

TEST_F(ScheduledStationTest, HeardFromItsStartNotWhileItConnects)
{
  heard.Player.Play({"user", "user", "http://127.0.0.1:9/user", "http://127.0.0.1:9/user", {}});
  auto rec = Recording();
  const auto ready = Count(rec.get(), &TScheduleRecording::Ready);
  rec->Prepare(Entry("http://127.0.0.1:9/a"), File("a.mp3"));
  EXPECT_EQ(heard.Engine->opened.back().toString(), "http://127.0.0.1:9/a");
  EXPECT_TRUE(heard.Engine->muted);
  // The user's mute goes on and off meanwhile: still silent, and it stays theirs.
  heard.Player.SetMuted(true);
  heard.Player.SetMuted(false);
  EXPECT_TRUE(heard.Engine->muted);
  EXPECT_FALSE(heard.Player.Muted());
  heard.Plays();
  EXPECT_EQ(*ready, 1);
  EXPECT_TRUE(heard.Engine->muted);
  rec->Record();
  EXPECT_FALSE(heard.Engine->muted);
  rec->Finish();
  EXPECT_EQ(heard.Player.State(), TStationPlayer::psStopped);

  // Dropped before its start: the player is heard again.
  rec = Recording();
  rec->Prepare(Entry("http://127.0.0.1:9/b"), File("b.mp3"));
  EXPECT_TRUE(heard.Engine->muted);
  rec.reset();
  EXPECT_FALSE(heard.Engine->muted);
}

TEST_F(ScheduledStationTest, TheNextEntryIsReadyWhileTheOneBeforeRecordsTheProgramsPlayer)
{
  auto first = Recording();
  first->Prepare(Entry("http://127.0.0.1:9/a"), File("a1.mp3"));
  heard.Plays();
  first->Record();
  const size_t opened = heard.Engine->opened.size();

  // The same station: taken as it plays, nothing muted, no new connection.
  auto same = Recording();
  const auto sameReady = Count(same.get(), &TScheduleRecording::Ready);
  same->Prepare(Entry("http://127.0.0.1:9/a"), File("a2.mp3"));
  EXPECT_EQ(*sameReady, 1);
  EXPECT_EQ(heard.Engine->opened.size(), opened);
  EXPECT_FALSE(heard.Engine->muted);
  first->Finish();
  EXPECT_EQ(heard.Player.State(), TStationPlayer::psPlaying);
  const auto sameRecording = Count(same.get(), &TScheduleRecording::Recording);
  same->Record();
  EXPECT_EQ(*sameRecording, 1);

  // Another station: connects on a player of its own while the program's
  // player still records the first, and is heard there from its start.
  TPlayerInMemory own;
  auto other = Recording(&own.Player);
  const auto otherReady = Count(other.get(), &TScheduleRecording::Ready);
  other->Prepare(Entry("http://127.0.0.1:9/b"), File("b.mp3"));
  EXPECT_EQ(heard.Engine->opened.size(), opened);
  EXPECT_EQ(own.Engine->opened.back().toString(), "http://127.0.0.1:9/b");
  own.Plays();
  EXPECT_EQ(*otherReady, 1);
  same->Finish();
  EXPECT_EQ(heard.Player.State(), TStationPlayer::psStopped);
  other->Record();
  EXPECT_EQ(heard.Engine->opened.back().toString(), "http://127.0.0.1:9/b");
  EXPECT_FALSE(heard.Engine->muted);
  // Another station chosen by the user there leaves the recording running.
  heard.Player.Play({"user", "user", "http://127.0.0.1:9/user", "http://127.0.0.1:9/user", {}});
  const auto ended = Count(other.get(), &TScheduleRecording::Ended);
  QCoreApplication::processEvents();
  EXPECT_EQ(*ended, 0);
  other->Finish();
  EXPECT_EQ(heard.Player.State(), TStationPlayer::psConnecting);
  EXPECT_EQ(own.Player.State(), TStationPlayer::psStopped);
  EXPECT_GT(QFileInfo(File("b.mp3")).size(), 0);
}

} // namespace
