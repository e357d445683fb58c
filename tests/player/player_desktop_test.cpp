// The player outside the page: tray hint and menu, recent stations, volume in
// the settings file, and MPRIS on a bus of the test's own driven by playerctl.
#include "app/player_desktop.h"
#include "skin/skin_menu.h"
#include "skin/tray_icon.h"
#include "support/pump.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class PlayerDesktopTest : public ::testing::Test {
protected:
  PlayerDesktopTest()
  {
    auto e = std::make_unique<TStreamEngineMemory>();
    engine = e.get();
    player = std::make_unique<TStationPlayer>(std::move(e));
    places = {dir.filePath("velmora.ini"), dir.filePath("velmora.ini"), dir.filePath("data/recent.json")};
  }
  void Playing(const QString& name, const QString& title = {})
  {
    player->Play({name, name, "http://127.0.0.1:9/" + name, "http://127.0.0.1:9/" + name, "https://127.0.0.1/" + name + ".png"});
    TStreamEvent e;
    e.Kind = TStreamEvent::sePlaying;
    engine->Emit(e);
    if (title.isEmpty()) return;
    e.Kind = TStreamEvent::seTags;
    e.Title = title;
    engine->Emit(e);
  }
  QString Read(const QString& path)
  {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  QStringList Captions(TbsSkinPopupMenu& menu)
  {
    QStringList out;
    for (int i = 0; i < menu.Items()->Count(); ++i) out << menu.Items()->Items(i)->Caption();
    return out;
  }

  QTemporaryDir dir;
  TStreamEngineMemory* engine;
  std::unique_ptr<TStationPlayer> player;
  TPlayerDesktop::TPlaces places;
};

TEST_F(PlayerDesktopTest, TrayHintAndMenuFollowThePlayerAndKeepTheLastFiveStations)
{
  TbsTrayIcon tray(nullptr);
  tray.SetHint("Velmora网络广播电视");
  TbsSkinPopupMenu menu(nullptr);
  menu.Items()->Add(TMenuItem::Create("TRAY_BSF_RESTORE", "恢复(&R)"));
  TPlayerDesktop desktop(*player, places, nullptr);
  desktop.SetTray(&tray, &menu);
  EXPECT_EQ(Captions(menu), QStringList({"播放", "-", "恢复(&R)"}));
  EXPECT_FALSE(menu.Items()->Items(0)->Enabled());

  Playing("中央台", "新闻联播");
  EXPECT_EQ(tray.Hint(), QStringLiteral("中央台 — 新闻联播"));
  Playing("长名台", QString(300, u'歌'));
  EXPECT_EQ(tray.Hint().size(), TbsTrayIcon::kMaxTipLength);
  // A scheduled recording's line goes first, the station after it, both within the tray's length.
  desktop.SetHintNote(QStringLiteral("预约录音：乙台（到 08:30）"));
  EXPECT_TRUE(tray.Hint().startsWith(QStringLiteral("预约录音：乙台（到 08:30）\n长名台 — 歌歌"))) << tray.Hint().toStdString();
  EXPECT_EQ(tray.Hint().size(), TbsTrayIcon::kMaxTipLength);
  desktop.SetHintNote({});
  for (const char* name : {"A&B", "台3", "台4", "台5", "中央台"}) Playing(QString::fromUtf8(name));
  ASSERT_EQ(desktop.Recent().size(), 5u);
  EXPECT_EQ(desktop.Recent()[0].Name, QStringLiteral("中央台"));
  EXPECT_EQ(desktop.Recent()[4].Name, QStringLiteral("A&B"));  // the sixth station is gone

  desktop.FillTrayMenu();
  EXPECT_EQ(Captions(menu), QStringList({"停止", "-", "中央台", "台5", "台4", "台3", "A&&B", "-", "恢复(&R)"}));
  EXPECT_TRUE(menu.Items()->Items(2)->Checked());
  menu.Items()->Items(0)->Click();
  EXPECT_EQ(player->State(), TStationPlayer::psStopped);
  EXPECT_EQ(tray.Hint(), QStringLiteral("Velmora网络广播电视"));
  menu.Items()->Items(5)->Click();
  EXPECT_EQ(player->Station().Name, QStringLiteral("台3"));
  EXPECT_EQ(engine->opened.back(), QUrl("http://127.0.0.1:9/台3"));

  // Kept in the data folder, read back by the next start; a damaged file reads as none.
  const std::vector<TPlayingStation> again = ReadRecentStations(places.RecentFile);
  ASSERT_EQ(again.size(), 5u);
  EXPECT_EQ(again[0].Name, QStringLiteral("中央台"));
  EXPECT_EQ(again[0].Favicon, QStringLiteral("https://127.0.0.1/中央台.png"));
  QFile broken(places.RecentFile);
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("[{\"name\": \"x\", \"stream\": \"file:///etc/passwd\"}, {\"nam");
  broken.close();
  EXPECT_TRUE(ReadRecentStations(places.RecentFile).empty());
}

TEST_F(PlayerDesktopTest, VolumeAndMuteAreKeptInTheSettingsFile)
{
  {
    TPlayerDesktop desktop(*player, places, nullptr);
    player->SetVolume(35);
    player->SetMuted(true);
  }
  EXPECT_TRUE(Read(places.SettingsWrite).contains("[player]\nvolume=35\nmuted=1")) << Read(places.SettingsWrite).toStdString();
  auto e = std::make_unique<TStreamEngineMemory>();
  TStreamEngineMemory* next = e.get();
  TStationPlayer again(std::move(e));
  TPlayerDesktop desktop(again, places, nullptr);
  EXPECT_EQ(again.Volume(), 35);
  EXPECT_TRUE(again.Muted());
  again.Play({"k", "台", "http://127.0.0.1:9/a", {}, {}});
  EXPECT_DOUBLE_EQ(next->volume, 0.35);
  EXPECT_TRUE(next->muted);
}

TEST_F(PlayerDesktopTest, MediaStateNamesStationTitleAndArtist)
{
  auto c = std::make_unique<TMediaControlsMemory>();
  TMediaControlsMemory* controls = c.get();
  TPlayerDesktop desktop(*player, places, std::move(c));
  EXPECT_EQ(controls->state.Status, TMediaState::msStopped);
  EXPECT_FALSE(controls->state.CanPlay);
  Playing("音乐台", "周杰伦 - 晴天");
  EXPECT_EQ(controls->state.Status, TMediaState::msPlaying);
  EXPECT_EQ(controls->state.Artist, QStringLiteral("周杰伦"));
  EXPECT_EQ(controls->state.Title, QStringLiteral("晴天"));
  EXPECT_EQ(controls->state.Album, QStringLiteral("音乐台"));
  EXPECT_EQ(controls->state.ArtUrl, QStringLiteral("https://127.0.0.1/音乐台.png"));
  const QString track = controls->state.TrackId;

  // Pause stops the live stream and shows as paused; Play comes back to the same station.
  controls->OnPause();
  EXPECT_EQ(player->State(), TStationPlayer::psStopped);
  EXPECT_EQ(controls->state.Status, TMediaState::msPaused);
  controls->OnPlay();
  EXPECT_EQ(player->State(), TStationPlayer::psConnecting);
  EXPECT_EQ(controls->state.Status, TMediaState::msPlaying);
  EXPECT_EQ(controls->state.TrackId, track);
  controls->OnVolume(0.5);
  EXPECT_EQ(player->Volume(), 50);
  controls->OnOpenUri(QUrl("file:///etc/passwd"));
  EXPECT_EQ(player->Station().Name, QStringLiteral("音乐台"));
  controls->OnOpenUri(QUrl("http://127.0.0.1:9/other.mp3"));
  EXPECT_EQ(engine->opened.back(), QUrl("http://127.0.0.1:9/other.mp3"));
  EXPECT_NE(controls->state.TrackId, track);
  EXPECT_EQ(controls->state.Title, QStringLiteral("127.0.0.1"));
}

// A bus of the test's own, as dbus-run-session gives one.
class MprisTest : public PlayerDesktopTest {
protected:
  void SetUp() override
  {
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForStarted() || !bus.waitForReadyRead(10000)) GTEST_SKIP() << "needs dbus-daemon (scripts/setup)";
    address = QString::fromUtf8(bus.readLine()).trimmed();
  }
  void TearDown() override
  {
    bus.terminate();
    bus.waitForFinished();
  }
  // playerctl ARGS on the test's bus; its output, once it ended (the event loop runs meanwhile).
  QString Playerctl(const QStringList& args)
  {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    p.setProcessEnvironment(env);
    p.start("playerctl", QStringList{"--player=velmora"} + args);
    PumpUntil([&] { return p.state() == QProcess::NotRunning; }, 10000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  }
  QProcess bus;
  QString address;
};

TEST_F(MprisTest, PlayerctlSeesTitlesAndDrivesThePlayer)
{
  TPlayerDesktop desktop(*player, places, CreateMprisMediaControls(address));
  ASSERT_TRUE(desktop.Controls()->Registered());
  int raised = 0;
  desktop.OnRaise = [&] { ++raised; };
  Playing("音乐台", "周杰伦 - 晴天");
  EXPECT_EQ(Playerctl({"status"}), "Playing");
  EXPECT_EQ(Playerctl({"metadata", "--format", "{{artist}}|{{title}}|{{album}}|{{mpris:artUrl}}"}),
            QStringLiteral("周杰伦|晴天|音乐台|https://127.0.0.1/音乐台.png"));

  Playerctl({"pause"});
  EXPECT_EQ(player->State(), TStationPlayer::psStopped);
  EXPECT_EQ(Playerctl({"status"}), "Paused");
  Playerctl({"play-pause"});
  EXPECT_EQ(player->State(), TStationPlayer::psConnecting);
  Playerctl({"volume", "0.25"});
  EXPECT_EQ(player->Volume(), 25);
  Playerctl({"open", "http://127.0.0.1:9/other.mp3"});
  EXPECT_EQ(engine->opened.back(), QUrl("http://127.0.0.1:9/other.mp3"));
  Playerctl({"stop"});
  EXPECT_EQ(Playerctl({"status"}), "Stopped");

  // A watcher hears each change without asking.
  QProcess follow;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DBUS_SESSION_BUS_ADDRESS", address);
  follow.setProcessEnvironment(env);
  follow.start("playerctl", {"--player=velmora", "metadata", "--follow", "--format", "{{title}}"});
  ASSERT_TRUE(follow.waitForStarted());
  QString heard;
  PumpUntil([&] { return !(heard += QString::fromUtf8(follow.readAllStandardOutput())).isEmpty(); }, 5000);
  Playing("新闻台", "整点新闻");
  EXPECT_TRUE(PumpUntil([&] { return (heard += QString::fromUtf8(follow.readAllStandardOutput())).contains("整点新闻"); }, 5000))
      << heard.toStdString();
  follow.kill();
  follow.waitForFinished();

  // Raise, as a desktop's panel asks for the window.
  QDBusConnection connection = QDBusConnection::connectToBus(address, "test-caller");
  QDBusMessage call = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.velmora", "/org/mpris/MediaPlayer2",
                                                     "org.mpris.MediaPlayer2", "Raise");
  connection.asyncCall(call);
  EXPECT_TRUE(PumpUntil([&] { return raised == 1; }, 5000));
  QDBusConnection::disconnectFromBus("test-caller");
}

TEST(MediaControlsWithoutBus, StaySilentAndUnregistered)
{
  const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("XDG_RUNTIME_DIR", "/nonexistent");
  std::unique_ptr<TMediaControls> controls = CreateMprisMediaControls();
  qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
  qputenv("XDG_RUNTIME_DIR", runtime);
  EXPECT_FALSE(controls->Registered());
  controls->Publish(TMediaState{TMediaState::msPlaying, "/t/1", "x", {}, {}, {}, 1.0, true});
}

TEST(StreamTitle, SplitsArtistAndTitleOnlyWhereItReadsSo)
{
  QString artist, title;
  SplitStreamTitle("A - B - C", artist, title);
  EXPECT_EQ(artist, "A");
  EXPECT_EQ(title, "B - C");
  SplitStreamTitle("AC-DC live", artist, title);
  EXPECT_EQ(artist, "");
  EXPECT_EQ(title, "AC-DC live");
  SplitStreamTitle(" - only", artist, title);
  EXPECT_EQ(artist, "");
}

} // namespace
