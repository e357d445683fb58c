#include "browser/playlist.h"
#include "browser/radio_browser_client.h"
#include "platform/host_lookup.h"
#include "support/fake_directory.h"
#include "support/pump.h"
#include "support/qt_printers.h"

#include <QNetworkProxy>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <set>

namespace {

TEST(DirectoryAnswer, KeepsGoodEntriesAndCountsTheRest)
{
  const QByteArray json = R"J([
    {"stationuuid":"a1","name":"<script>alert(1)</script>","url":"http://x.example/a","url_resolved":"https://x.example/a.mp3",
     "codec":"MP3","bitrate":"128","tags":"news","countrycode":"CN","lastcheckok":1,"favicon":"javascript:alert(1)"},
    {"stationuuid":"a2","url":"http://y.example:8000/live"},
    {"stationuuid":"a3","name":"ftp","url":"ftp://z.example/x"},
    {"stationuuid":"a4","name":"js","url":"javascript:alert(1)"},
    {"stationuuid":"a5","name":"broken","url":"http://b.example/","lastcheckok":0},
    {"stationuuid":"a6","name":"tab\tand\u0007bell \u202e","url":"http://c.example/"},
    "not an object", 42
  ])J";
  const TStationParse p = ParseDirectoryStations(json);
  ASSERT_TRUE(p.Error.isEmpty()) << p.Error.toStdString();
  ASSERT_EQ(p.Stations.size(), 3u);
  EXPECT_EQ(p.Skipped, 4);
  EXPECT_EQ(p.Broken, 1);
  // Markup stays text here; the page never reads names as markup.
  EXPECT_EQ(p.Stations[0].Name, "<script>alert(1)</script>");
  EXPECT_EQ(p.Stations[0].PlayUrl(), "https://x.example/a.mp3");
  EXPECT_EQ(p.Stations[0].Bitrate, 128);
  EXPECT_TRUE(p.Stations[0].Favicon.isEmpty());
  EXPECT_EQ(p.Stations[1].Name, "y.example");  // no name: the host
  EXPECT_EQ(p.Stations[2].Name, "tab and bell");

  EXPECT_FALSE(ParseDirectoryStations("[{\"name\": ").Error.isEmpty());
  EXPECT_FALSE(ParseDirectoryStations("{\"stations\": []}").Error.isEmpty());
  const QString longName(5000, QChar(u'长'));
  const auto cut = ParseDirectoryStations(QJsonDocument(QJsonArray{TFakeDirectory::Station(1, longName, "http://a.example/")}).toJson());
  ASSERT_EQ(cut.Stations.size(), 1u);
  EXPECT_LE(cut.Stations[0].Name.size(), 200);
}

TEST(DirectorySetting, EnvironmentSettingsAndDefault)
{
  QTemporaryDir dir;
  const QString ini = dir.filePath("mainform.ini");
  auto write = [&](const QByteArray& text) {
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  };
  // The variable is put back as it was, whatever happens here.
  struct TRestore {
    bool Set = qEnvironmentVariableIsSet("VELMORA_DIRECTORY_URL");
    QByteArray Value = qgetenv("VELMORA_DIRECTORY_URL");
    ~TRestore() { Set ? qputenv("VELMORA_DIRECTORY_URL", Value) : qunsetenv("VELMORA_DIRECTORY_URL"); }
  } restore;
  qunsetenv("VELMORA_DIRECTORY_URL");
  TDirectoryConfig cfg = ResolveDirectoryConfig(ini);  // no file
  EXPECT_TRUE(cfg.Enabled);
  EXPECT_EQ(cfg.DiscoveryName, "all.api.radio-browser.info");
  EXPECT_TRUE(cfg.Mirrors.isEmpty());

  write("[main]\ntop=0\n[directory]\nurl=http://127.0.0.1:8001/, https://m2.example/api/\n");
  cfg = ResolveDirectoryConfig(ini);
  EXPECT_EQ(cfg.Origin, "settings");
  EXPECT_EQ(cfg.Mirrors, (QList<QUrl>{QUrl("http://127.0.0.1:8001"), QUrl("https://m2.example/api")}));

  write("[directory]\nurl=ftp://nowhere\n");
  cfg = ResolveDirectoryConfig(ini);
  EXPECT_FALSE(cfg.Enabled);
  EXPECT_TRUE(cfg.Problem.contains("ftp://nowhere")) << cfg.Problem.toStdString();

  qputenv("VELMORA_DIRECTORY_URL", "http://127.0.0.1:9");
  cfg = ResolveDirectoryConfig(ini);
  EXPECT_EQ(cfg.Origin, "environment");
  EXPECT_EQ(cfg.Mirrors, QList<QUrl>{QUrl("http://127.0.0.1:9")});
  qputenv("VELMORA_DIRECTORY_URL", "");
  EXPECT_FALSE(ResolveDirectoryConfig(ini).Enabled);
  EXPECT_TRUE(ResolveDirectoryConfig(ini).Problem.isEmpty());
}

TEST(Playlists, PlsM3uAndHls)
{
  const QUrl base("http://radio.example/list/station.pls");
  TPlaylist pls = ParsePlaylist("[playlist]\r\nNumberOfEntries=2\r\nFile1=http://s1.example:8000/live\r\n"
                                "Title1=x\r\nFile2=ftp://bad\r\nVersion=2\r\n", base);
  EXPECT_EQ(pls.Kind, TPlaylist::pkPls);
  EXPECT_EQ(pls.Streams, QStringList{"http://s1.example:8000/live"});
  TPlaylist m3u = ParsePlaylist("#EXTM3U\n#EXTINF:-1,Station\nstream.mp3\nhttps://s2.example/a\n", base);
  EXPECT_EQ(m3u.Kind, TPlaylist::pkM3u);
  EXPECT_EQ(m3u.Streams, (QStringList{"http://radio.example/list/stream.mp3", "https://s2.example/a"}));
  EXPECT_EQ(ParsePlaylist("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nchunk.m3u8\n", base).Kind, TPlaylist::pkHls);
  EXPECT_TRUE(LooksLikePlaylist(QUrl("http://a.example/x.M3U")));
  EXPECT_FALSE(LooksLikePlaylist(QUrl("http://a.example/x.mp3")));
}

class ClientTest : public ::testing::Test {
protected:
  // A client of the given mirrors with short time-outs.
  std::unique_ptr<TRadioBrowserClient> Client(QList<QUrl> mirrors, quint32 seed = 1)
  {
    TDirectoryConfig cfg;
    cfg.Mirrors = std::move(mirrors);
    auto c = std::make_unique<TRadioBrowserClient>(cfg, nullptr);
    c->SetTimeout(2000);
    c->SetRandomSeed(seed);
    return c;
  }
  TStationsResult Search(TRadioBrowserClient& c, const TStationQuery& q)
  {
    std::optional<TStationsResult> out;
    c.Search(q, [&](const TStationsResult& r) { out = r; });
    EXPECT_TRUE(PumpUntil([&] { return out.has_value(); }, 15000));
    return out.value_or(TStationsResult{});
  }
  // A port on which nothing listens.
  static QUrl DeadMirror()
  {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(s.serverPort()));
  }
  TFakeDirectory fake;
};

TEST_F(ClientTest, TopStationsSearchAndClicks)
{
  fake.Fill(30);
  auto c = Client({fake.BaseUrl()});
  TStationsResult top = Search(*c, {});
  ASSERT_TRUE(top.Ok) << top.Error.toStdString();
  ASSERT_EQ(top.Stations.size(), 24u);  // the Chinese ones
  EXPECT_EQ(top.Stations[0].Name, "电台 0");  // most listened first
  const TFakeDirectory::TRequest& r = fake.requests.back();
  EXPECT_EQ(r.Path, "/json/stations/search");
  EXPECT_EQ(r.Query.queryItemValue("language"), "chinese");
  EXPECT_EQ(r.Query.queryItemValue("hidebroken"), "true");
  EXPECT_EQ(r.Query.queryItemValue("order"), "clickcount");
  EXPECT_EQ(r.Query.queryItemValue("reverse"), "true");
  EXPECT_EQ(r.UserAgent, "Velmora/1.2.4");

  TStationsResult byName = Search(*c, {QStringLiteral("电台 1"), TStationQuery::fdName, 0, 5});
  ASSERT_TRUE(byName.Ok);
  EXPECT_EQ(byName.Stations.size(), 5u);  // 电台 1, 10..13 of 1, 10..19
  EXPECT_EQ(Search(*c, {"news", TStationQuery::fdTag, 0, 100}).Stations.size(), 15u);
  EXPECT_EQ(fake.requests.back().Query.queryItemValue("tag"), "news");
  Search(*c, {"cn", TStationQuery::fdCountry, 0, 100});
  EXPECT_EQ(fake.requests.back().Query.queryItemValue("countrycode"), "CN");

  bool counted = false;
  c->CountClick(top.Stations[0].Uuid, [&](bool ok, const QString&) { counted = ok; });
  ASSERT_TRUE(PumpUntil([&] { return counted; }, 10000));
  EXPECT_EQ(fake.clicks, QStringList{top.Stations[0].Uuid});
  c->CountClick("../../etc", [&](bool ok, const QString&) { counted = ok; });
  EXPECT_FALSE(counted);
}

TEST_F(ClientTest, FailsOverToTheNextMirrorAndKeepsTheOneThatAnswered)
{
  fake.Fill(3);
  const QUrl dead = DeadMirror();
  bool sawFailover = false;
  for (quint32 seed = 0; seed < 12; ++seed) {
    auto c = Client({dead, fake.BaseUrl()}, seed);
    const TStationsResult first = Search(*c, {});
    ASSERT_TRUE(first.Ok) << first.Error.toStdString();
    EXPECT_EQ(first.Mirror, fake.BaseUrl());
    sawFailover |= first.Attempts == 2;
    EXPECT_EQ(Search(*c, {}).Attempts, 1);  // the good mirror is kept
  }
  EXPECT_TRUE(sawFailover);

  // An unreachable network is reported after a bounded number of mirrors.
  auto none = Client({DeadMirror(), DeadMirror(), DeadMirror(), DeadMirror()});
  none->SetMaxAttempts(2);
  const TStationsResult r = Search(*none, {});
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Attempts, 2);
  EXPECT_TRUE(r.Error.contains(QString::fromUtf8("已尝试 2 个服务器"))) << r.Error.toStdString();
}

TEST_F(ClientTest, PicksAMirrorAtRandom)
{
  TFakeDirectory other;
  std::set<QUrl> first;
  for (quint32 seed = 0; seed < 12; ++seed) first.insert(Search(*Client({fake.BaseUrl(), other.BaseUrl()}, seed), {}).Mirror);
  EXPECT_EQ(first.size(), 2u);
}

TEST_F(ClientTest, DiscoversMirrorsByName)
{
  TMemoryHostLookup lookup;
  lookup.SetMirrors("all.api.radio-browser.info", {"de1.api.radio-browser.info", "nl1.api.radio-browser.info"});
  TRadioBrowserClient c(ParseDirectoryUrlSetting(DefaultDirectoryUrl()), &lookup);
  bool found = false;
  c.FindMirrors([&](QString) { found = true; });
  c.FindMirrors([&](QString) {});  // joins the look-up in flight
  ASSERT_TRUE(PumpUntil([&] { return found; }, 5000));
  EXPECT_EQ(lookup.Lookups(), 1);
  const QList<QUrl> m = c.Mirrors();
  EXPECT_EQ(m.size(), 2);
  EXPECT_TRUE(m.contains(QUrl("https://de1.api.radio-browser.info")));

  TMemoryHostLookup none;  // no answer: the discovery name itself
  TRadioBrowserClient fallback(ParseDirectoryUrlSetting(DefaultDirectoryUrl()), &none);
  found = false;
  fallback.FindMirrors([&](QString) { found = true; });
  ASSERT_TRUE(PumpUntil([&] { return found; }, 5000));
  EXPECT_EQ(fallback.Mirrors(), QList<QUrl>{QUrl("https://all.api.radio-browser.info")});
}

TEST_F(ClientTest, BadAnswersGiveClearErrors)
{
  fake.Fill(3);
  auto c = Client({fake.BaseUrl()});
  c->SetTimeout(300);
  c->SetMaxAnswerBytes(64 * 1024);
  struct {
    TFakeDirectory::TMode Mode;
    const char* Says;
  } cases[] = {{TFakeDirectory::fmSilent, "没有应答"},
               {TFakeDirectory::fmHttpError, "HTTP 503"},
               {TFakeDirectory::fmMalformed, "无法解析"},
               {TFakeDirectory::fmHuge, "应答过大"}};
  for (const auto& k : cases) {
    fake.mode = k.Mode;
    const TStationsResult r = Search(*c, {});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Error.contains(QString::fromUtf8(k.Says))) << r.Error.toStdString();
  }
  // A slow first mirror: the second answers within the time.
  TFakeDirectory good;
  good.Fill(2);
  fake.mode = TFakeDirectory::fmSilent;
  bool sawSlowFirst = false;
  for (quint32 seed = 0; seed < 6; ++seed) {
    auto both = Client({fake.BaseUrl(), good.BaseUrl()}, seed);
    both->SetTimeout(300);
    const TStationsResult r = Search(*both, {});
    ASSERT_TRUE(r.Ok) << r.Error.toStdString();
    sawSlowFirst |= r.Attempts == 2;
  }
  EXPECT_TRUE(sawSlowFirst);
}

TEST_F(ClientTest, KeepsAtMostTheStationsAskedForHoweverManyArrive)
{
  // A directory that ignores the limit: 168,838 stations (8 MB) for a page of 100.
  QByteArray all = "[";
  for (int i = 0; i < 168838; ++i) all += (i ? ",{\"name\":\"s" : "{\"name\":\"s") + QByteArray::number(i) + "\",\"url\":\"http://10.0.0.1/\"}";
  all += "]";
  fake.mode = TFakeDirectory::fmRaw;
  fake.raw = all;
  auto c = Client({fake.BaseUrl()});
  c->SetTimeout(10000);
  TStationsResult r = Search(*c, {QString(), TStationQuery::fdName, 0, 100});
  ASSERT_TRUE(r.Ok) << r.Error.toStdString();
  ASSERT_EQ(r.Stations.size(), 100u);
  EXPECT_EQ(r.Stations[99].Name, "s99");
  r = Search(*c, {QString(), TStationQuery::fdName, 0, 1000});
  EXPECT_EQ(r.Stations.size(), 1000u);

  // Read in part, the answer still says what is wrong with it.
  const QByteArray two = R"([{"name":"a","url":"http://a.example/"},{"name":"b","url":"http://b.example/"},{"name":)";
  EXPECT_EQ(ParseDirectoryStations(two, 100, true).Stations.size(), 2u);
  EXPECT_FALSE(ParseDirectoryStations(two, 100, false).Error.isEmpty());
  EXPECT_EQ(ParseDirectoryStations(two, 1, false).Stations.size(), 1u);
  EXPECT_FALSE(ParseDirectoryStations(R"([{"name":"a","url":"http://a.example/"}}])").Error.isEmpty());
  EXPECT_FALSE(ParseDirectoryStations(R"([{"name":"a","url":"http://a.example/"},])").Error.isEmpty());
  EXPECT_EQ(ParseDirectoryStations(R"( [ {"name":"a,]}\"","url":"http://a.example/"} ] )").Stations.size(), 1u);
}

TEST_F(ClientTest, RedirectsStayOffThisMachineUnlessTheDirectoryIsOnIt)
{
  const QUrl remote("https://de1.api.radio-browser.info"), here("http://127.0.0.1:8000");
  EXPECT_TRUE(TRadioBrowserClient::RedirectAllowed(remote, QUrl("https://nl1.api.radio-browser.info/json/x")));
  EXPECT_FALSE(TRadioBrowserClient::RedirectAllowed(remote, QUrl("http://nl1.api.radio-browser.info/json/x")));
  for (const char* to : {"http://127.0.0.1:9/", "http://127.1.2.3/", "http://localhost:8080/", "http://LOCALHOST./",
                         "http://a.localhost/", "http://[::1]:80/", "http://0.0.0.0/", "http://[::ffff:127.0.0.1]/",
                         "http://2130706433/", "file:///etc/passwd", "ftp://x.example/"})
    EXPECT_FALSE(TRadioBrowserClient::RedirectAllowed(QUrl("http://directory.example"), QUrl(to))) << to;
  EXPECT_TRUE(TRadioBrowserClient::RedirectAllowed(here, QUrl("http://127.0.0.1:9/")));
  EXPECT_FALSE(TRadioBrowserClient::RedirectAllowed(here, QUrl("file:///x")));

  // A directory elsewhere (reached through a proxy here) sends the client to another port of this machine.
  TFakeDirectory local;
  local.Fill(3);
  fake.mode = TFakeDirectory::fmRedirect;
  fake.redirectTo = local.BaseUrl();
  struct TProxy {
    TProxy(quint16 port) { QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", port)); }
    ~TProxy() { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }
  };
  {
    TProxy proxy(quint16(fake.BaseUrl().port()));
    auto c = Client({QUrl("http://directory.example")});
    const TStationsResult r = Search(*c, {});
    EXPECT_FALSE(r.Ok);
    EXPECT_TRUE(r.Error.contains(QString::fromUtf8("拒绝转向"))) << r.Error.toStdString();
    EXPECT_EQ(fake.requests.size(), 1u);
    EXPECT_TRUE(local.requests.empty());
  }
  // A directory on this machine may send the client to another port of it.
  const TStationsResult r = Search(*Client({fake.BaseUrl()}), {});
  ASSERT_TRUE(r.Ok) << r.Error.toStdString();
  EXPECT_EQ(r.Stations.size(), 3u);
  EXPECT_EQ(local.requests.size(), 1u);
}

} // namespace
