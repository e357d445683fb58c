// The page as the player's face, on the real stack: a click plays through the
// program, the stream's title shows beside the station, and reloading the
// page keeps the tone going and shows the station again.
#include "browser/directory_server.h"
#include "browser/embedded_browser.h"
#include "browser/site_addresses.h"
#include "browser/station_directory.h"
#include "browser/web_view/web_engine_view.h"
#include "player/real_stream_fixture.h"
#include "support/page_script.h"

#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

class PagePlayerTest : public RealStreamTest {
protected:
  void SetUp() override
  {
    RealStreamTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    TDirectoryConfig cfg;
    cfg.Enabled = false;
    directory = std::make_unique<TStationDirectory>(cfg, nullptr, dir.filePath("data"), dir.filePath("cache"));
    directoryServer.SetUserListFile(dir.filePath("stations.txt"));
    directoryServer.SetDirectory(directory.get());
    directoryServer.SetPlayer(player.get());
    ASSERT_TRUE(directoryServer.Start());
  }
  QString Js(const QString& script)
  {
    return RunPageScript(WebEngineViewOf(*browser)->page(), script).toString();
  }
  bool WaitJs(const QString& script, const QString& expected, int ms = 20000)
  {
    return PumpUntil([&] { return Js(script) == expected; }, ms);
  }
  void OpenPage()
  {
    browser = std::make_unique<TEmbeddedBrowser>(nullptr);
    directoryServer.Admit(*browser);
    QUrl url = directoryServer.BaseUrl();
    url.setPath(StationDirectoryPath());
    url.setQuery(StationDirectoryQuery());
    browser->Navigate(url);
    WebEngineViewOf(*browser)->resize(246, 440);
    WebEngineViewOf(*browser)->show();
    ASSERT_TRUE(WaitJs("document.body && document.body.dataset.ready", "1", 30000));
  }

  QTemporaryDir dir;
  std::unique_ptr<TStationDirectory> directory;
  TDirectoryServer directoryServer;
  std::unique_ptr<TEmbeddedBrowser> browser;
};

TEST_F(PagePlayerTest, PlaysFromThePageShowsTitlesAndKeepsPlayingThroughAReload)
{
  TStreamServer::TRoute r = Stream(Media("tone.mp3"), 16000);
  r.MetaInterval = 8192;
  r.Titles = {QString::fromUtf8("测试歌手 - 测试歌曲")};
  server.Set("/page.mp3", r);
  QFile list(dir.filePath("stations.txt"));
  ASSERT_TRUE(list.open(QIODevice::WriteOnly));
  list.write(QString::fromUtf8("测试台 | %1\n").arg(server.Url("/page.mp3")).toUtf8());
  list.close();

  OpenPage();
  Js("document.querySelector('#user .play').click(); ''");
  ASSERT_TRUE(WaitJs("document.getElementById('state').textContent", QString::fromUtf8("正在播放")))
      << Js("document.getElementById('state').textContent").toStdString();
  EXPECT_TRUE(WaitJs("document.getElementById('title').textContent", QString::fromUtf8("测试歌手 - 测试歌曲")));
  EXPECT_TRUE(Js("document.getElementById('stream').textContent").contains("128 kbps"));
  EXPECT_EQ(Js("document.querySelector('#user li').className"), "playing");

  // The tool bar's refresh reloads the page: the sound goes on, the page finds the station again.
  browser->Refresh();
  ExpectTone("during the reload");
  ASSERT_TRUE(WaitJs("document.body.dataset.ready", "1"));
  EXPECT_TRUE(WaitJs("document.getElementById('now').textContent", QString::fromUtf8("测试台")));
  EXPECT_TRUE(WaitJs("document.getElementById('state').textContent", QString::fromUtf8("正在播放")));
  EXPECT_EQ(player->State(), TStationPlayer::psPlaying);

  // The page's controls reach the program.
  Js("const v = document.getElementById('volume'); v.value = '30'; v.dispatchEvent(new Event('input')); ''");
  EXPECT_TRUE(PumpUntil([&] { return player->Volume() == 30; }, 5000));
  Js("document.getElementById('toggle').click(); ''");
  EXPECT_TRUE(WaitJs("document.getElementById('state').textContent", QString::fromUtf8("已停止")));
  EXPECT_EQ(player->State(), TStationPlayer::psStopped);
}

} // namespace
