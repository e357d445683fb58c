#include "audio/station_player.h"
#include "browser/directory_server.h"
#include "browser/embedded_browser.h"
#include "browser/site_addresses.h"
#include "browser/station_directory.h"
#include "support/fake_directory.h"
#include "support/page_script.h"
#include "support/qt_printers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include "browser/web_view/web_engine_view.h"
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// Sends a raw request and returns the whole answer.
QByteArray Fetch(quint16 port, const QByteArray& request)
{
  QTcpSocket s;
  s.connectToHost(QHostAddress::LocalHost, port);
  EXPECT_TRUE(s.waitForConnected(3000));
  s.write(request);
  QByteArray answer;
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (s.bytesAvailable()) answer += s.readAll();
    if (s.state() == QAbstractSocket::UnconnectedState) break;
    s.waitForReadyRead(5);
  }
  answer += s.readAll();
  return answer;
}

// A GET as the program's own page sends it when `secret` is given, else as any other program would.
QByteArray Get(quint16 port, const QByteArray& path, const QByteArray& secret = {})
{
  const QByteArray mark = secret.isEmpty() ? QByteArray() : TDirectoryServer::kSecretHeader + QByteArray(": ") + secret + "\r\n";
  return Fetch(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n" + mark + "\r\n");
}

QByteArray Body(const QByteArray& answer) { return answer.mid(answer.indexOf("\r\n\r\n") + 4); }

TEST(UserStationList, ReadsBothLineFormsAndNamesTheLinesItSkips)
{
  const TUserStationList list = ParseUserStationList(QString::fromUtf8(
      "# 我的电台\n"
      "经典怀旧 | http://radio.example/old.mp3\n"
      "\n"
      "体育 | 体育之声 | https://radio.example/sport\n"
      "no separator here\n"
      "坏地址 | ftp://radio.example/x\n"
      " | http://radio.example/noname\n"
      "a|b|c|d\n"));
  ASSERT_EQ(list.Stations.size(), 2u);
  EXPECT_EQ(list.Stations[0].Name, QString::fromUtf8("经典怀旧"));
  EXPECT_EQ(list.Stations[0].Category, QString::fromUtf8("我的电台"));
  EXPECT_EQ(list.Stations[1].Category, QString::fromUtf8("体育"));
  EXPECT_EQ(list.Stations[1].Url, "https://radio.example/sport");
  EXPECT_EQ(list.SkippedLines, (std::vector<int>{5, 6, 7, 8}));
}

class DirectoryServerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    server.SetUserListFile(dir.filePath("stations.txt"));
    UseDirectory({fake.BaseUrl()});
    ASSERT_TRUE(server.Start());
  }
  void UseDirectory(QList<QUrl> mirrors, bool enabled = true)
  {
    TDirectoryConfig cfg;
    cfg.Enabled = enabled;
    cfg.Mirrors = std::move(mirrors);
    directory = std::make_unique<TStationDirectory>(cfg, nullptr, dir.filePath("data"), dir.filePath("cache"));
    directory->Client()->SetTimeout(2000);
    server.SetDirectory(directory.get());
  }
  // The page's requests carry the secret and name the server.
  QByteArray PageHead() const
  {
    return "Host: 127.0.0.1:" + QByteArray::number(server.Port()) + "\r\n" + TDirectoryServer::kSecretHeader + ": " + server.Secret() + "\r\n";
  }
  QByteArray PageGet(const QByteArray& path) { return Get(server.Port(), path, server.Secret()); }
  QByteArray Post(const QByteArray& path, const QByteArray& json, const QByteArray& extra = "Content-Type: application/json\r\n",
                  bool asPage = true)
  {
    const QByteArray head = asPage ? PageHead() : "Host: 127.0.0.1:" + QByteArray::number(server.Port()) + "\r\n";
    return Fetch(server.Port(), "POST " + path + " HTTP/1.1\r\n" + head + extra + "Content-Length: " +
                                    QByteArray::number(json.size()) + "\r\n\r\n" + json);
  }
  QTemporaryDir dir;
  TFakeDirectory fake;
  std::unique_ptr<TStationDirectory> directory;
  TDirectoryServer server;
};

TEST_F(DirectoryServerTest, ServesThePageAndItsFiles)
{
  const QByteArray page = PageGet("/qq/?app");
  EXPECT_TRUE(page.startsWith("HTTP/1.1 200 OK\r\n")) << page.left(80).toStdString();
  EXPECT_TRUE(page.contains("Content-Type: text/html; charset=utf-8"));
  EXPECT_TRUE(Body(page).contains("app.js"));
  EXPECT_TRUE(PageGet("/qq").startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(PageGet("/qq/app.js").contains("text/javascript"));
  const QByteArray head = Fetch(server.Port(), "HEAD /qq/ HTTP/1.1\r\n" + PageHead() + "\r\n");
  EXPECT_TRUE(head.startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(Body(head).isEmpty());
}

TEST_F(DirectoryServerTest, RefusesWhatItDoesNotServe)
{
  EXPECT_TRUE(PageGet("/other").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(PageGet("/qq/../../etc/passwd").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(PageGet("/qq/%2e%2e%2fstations.json").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(PageGet("/qq/nothing.html").startsWith("HTTP/1.1 404"));
  EXPECT_TRUE(Fetch(server.Port(), "POST /qq/ HTTP/1.1\r\n" + PageHead() + "\r\n").startsWith("HTTP/1.1 405"));
  EXPECT_TRUE(Fetch(server.Port(), "garbage\r\n\r\n").startsWith("HTTP/1.1 400"));
  const QByteArray huge = "GET /qq/ HTTP/1.1\r\n" + PageHead() + "X: " + QByteArray(TDirectoryServer::kMaxRequestHead + 10, 'a');
  EXPECT_TRUE(Fetch(server.Port(), huge).startsWith("HTTP/1.1 431"));
}

TEST_F(DirectoryServerTest, StationListHoldsTheUsersStationsOnly)
{
  QJsonObject before = QJsonDocument::fromJson(Body(PageGet("/qq/stations.json"))).object();
  EXPECT_TRUE(before.value("stations").toArray().isEmpty()) << "no station ships with the program";
  EXPECT_FALSE(before.contains("userFile"));

  QFile f(server.UserListFile());
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("我的电台一 | http://127.0.0.1:9/one.mp3\nbroken line\n");
  f.close();
  QJsonObject after = QJsonDocument::fromJson(Body(PageGet("/qq/stations.json"))).object();
  const QJsonArray stations = after.value("stations").toArray();
  ASSERT_EQ(stations.size(), 1);
  EXPECT_EQ(stations.last().toObject().value("name").toString(), QString::fromUtf8("我的电台一"));
  EXPECT_EQ(after.value("skippedLines").toArray(), QJsonArray{2});
  EXPECT_EQ(after.value("userFile").toString(), server.UserListFile());
}

TEST(SiteAddresses, DirectoryAddressHasThePathAndQuery)
{
  const QUrl url = StationDirectoryUrl();
  EXPECT_EQ(url.path(), "/qq/");
  EXPECT_EQ(url.query(), "app");
  EXPECT_EQ(url.host(), "127.0.0.1");
  EXPECT_TRUE(TDirectoryServer::Instance()->IsListening());
  EXPECT_TRUE(MakerSiteAddress().isEmpty() || QUrl(MakerSiteAddress()).isValid()) << "a build setting, empty by default";
}

TEST_F(DirectoryServerTest, OnlyTheProgramsOwnPageIsServed)
{
  TTestHttpServer streams;
  streams.Set("/list.pls", {200, "audio/x-scpls", "[playlist]\nFile1=http://127.0.0.1:9/a\n"});
  const QByteArray add = QJsonDocument(QJsonObject{{"add", QJsonObject{{"name", "x"}, {"url", "http://127.0.0.1:9/x"}}}}).toJson();
  const QByteArray play = QJsonDocument(QJsonObject{{"station", QJsonObject{{"name", "x"}, {"url", streams.Url("/list.pls")}}}}).toJson();
  const QByteArray port = QByteArray::number(server.Port());

  // Any other program on the machine: no secret, nothing served, nothing changed or fetched.
  for (const QByteArray path : {"/qq/", "/qq/app.js", "/qq/stations.json", "/qq/api/list?online=0"})
    EXPECT_TRUE(Get(server.Port(), path).startsWith("HTTP/1.1 403")) << path.toStdString();
  EXPECT_TRUE(Get(server.Port(), "/qq/stations.json", "0123456789abcdef0123456789abcdef").startsWith("HTTP/1.1 403"));
  EXPECT_TRUE(Get(server.Port(), "/qq/stations.json", server.Secret().chopped(1)).startsWith("HTTP/1.1 403"));
  EXPECT_TRUE(Post("/qq/api/favourite", add, "Content-Type: application/json\r\n", false).startsWith("HTTP/1.1 403"));
  EXPECT_TRUE(Post("/qq/api/play", play, "Content-Type: application/json\r\n", false).startsWith("HTTP/1.1 403"));
  EXPECT_TRUE(directory->Store().Favourites().empty());
  EXPECT_EQ(streams.Hits("/list.pls"), 0);

  // A site whose name was pointed at 127.0.0.1 names itself: refused on every path, secret or not.
  const QByteArray mark = TDirectoryServer::kSecretHeader + QByteArray(": ") + server.Secret() + "\r\n";
  for (const QByteArray& host : {"rebound.example:" + port, QByteArray("127.0.0.1"), "127.0.0.1:" + port + ".evil.example", QByteArray()})
    for (const QByteArray path : {"/qq/stations.json", "/qq/", "/qq/api/list?online=0"})
      EXPECT_TRUE(Fetch(server.Port(), "GET " + path + " HTTP/1.1\r\nHost: " + host + "\r\n" + mark + "\r\n").startsWith("HTTP/1.1 403"))
          << host.toStdString() << path.toStdString();
  EXPECT_TRUE(Fetch(server.Port(), "GET /qq/stations.json HTTP/1.1\r\nHost: localhost:" + port + "\r\n" + mark + "\r\n")
                  .startsWith("HTTP/1.1 200"));

  // The page: served, and the play endpoint fetches for it.
  EXPECT_TRUE(PageGet("/qq/api/list?online=0").startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(Post("/qq/api/play", play).startsWith("HTTP/1.1 200"));
  EXPECT_EQ(streams.Hits("/list.pls"), 1);

  // Another user of the machine (the tests run as root in CI).
  if (geteuid() != 0) return;
  QProcess other;
  other.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--", "bash", "-c",
                          QString::fromLatin1("exec 3<>/dev/tcp/127.0.0.1/" + port +
                                              " && printf 'GET /qq/api/list?online=0 HTTP/1.1\\r\\nHost: 127.0.0.1:" + port +
                                              "\\r\\n\\r\\n' >&3 && cat <&3")});
  ASSERT_TRUE(PumpUntil([&] { return other.state() == QProcess::NotRunning; }, 10000));
  const QByteArray answer = other.readAllStandardOutput();
  EXPECT_TRUE(answer.startsWith("HTTP/1.1 403")) << answer.toStdString() << other.readAllStandardError().toStdString();
}

// Connections that have not sent their request head: each sends one line, then holds on.
std::vector<std::unique_ptr<QTcpSocket>> HoldConnections(quint16 port, int count)
{
  std::vector<std::unique_ptr<QTcpSocket>> held;
  for (int i = 0; i < count; ++i) {
    held.push_back(std::make_unique<QTcpSocket>());
    held.back()->connectToHost(QHostAddress::LocalHost, port);
    held.back()->write("GET /qq/ HTTP/1.1\r\n");
  }
  return held;
}

TEST_F(DirectoryServerTest, SilentClientsAreClosedSoonAndTheirPlacesGoToNewcomers)
{
  server.SetLimits(300, 1500, 4, 3);
  // A held connection goes at the head's time; the page's slow body may take longer.
  auto held = HoldConnections(server.Port(), 1);
  QTcpSocket page;
  page.connectToHost(QHostAddress::LocalHost, server.Port());
  page.write("POST /qq/api/favourite HTTP/1.1\r\n" + PageHead() + "Content-Type: application/json\r\nContent-Length: 15\r\n\r\n{\"remove\"");
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(PumpUntil([&] { return held[0]->state() == QAbstractSocket::UnconnectedState; }, 5000));
  EXPECT_GE(t.elapsed(), 250);
  PumpUntil([] { return false; }, 300);
  ASSERT_EQ(page.state(), QAbstractSocket::ConnectedState);
  page.write(": \"x\"}");
  ASSERT_TRUE(PumpUntil([&] { return page.state() == QAbstractSocket::UnconnectedState; }, 5000));
  EXPECT_TRUE(page.readAll().startsWith("HTTP/1.1 200"));

  // One client's fourth waiting connection pushes out its first; the page still gets in.
  server.SetLimits(10000, 10000, 4, 3);
  held = HoldConnections(server.Port(), 4);
  ASSERT_TRUE(PumpUntil([&] { return held[0]->state() == QAbstractSocket::UnconnectedState; }, 3000));
  EXPECT_EQ(server.WaitingConnections(), 3);
  EXPECT_TRUE(PageGet("/qq/").startsWith("HTTP/1.1 200"));
  EXPECT_TRUE(held[3]->state() == QAbstractSocket::ConnectedState);
  held.clear();
  EXPECT_TRUE(PumpUntil([&] { return server.OpenConnections() == 0; }, 3000));
}

TEST_F(DirectoryServerTest, ThePageIsServedWhileOthersHoldManyConnections)
{
  // 168 connections dribbling their heads, and a slowloris of another user
  // (the clocks long enough that only the limits act here).
  server.SetLimits(20000, 30000, 64, 16);
  auto held = HoldConnections(server.Port(), 168);
  QTimer drip;
  QObject::connect(&drip, &QTimer::timeout, [&] {
    for (auto& s : held)
      if (s->state() == QAbstractSocket::ConnectedState) s->write("X-Slow: 1\r\n");
  });
  drip.start(200);
  QProcess other;
  if (geteuid() == 0) {
    other.start("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--", "bash", "-c",
                            "for i in $(seq 40); do exec {fd}<>/dev/tcp/127.0.0.1/" + QString::number(server.Port()) +
                                " && printf 'GET /qq/ HTTP/1.1\\r\\n' >&$fd; done; echo held; sleep 20"});
    ASSERT_TRUE(PumpUntil([&] { return other.readAllStandardOutput().contains("held"); }, 10000));
    // Each user keeps its own share: the other's connections did not push out ours.
    EXPECT_TRUE(PumpUntil([&] { return server.WaitingConnections() == 32; }, 5000)) << server.WaitingConnections();
  }
  for (int i = 0; i < 20; ++i) {
    const QByteArray answer = PageGet(i % 2 ? "/qq/api/list?online=0" : "/qq/app.js");
    ASSERT_TRUE(answer.startsWith("HTTP/1.1 200")) << i << ": " << answer.left(60).toStdString();
  }
  EXPECT_LE(server.WaitingConnections(), 64);
  if (other.state() != QProcess::NotRunning) {
    other.kill();
    other.waitForFinished(3000);
  }
}

// The page asks for the player's next state and is answered when it comes,
// not every second: at once for an old version, held for the current one.
TEST_F(DirectoryServerTest, ThePlayersNextStateIsAnsweredWhenItChanges)
{
  auto memory = std::make_unique<TStreamEngineMemory>();
  TStationPlayer player(std::move(memory));
  server.SetPlayer(&player);
  const auto version = [](const QByteArray& answer) {
    return QJsonDocument::fromJson(Body(answer)).object().value("version").toString().toLatin1();
  };
  const QByteArray now = version(PageGet("/qq/api/player"));
  ASSERT_FALSE(now.isEmpty());
  EXPECT_EQ(version(PageGet("/qq/api/player?after=0")), now) << "an old version is answered at once";

  QTcpSocket held;
  held.connectToHost(QHostAddress::LocalHost, server.Port());
  held.write("GET /qq/api/player?after=" + now + " HTTP/1.1\r\n" + PageHead() + "\r\n");
  ASSERT_TRUE(PumpUntil([&] { return server.HeldPlayerRequests() == 1; }, 5000));
  EXPECT_EQ(held.bytesAvailable(), 0);
  player.SetVolume(40);
  QByteArray answer;
  ASSERT_TRUE(PumpUntil([&] { return (answer += held.readAll()).endsWith("}"); }, 5000));
  EXPECT_EQ(QJsonDocument::fromJson(Body(answer)).object().value("volume").toInt(), 40);
  const QByteArray after = version(answer);
  EXPECT_NE(after, now);
  EXPECT_EQ(server.HeldPlayerRequests(), 0);

  // Nothing changes: the request is answered with the same state once the hold is over.
  server.SetPlayerHold(50);
  const QByteArray same = PageGet("/qq/api/player?after=" + after);
  EXPECT_EQ(version(same), after);
  EXPECT_EQ(QJsonDocument::fromJson(Body(same)).object().value("volume").toInt(), 40);
}

TEST_F(DirectoryServerTest, ApiListsAndKeepsFavourites)
{
  fake.Fill(12);
  const QJsonObject list = QJsonDocument::fromJson(Body(PageGet("/qq/api/list?q=&by=name&limit=5"))).object();
  EXPECT_EQ(list.value("state").toString(), "online");
  ASSERT_EQ(list.value("directory").toArray().size(), 5);
  const QJsonObject first = list.value("directory").toArray()[0].toObject();

  const QByteArray add = QJsonDocument(QJsonObject{{"add", first}}).toJson();
  QJsonObject answer = QJsonDocument::fromJson(Body(Post("/qq/api/favourite", add))).object();
  EXPECT_TRUE(answer.value("ok").toBool());
  EXPECT_EQ(answer.value("favourites").toArray().size(), 1);
  EXPECT_EQ(directory->Store().Favourites().size(), 1u);

  // Only our own page, with JSON, of sane size.
  EXPECT_TRUE(Post("/qq/api/favourite", add, "Content-Type: text/plain\r\n").startsWith("HTTP/1.1 415"));
  EXPECT_TRUE(Post("/qq/api/favourite", add, "Content-Type: application/json\r\nOrigin: http://evil.example\r\n")
                  .startsWith("HTTP/1.1 403"));
  EXPECT_TRUE(Post("/qq/api/favourite", "{nope").startsWith("HTTP/1.1 400"));
  EXPECT_TRUE(Fetch(server.Port(), "POST /qq/api/favourite HTTP/1.1\r\n" + PageHead() +
                                       "Content-Type: application/json\r\nContent-Length: 999999999\r\n\r\n")
                  .startsWith("HTTP/1.1 413"));
  EXPECT_TRUE(Fetch(server.Port(), "OPTIONS /qq/api/favourite HTTP/1.1\r\n" + PageHead() + "\r\n").startsWith("HTTP/1.1 405"));

  const QByteArray bad = QJsonDocument(QJsonObject{{"add", QJsonObject{{"name", "x"}, {"url", "file:///etc/passwd"}}}}).toJson();
  answer = QJsonDocument::fromJson(Body(Post("/qq/api/favourite", bad))).object();
  EXPECT_FALSE(answer.value("ok").toBool());
  EXPECT_EQ(directory->Store().Favourites().size(), 1u);

  answer = QJsonDocument::fromJson(Body(Post("/qq/api/favourite", QJsonDocument(QJsonObject{{"remove", first.value("key")}}).toJson()))).object();
  EXPECT_TRUE(answer.value("favourites").toArray().isEmpty());
}

class PageTest : public DirectoryServerTest {
protected:
  QWebEnginePage* Open(bool waitForList = true)
  {
    browser = std::make_unique<TEmbeddedBrowser>(nullptr);
    server.Admit(*browser);
    QUrl url = server.BaseUrl();
    url.setPath(StationDirectoryPath());
    url.setQuery(StationDirectoryQuery());
    browser->Navigate(url);
    QWebEngineView* view = WebEngineViewOf(*browser);
    // The view may sit in the browser control's own widget: the window is sized.
    view->window()->resize(246, 440);
    view->resize(246, 440);
    view->window()->show();
    QWebEnginePage* page = view->page();
    if (!waitForList) return page;
    EXPECT_TRUE(PumpUntil([&] { return RunPageScript(page, "document.body && document.body.dataset.ready").toString() == "1"; }, 30000))
        << "the directory page did not load its station list";
    // The page is laid out at the view's width only once the view has passed it on.
    EXPECT_TRUE(PumpUntil([&] { return RunPageScript(page, "String(window.innerWidth)").toString() == "246"; }, 30000))
        << RunPageScript(page, "String(window.innerWidth)").toString().toStdString();
    return page;
  }
  QString Js(const QString& script) { return RunPageScript(WebEngineViewOf(*browser)->page(), script).toString(); }
  bool WaitJs(const QString& script, const QString& expected)
  {
    return PumpUntil([&] { return Js(script) == expected; }, 30000);
  }
  std::unique_ptr<TEmbeddedBrowser> browser;
};

TEST_F(PageTest, ListsSearchesKeepsFavouritesAndPlaysInARealWebView)
{
  const QByteArray mp3 = MakeToneMp3(dir.path());
  ASSERT_GT(mp3.size(), 1000) << "lame did not produce the test stream";
  TTestHttpServer streams;
  streams.Set("/tone.mp3", {200, "audio/mpeg", mp3});
  streams.Set("/gone.mp3", {404, "text/plain", "gone"});
  const QString hostile = "<img src=x onerror=\"document.body.dataset.pwned=1\">";
  fake.stations = QJsonArray{TFakeDirectory::Station(1, QString::fromUtf8("本地测试台"), streams.Url("/tone.mp3")),
                             TFakeDirectory::Station(2, hostile, streams.Url("/tone.mp3")),
                             TFakeDirectory::Station(3, QString::fromUtf8("坏电台"), streams.Url("/gone.mp3"))};
  QWebEnginePage* page = Open();
  ASSERT_NE(page, nullptr);

  EXPECT_EQ(Js("document.querySelectorAll('#directory li').length"), "3");
  EXPECT_EQ(Js("document.querySelectorAll('#directory .name')[1].textContent"), hostile);
  EXPECT_EQ(Js("String(document.querySelectorAll('img[src=\"x\"]').length + (document.body.dataset.pwned || ''))"), "0");
  EXPECT_EQ(Js("document.querySelector('#directory .meta').textContent"), QString::fromUtf8("China · MP3 · 128 kbps"));

  // Favourite the third: it comes first, and it is on disk.
  Js("document.querySelectorAll('#directory .star')[2].click(); ''");
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#favourites li').length)", "1"));
  EXPECT_EQ(Js("document.querySelector('#list h2').textContent"), QString::fromUtf8("我的收藏"));
  EXPECT_EQ(directory->Store().Favourites().size(), 1u);

  // "预约": said when nothing can schedule; with the program's receiver it gets the station.
  Js("document.querySelector('#favourites .schedule').click(); ''");
  EXPECT_TRUE(WaitJs("document.getElementById('status').textContent", QString::fromUtf8("现在不能预约录音。")));
  QStringList scheduled;
  QObject::connect(&server, &TDirectoryServer::ScheduleRequested, &server,
                   [&](const QString& name, const QString& url) { scheduled << name << url; });
  Js("document.querySelectorAll('#directory .schedule')[0].click(); ''");
  ASSERT_TRUE(PumpUntil([&] { return !scheduled.isEmpty(); }, 10000));
  EXPECT_EQ(scheduled, QStringList({QString::fromUtf8("本地测试台"), streams.Url("/tone.mp3")}));

  // Search asks the directory.
  Js(QString::fromUtf8("document.getElementById('filter').value='本地';"
                       "document.getElementById('search').requestSubmit(); ''"));
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#directory li').length)", "1"));
  EXPECT_EQ(fake.requests.back().Query.queryItemValue("name", QUrl::FullyDecoded), QString::fromUtf8("本地"));

  // Plays through the program's player: the click is counted, the page shows its state.
  auto memory = std::make_unique<TStreamEngineMemory>();
  TStreamEngineMemory* engine = memory.get();
  TStationPlayer player(std::move(memory));
  server.SetPlayer(&player);
  Js("document.querySelector('#directory .play').click(); ''");
  ASSERT_TRUE(PumpUntil([&] { return engine->opened.size() == 1; }, 10000));
  EXPECT_EQ(engine->opened[0], QUrl(streams.Url("/tone.mp3")));
  TStreamEvent playing;
  playing.Kind = TStreamEvent::sePlaying;
  engine->Emit(playing);
  ASSERT_TRUE(WaitJs("document.getElementById('state').textContent", QString::fromUtf8("正在播放")))
      << Js("document.getElementById('state').textContent").toStdString();
  EXPECT_EQ(fake.clicks, QStringList{fake.stations[0].toObject().value("stationuuid").toString()});

  // An unreachable stream says so.
  Js("document.getElementById('filter').value=''; document.getElementById('search').requestSubmit(); ''");
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#favourites li').length)", "1"));
  Js("document.querySelector('#favourites .play').click(); ''");
  ASSERT_TRUE(PumpUntil([&] { return engine->opened.size() == 2; }, 10000));
  TStreamEvent gone;
  gone.Kind = TStreamEvent::seError;
  gone.Error = TStreamEvent::erNotFound;
  engine->Emit(gone);
  ASSERT_TRUE(WaitJs("document.getElementById('state').className", "error"))
      << Js("document.getElementById('state').textContent").toStdString();
  EXPECT_TRUE(Js("document.getElementById('state').textContent").startsWith(QString::fromUtf8("无法播放该电台")))
      << Js("document.getElementById('state').textContent").toStdString();
  browser.reset();  // its polls end before the player goes
}

TEST_F(PageTest, ThePageWorksWhileAnotherProgramHoldsConnectionsOpen)
{
  // A slowloris that keeps 40 connections up: a header line on each now and
  // then, a new connection for each one closed.
  fake.Fill(3);
  auto held = HoldConnections(server.Port(), 40);
  QTimer drip;
  QObject::connect(&drip, &QTimer::timeout, [&] {
    for (auto& s : held) {
      if (s->state() == QAbstractSocket::ConnectedState) s->write("X-Slow: 1\r\n");
      else if (s->state() == QAbstractSocket::UnconnectedState) s = std::move(HoldConnections(server.Port(), 1)[0]);
    }
  });
  drip.start(250);
  Open();
  EXPECT_EQ(Js("String(document.querySelectorAll('#directory li').length)"), "3");
  Js("document.querySelector('#directory .star').click(); ''");
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#favourites li').length)", "1"));
  EXPECT_EQ(directory->Store().Favourites().size(), 1u);
}

TEST_F(PageTest, SaysWhenItIsOfflineOrTurnedOff)
{
  // A directory that never answers: local stations show at once, then the time-out.
  QFile list(server.UserListFile());
  ASSERT_TRUE(list.open(QIODevice::WriteOnly));
  list.write("我的台 | http://127.0.0.1:9/mine.mp3\n");
  list.close();
  fake.mode = TFakeDirectory::fmSilent;
  directory->Client()->SetTimeout(1500);
  Open(false);
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#user li').length > 0)", "true"));
  EXPECT_EQ(Js("document.body.dataset.ready"), "loading");
  EXPECT_TRUE(Js("document.getElementById('status').textContent").contains(QString::fromUtf8("正在连接")));
  ASSERT_TRUE(WaitJs("document.body.dataset.state", "offline"));
  EXPECT_TRUE(Js("document.getElementById('status').textContent").contains(QString::fromUtf8("离线")));
  EXPECT_TRUE(Js("document.getElementById('status').textContent").contains(QString::fromUtf8("没有应答")));
  EXPECT_EQ(Js("String(document.querySelectorAll('#user li').length > 0)"), "true");

  // Turned off, with a favourites file that cannot be read: said, and left alone.
  const QByteArray broken = "{\"stations\": [{\"name\": \"旧收藏\"";
  QDir().mkpath(dir.filePath("data"));
  QFile f(dir.filePath("data/favourites.json"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(broken);
  f.close();
  UseDirectory({}, false);
  WebEngineViewOf(*browser)->page()->triggerAction(QWebEnginePage::Reload);
  ASSERT_TRUE(WaitJs("document.body.dataset.state", "off"));
  EXPECT_TRUE(Js("document.getElementById('status').textContent").contains(QString::fromUtf8("已关闭")));
  EXPECT_TRUE(Js("document.getElementById('status').textContent").contains(QString::fromUtf8("收藏文件")));
  Js("document.getElementById('status').textContent=''; document.querySelector('#user .star').click(); ''");
  ASSERT_TRUE(WaitJs("String(document.getElementById('status').textContent.includes('收藏暂不能修改'))", "true"));
  EXPECT_EQ(Js("String(document.querySelectorAll('#favourites li').length)"), "0");
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), broken);
}

TEST_F(PageTest, WithNothingToListItSaysWhereToAddAStationAndLongPathsWrap)
{
  // A deep configuration folder: its path is far wider than the narrow page.
  const QString deep = dir.filePath(QString(60, u'x') + "/" + QString(60, u'y'));
  ASSERT_TRUE(QDir().mkpath(deep));
  server.SetUserListFile(deep + "/stations.txt");
  UseDirectory({}, false);
  QWebEnginePage* page = Open();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(Js("String(document.querySelectorAll('#list li').length)"), "0") << "no placeholder station";
  EXPECT_EQ(Js("document.querySelector('#list .empty .path').textContent"), deep + "/stations.txt");
  const QString noSideScroll = "String(document.scrollingElement.scrollWidth <= document.scrollingElement.clientWidth)";
  EXPECT_EQ(Js(noSideScroll), "true") << Js("String(document.scrollingElement.scrollWidth)").toStdString();

  // The list file exists (unreadable lines, too) and favourites cannot be read:
  // the footer and the status wrap, the labels stay whole.
  QFile list(server.UserListFile());
  ASSERT_TRUE(list.open(QIODevice::WriteOnly));
  list.write("我的台 | http://127.0.0.1:9/mine.mp3\nbroken\n");
  list.close();
  QDir().mkpath(dir.filePath("data"));
  QFile favourites(dir.filePath("data/favourites.json"));
  ASSERT_TRUE(favourites.open(QIODevice::WriteOnly));
  favourites.write("{");
  favourites.close();
  UseDirectory({}, false);
  page->triggerAction(QWebEnginePage::Reload);
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#user li').length)", "1"));
  ASSERT_TRUE(WaitJs("String(document.querySelectorAll('#foot .label').length)", "2"));
  EXPECT_EQ(Js("document.querySelector('#foot .path').textContent"), server.UserListFile());
  EXPECT_EQ(Js(noSideScroll), "true") << Js("String(document.scrollingElement.scrollWidth)").toStdString();
  EXPECT_EQ(Js("String(document.querySelector('#foot .label').getClientRects().length)"), "1")
      << "\"自定义电台：\" is broken over two lines";
  EXPECT_TRUE(Js("document.getElementById('status').textContent").contains(QString::fromUtf8("收藏文件")));
}

} // namespace
