#include "browser/directory_server.h"
#include "browser/station_directory.h"
#include "support/fake_directory.h"
#include "support/hostile_files.h"
#include "support/pump.h"
#include "support/qt_printers.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

TDirectoryStation Sample(const QString& uuid, const QString& name)
{
  TDirectoryStation s;
  s.Uuid = uuid;
  s.Name = name;
  s.Url = "http://radio.example/" + uuid;
  return s;
}

QByteArray ReadAll(const QString& path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

class StoreTest : public ::testing::Test {
protected:
  QTemporaryDir dir;
  QString data = dir.filePath("data"), cache = dir.filePath("cache");
};

TEST_F(StoreTest, FavouritesSurviveARestartAndKeepTheirOrder)
{
  {
    TStationStore store(data, cache);
    QString error;
    ASSERT_TRUE(store.AddFavourite(Sample("b", "乙"), &error)) << error.toStdString();
    ASSERT_TRUE(store.AddFavourite(Sample("a", "甲"), &error));
    ASSERT_TRUE(store.AddFavourite(Sample("a", "甲"), &error));  // twice: once
    ASSERT_TRUE(store.AddFavourite(Sample("c", "丙"), &error));
    ASSERT_TRUE(store.RemoveFavourite("b", &error));
  }
  TStationStore again(data, cache);
  ASSERT_EQ(again.Favourites().size(), 2u);
  EXPECT_EQ(again.Favourites()[0].Name, "甲");
  EXPECT_EQ(again.Favourites()[1].Name, "丙");
  EXPECT_TRUE(again.FavouritesProblem().isEmpty());
}

TEST_F(StoreTest, AnUnreadableFavouritesFileIsNeverOverwritten)
{
  QDir().mkpath(data);
  TStationStore probe(data, cache);
  const QByteArray broken = "{\"stations\": [{\"name\": \"我的最爱\", \"url\": \"http://a.example/\"}, ";
  WriteAll(probe.FavouritesFile(), broken);
  TStationStore store(data, cache);
  EXPECT_TRUE(store.FavouritesProblem().contains(store.FavouritesFile())) << store.FavouritesProblem().toStdString();
  QString error;
  EXPECT_FALSE(store.AddFavourite(Sample("x", "新"), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(ReadAll(store.FavouritesFile()), broken);
}

TEST_F(StoreTest, AFifoOrADeviceAsFavouritesIsRefusedAtOnceAndKept)
{
  QDir().mkpath(data);
  const QString favourites = QDir(data).filePath("favourites.json");
  ASSERT_TRUE(MakeFifo(favourites));
  {
    TFifoWatch watch(favourites);
    TStationStore store(data, cache);
    EXPECT_FALSE(watch.Released()) << "open() blocked on the FIFO";
    EXPECT_TRUE(store.FavouritesProblem().contains("管道")) << store.FavouritesProblem().toStdString();
    QString error;
    EXPECT_FALSE(store.AddFavourite(Sample("x", "新"), &error));
  }
  EXPECT_FALSE(QFileInfo(favourites).isFile()) << "never replaced";
  ASSERT_TRUE(QFile::remove(favourites));
  ASSERT_TRUE(QFile::link("/dev/zero", favourites));
  TStationStore store(data, cache);
  EXPECT_TRUE(store.FavouritesProblem().contains("设备")) << store.FavouritesProblem().toStdString();
}

TEST_F(StoreTest, AnEmptyFavouritesFileIsAnEmptyList)
{
  QDir().mkpath(data);
  for (const QByteArray& empty : {QByteArray(), QByteArray(" \n")}) {
    WriteAll(QDir(data).filePath("favourites.json"), empty);
    TStationStore store(data, cache);
    EXPECT_TRUE(store.FavouritesProblem().isEmpty()) << store.FavouritesProblem().toStdString();
    QString error;
    ASSERT_TRUE(store.AddFavourite(Sample("a", "甲"), &error)) << error.toStdString();
    EXPECT_EQ(TStationStore(data, cache).Favourites().size(), 1u);
  }
}

TEST_F(StoreTest, AFolderThatCannotBeWrittenIsReportedAndChangesNothing)
{
  if (geteuid() == 0) {
    // Root writes anywhere: a file where the folder should be stops it all the same.
    WriteAll(dir.filePath("blocked"), "x");
    data = dir.filePath("blocked/data");
    cache = dir.filePath("blocked/cache");
  } else {
    QDir().mkpath(data);
    chmod(QFile::encodeName(data).constData(), 0500);
    cache = data;
  }
  TStationStore store(data, cache);
  QString error;
  EXPECT_FALSE(store.AddFavourite(Sample("x", "新"), &error));
  EXPECT_TRUE(error.startsWith(QString::fromUtf8("无法保存收藏"))) << error.toStdString();
  EXPECT_TRUE(store.Favourites().empty());
  EXPECT_FALSE(store.CacheAnswer("top", {Sample("x", "新")}, &error));
  EXPECT_TRUE(error.startsWith(QString::fromUtf8("无法写入离线缓存"))) << error.toStdString();
}

TEST_F(StoreTest, CacheKeepsAnswersAndReplacesACorruptFile)
{
  TStationStore store(data, cache);
  QString error, problem;
  ASSERT_TRUE(store.CacheAnswer("top", {Sample("a", "甲"), Sample("b", "乙")}, &error)) << error.toStdString();
  auto got = store.CachedAnswer("top", &problem);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->Stations.size(), 2u);
  EXPECT_TRUE(got->SavedAt.isValid());
  EXPECT_FALSE(store.CachedAnswer("name:x", &problem).has_value());

  WriteAll(store.CacheFile(), "\x01\x02 not json");
  EXPECT_FALSE(store.CachedAnswer("top", &problem).has_value());
  EXPECT_TRUE(problem.contains(QString::fromUtf8("离线缓存"))) << problem.toStdString();
  ASSERT_TRUE(store.CacheAnswer("top", {Sample("c", "丙")}, &error));
  problem.clear();
  EXPECT_EQ(store.CachedAnswer("top", &problem)->Stations.size(), 1u);
  EXPECT_TRUE(problem.isEmpty());

  for (int i = 0; i < TStationStore::kMaxCachedAnswers + 5; ++i) store.CacheAnswer(QString::number(i), {}, &error);
  EXPECT_FALSE(store.CachedAnswer("top", &problem).has_value());  // the oldest went
  EXPECT_TRUE(store.CachedAnswer("34", &problem).has_value());
}

class DirectoryTest : public ::testing::Test {
protected:
  std::unique_ptr<TStationDirectory> Directory(QList<QUrl> mirrors, bool enabled = true)
  {
    TDirectoryConfig cfg;
    cfg.Enabled = enabled;
    cfg.Mirrors = std::move(mirrors);
    auto d = std::make_unique<TStationDirectory>(cfg, nullptr, dir.filePath("data"), dir.filePath("cache"));
    d->Client()->SetTimeout(1000);
    d->SetPlaylistTimeout(1000);
    d->SetUserListFile(dir.filePath("stations.txt"));
    return d;
  }
  TStationListing List(TStationDirectory& d, const TStationQuery& q = {})
  {
    std::optional<TStationListing> out;
    d.List(q, [&](const TStationListing& l) { out = l; });
    EXPECT_TRUE(PumpUntil([&] { return out.has_value(); }, 10000));
    return out.value_or(TStationListing{});
  }
  TPlayAnswer Play(TStationDirectory& d, const TDirectoryStation& s)
  {
    std::optional<TPlayAnswer> out;
    d.Play(s, [&](const TPlayAnswer& a) { out = a; });
    EXPECT_TRUE(PumpUntil([&] { return out.has_value(); }, 10000));
    return out.value_or(TPlayAnswer{});
  }
  QTemporaryDir dir;
  TFakeDirectory fake;
};

TEST_F(DirectoryTest, StartsOfflineFromTheLastGoodAnswer)
{
  fake.Fill(10);
  WriteAll(dir.filePath("stations.txt"), "我的台 | http://127.0.0.1:9/mine\nnonsense\n");
  {
    auto online = Directory({fake.BaseUrl()});
    QString error;
    ASSERT_TRUE(online->Store().AddFavourite(Sample("f1", "收藏台"), &error));
    const TStationListing l = List(*online);
    EXPECT_EQ(l.State, TStationListing::dsOnline);
    EXPECT_EQ(l.Directory.size(), 8u);
    EXPECT_EQ(l.Favourites.size(), 1u);
    ASSERT_EQ(l.User.size(), 1u);
    EXPECT_EQ(l.SkippedUserLines, std::vector<int>{2});
  }
  TFakeDirectory down;
  down.mode = TFakeDirectory::fmHttpError;
  auto offline = Directory({down.BaseUrl()});
  TStationListing l = List(*offline);
  EXPECT_EQ(l.State, TStationListing::dsCache);
  EXPECT_EQ(l.Directory.size(), 8u);
  EXPECT_TRUE(l.CachedAt.isValid());
  ASSERT_FALSE(l.Messages.isEmpty());
  EXPECT_TRUE(l.Messages[0].contains("HTTP 503")) << l.Messages[0].toStdString();
  EXPECT_EQ(l.Favourites.size(), 1u);  // favourites need no network

  l = List(*offline, {QStringLiteral("没搜过"), TStationQuery::fdName, 0, 100});
  EXPECT_EQ(l.State, TStationListing::dsOffline);
  EXPECT_TRUE(l.Directory.empty());

  // Turned off, the directory's last answer still shows, with its date.
  const TStationListing off = List(*Directory({}, false));
  EXPECT_EQ(off.State, TStationListing::dsOff);
  EXPECT_EQ(off.Directory.size(), 8u);
  EXPECT_TRUE(off.CachedAt.isValid());
  EXPECT_TRUE(List(*Directory({}, false), {QStringLiteral("没搜过"), TStationQuery::fdName, 0, 100}).Directory.empty());
}

TEST_F(DirectoryTest, NothingShipsThatCannotPlayAndAnEmptyListNamesTheUsersFile)
{
  auto d = Directory({}, false);
  const TStationListing l = List(*d);
  EXPECT_TRUE(l.Favourites.empty());
  EXPECT_TRUE(l.Directory.empty());
  EXPECT_TRUE(l.User.empty());
  const QJsonObject json = l.ToJson();
  EXPECT_FALSE(json.contains("bundled"));
  EXPECT_EQ(json.value("userListPath").toString(), dir.filePath("stations.txt"));
  EXPECT_FALSE(json.contains("userFile"));  // named as where to write, not as read
}

TEST_F(DirectoryTest, AUserListInGbkIsReadAndUndecodableLinesAreNamed)
{
  QStringEncoder gbk("GB18030");
  ASSERT_TRUE(gbk.isValid());
  const QByteArray text = gbk.encode(QStringLiteral("新闻台 | http://127.0.0.1:9/news\n体育 | 体育之声 | http://127.0.0.1:9/sport\n"));
  WriteAll(dir.filePath("stations.txt"), text);
  auto d = Directory({}, false);
  TStationListing l = List(*d);
  ASSERT_EQ(l.User.size(), 2u);
  EXPECT_EQ(l.User[0].Name, QStringLiteral("新闻台"));
  EXPECT_EQ(l.User[1].Category, QStringLiteral("体育"));
  EXPECT_TRUE(l.Messages.isEmpty());

  // Bytes that are neither UTF-8 nor GB18030: that line is named, the others read.
  WriteAll(dir.filePath("stations.txt"), "好台 | http://127.0.0.1:9/a\n\x80\xff\xfe | http://127.0.0.1:9/b\n");
  l = List(*d);
  ASSERT_EQ(l.User.size(), 1u);
  EXPECT_EQ(l.User[0].Name, QStringLiteral("好台"));
  ASSERT_EQ(l.Messages.size(), 1);
  EXPECT_TRUE(l.Messages[0].contains(QStringLiteral("第 2 行"))) << l.Messages[0].toStdString();
  EXPECT_TRUE(l.Messages[0].contains(dir.filePath("stations.txt")));
}

TEST_F(DirectoryTest, AUserListThatIsAFifoOrADeviceIsReportedNotRead)
{
  const QString list = dir.filePath("stations.txt");
  ASSERT_TRUE(MakeFifo(list));
  auto d = Directory({}, false);
  {
    TFifoWatch watch(list);
    const TStationListing l = List(*d);
    EXPECT_FALSE(watch.Released()) << "open() blocked on the FIFO";
    ASSERT_EQ(l.Messages.size(), 1);
    EXPECT_TRUE(l.Messages[0].contains("无法读取自定义电台列表")) << l.Messages[0].toStdString();
    // The page's own list of stations reads the same file.
    TDirectoryServer server;
    server.SetUserListFile(list);
    EXPECT_TRUE(server.StationListJson().contains("userFileError"));
    EXPECT_FALSE(watch.Released()) << "open() blocked on the FIFO";
  }
  ASSERT_TRUE(QFile::remove(list));
  ASSERT_TRUE(QFile::link("/dev/zero", list));
  const TStationListing l = List(*d);
  ASSERT_EQ(l.Messages.size(), 1);
  EXPECT_TRUE(l.Messages[0].contains("设备")) << l.Messages[0].toStdString();
}

TEST_F(DirectoryTest, SearchFiltersEverySection)
{
  fake.Fill(10);
  auto d = Directory({fake.BaseUrl()});
  QString error;
  d->Store().AddFavourite(Sample("f1", "古典收藏"), &error);
  d->Store().AddFavourite(Sample("f2", "新闻收藏"), &error);
  const TStationListing l = List(*d, {QStringLiteral("古典"), TStationQuery::fdName, 0, 100});
  ASSERT_EQ(l.Favourites.size(), 1u);
  EXPECT_EQ(l.Favourites[0].Name, QString::fromUtf8("古典收藏"));
  EXPECT_TRUE(l.Directory.empty());
  EXPECT_EQ(fake.requests.back().Query.queryItemValue("name", QUrl::FullyDecoded), QString::fromUtf8("古典"));
}

TEST_F(DirectoryTest, PlayingCountsTheClickAndResolvesPlaylists)
{
  TTestHttpServer web;
  web.Set("/live.pls", {200, "audio/x-scpls", "[playlist]\nFile1=http://127.0.0.1:9/real.mp3\n"});
  web.Set("/empty.m3u", {200, "audio/x-mpegurl", "#EXTM3U\n"});
  web.Set("/hls.m3u", {200, "audio/x-mpegurl", "#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n"});
  web.Set("/self.pls", {200, "audio/x-scpls", "[playlist]\nFile1=" + web.Url("/self.pls").toUtf8() + "\n"});
  auto d = Directory({fake.BaseUrl()});

  TDirectoryStation s = Sample("9617a958-0601-11e8-ae97-52543be04c01", "台");
  s.Url = web.Url("/live.pls");
  TPlayAnswer a = Play(*d, s);
  EXPECT_EQ(a.Url, "http://127.0.0.1:9/real.mp3");
  EXPECT_TRUE(a.Error.isEmpty());
  EXPECT_FALSE(a.Note.isEmpty());
  ASSERT_TRUE(PumpUntil([&] { return !fake.clicks.isEmpty(); }, 5000));
  EXPECT_EQ(fake.clicks, QStringList{s.Uuid});

  s.Url = web.Url("/empty.m3u");
  EXPECT_TRUE(Play(*d, s).Error.contains(QString::fromUtf8("没有可播放的地址")));
  // HLS goes to the player as it is.
  s.Url = web.Url("/hls.m3u");
  EXPECT_EQ(Play(*d, s).Url, s.Url);
  s.Url = web.Url("/self.pls");
  EXPECT_TRUE(Play(*d, s).Error.contains(QString::fromUtf8("只指向播放列表")));
  s.Url = web.Url("/missing.pls");
  EXPECT_TRUE(Play(*d, s).Error.contains(QString::fromUtf8("无法取得电台的播放列表")));
  s.Url = "http://127.0.0.1:9/plain.mp3";
  s.Hls = false;
  EXPECT_EQ(Play(*d, s).Url, "http://127.0.0.1:9/plain.mp3");
  s.Hls = true;
  EXPECT_EQ(Play(*d, s).Url, "http://127.0.0.1:9/plain.mp3");
}

} // namespace
