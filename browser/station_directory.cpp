#include "browser/station_directory.h"

#include "browser/directory_server.h"
#include "browser/playlist.h"
#include "platform/host_lookup.h"
#include "toolkit/regular_file.h"

#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>

bool StationMatches(const TDirectoryStation& s, const TStationQuery& query)
{
  const QString needle = query.Text.trimmed();
  if (needle.isEmpty()) return true;
  auto has = [&](const QString& text) { return text.contains(needle, Qt::CaseInsensitive); };
  switch (query.Field) {
  case TStationQuery::fdTag: return has(s.Tags) || has(s.Category);
  case TStationQuery::fdLanguage: return has(s.Language);
  case TStationQuery::fdCountry: return has(s.Country) || s.CountryCode.compare(needle, Qt::CaseInsensitive) == 0;
  case TStationQuery::fdName: break;
  }
  return has(s.Name);
}

QString TStationListing::StateName(TDirectoryState s)
{
  switch (s) {
  case dsOnline: return QStringLiteral("online");
  case dsCache: return QStringLiteral("cache");
  case dsOffline: return QStringLiteral("offline");
  case dsPending: return QStringLiteral("pending");
  case dsOff: break;
  }
  return QStringLiteral("off");
}

QJsonObject TStationListing::ToJson() const
{
  QJsonObject o{{"favourites", StationsToJson(Favourites)},
                {"directory", StationsToJson(Directory)},
                {"user", StationsToJson(User)},
                {"state", StateName(State)},
                {"messages", QJsonArray::fromStringList(Messages)}};
  if (CachedAt.isValid()) o.insert("cachedAt", CachedAt.toLocalTime().toString("yyyy-MM-dd HH:mm"));
  if (!UserFile.isEmpty()) o.insert("userFile", UserFile);
  if (!UserListPath.isEmpty()) o.insert("userListPath", UserListPath);
  QJsonArray skipped;
  for (int n : SkippedUserLines) skipped.append(n);
  if (!skipped.isEmpty()) o.insert("skippedLines", skipped);
  if (SkippedEntries) o.insert("skippedEntries", SkippedEntries);
  return o;
}

TStationDirectory::TStationDirectory(TDirectoryConfig config, THostLookup* lookup, QString dataFolder,
                                     QString cacheFolder, QObject* parent)
    : QObject(parent), client_(new TRadioBrowserClient(std::move(config), lookup, this)),
      store_(std::move(dataFolder), std::move(cacheFolder)), network_(new QNetworkAccessManager(this))
{
}

TStationDirectory::~TStationDirectory() = default;

TStationDirectory* TStationDirectory::CreateDefault(QObject* parent)
{
  auto lookup = CreateSystemHostLookup();
  auto* directory = new TStationDirectory(ResolveDirectoryConfig(DirectorySettingsFile()), lookup.get(),
                                          UserDataFolder(), UserCacheFolder(), parent);
  directory->ownedLookup_ = std::move(lookup);
  return directory;
}

void TStationDirectory::FillLocal(const TStationQuery& query, TStationListing& listing) const
{
  for (const TDirectoryStation& s : store_.Favourites())
    if (StationMatches(s, query)) listing.Favourites.push_back(s);
  if (!store_.FavouritesProblem().isEmpty()) listing.Messages.push_back(store_.FavouritesProblem());
  listing.UserListPath = userListFile_;
  const TRegularFileRead file = ReadRegularFile(userListFile_, kMaxUserStationListFile);
  if (!userListFile_.isEmpty() && file.Status != TRegularFileRead::Missing) {
    listing.UserFile = userListFile_;
    if (!file.Ok()) {
      listing.Messages.push_back(QStringLiteral("无法读取自定义电台列表 %1（%2）").arg(userListFile_, file.Error));
      return;
    }
    std::vector<int> unreadable;
    const QString text = DecodeUserStationText(file.Data, &unreadable);
    const TUserStationList parsed = ParseUserStationList(text);
    listing.SkippedUserLines = parsed.SkippedLines;
    if (!unreadable.empty()) {
      QStringList numbers;
      for (int n : unreadable) numbers << QString::number(n);
      listing.Messages.push_back(QStringLiteral("自定义电台列表 %1 的第 %2 行不是 UTF-8 或 GB18030 文字，无法读取。")
                                     .arg(userListFile_, numbers.join(QStringLiteral("、"))));
    }
    for (const TStation& local : parsed.Stations) {
      TDirectoryStation s;
      s.Name = local.Name;
      s.Url = local.Url;
      s.Category = local.Category;
      if (StationMatches(s, query)) listing.User.push_back(s);
    }
  }
}

void TStationDirectory::List(const TStationQuery& query, std::function<void(const TStationListing&)> done,
                             bool askDirectory)
{
  auto listing = std::make_shared<TStationListing>();
  FillLocal(query, *listing);
  const TDirectoryConfig& cfg = client_->Config();
  if (!cfg.Enabled) {
    listing->State = TStationListing::dsOff;
    if (!cfg.Problem.isEmpty()) listing->Messages.push_back(cfg.Problem);
    // What the directory answered before it was turned off is still worth showing.
    QString problem;
    if (const auto cached = store_.CachedAnswer(query.CacheKey(), &problem)) {
      listing->Directory = cached->Stations;
      listing->CachedAt = cached->SavedAt;
    }
    return done(*listing);
  }
  if (!askDirectory) {
    listing->State = TStationListing::dsPending;
    return done(*listing);
  }
  QPointer<TStationDirectory> self(this);
  client_->Search(query, [self, query, listing, done = std::move(done)](const TStationsResult& result) {
    if (!self) return;
    if (result.Ok) {
      listing->State = TStationListing::dsOnline;
      listing->Directory = result.Stations;
      listing->SkippedEntries = result.Skipped;
      QString error;
      if (!self->store_.CacheAnswer(query.CacheKey(), result.Stations, &error)) listing->Messages.push_back(error);
      return done(*listing);
    }
    listing->Messages.push_back(result.Error);
    QString problem;
    const auto cached = self->store_.CachedAnswer(query.CacheKey(), &problem);
    if (!problem.isEmpty()) listing->Messages.push_back(problem);
    if (cached) {
      listing->State = TStationListing::dsCache;
      listing->Directory = cached->Stations;
      listing->CachedAt = cached->SavedAt;
    } else {
      listing->State = TStationListing::dsOffline;
    }
    done(*listing);
  });
}

void TStationDirectory::Play(const TDirectoryStation& station, std::function<void(const TPlayAnswer&)> done)
{
  if (!station.Uuid.isEmpty() && client_->Enabled()) client_->CountClick(station.Uuid);
  const QUrl url(station.PlayUrl());
  if (!IsStreamAddress(station.PlayUrl())) {
    done({{}, QStringLiteral("该电台的地址不是 http(s) 地址，不能播放。"), {}});
    return;
  }
  // The player reads HLS lists itself.
  if (station.Hls || url.path().endsWith(QLatin1String(".m3u8"), Qt::CaseInsensitive)) return done({station.PlayUrl(), {}, {}});
  if (LooksLikePlaylist(url)) return FetchPlaylist(url, std::move(done));
  done({station.PlayUrl(), {}, {}});
}

void TStationDirectory::FetchPlaylist(const QUrl& url, std::function<void(const TPlayAnswer&)> done)
{
  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, DirectoryUserAgent());
  QNetworkReply* reply = network_->get(request);
  auto failure = std::make_shared<QString>();
  auto body = std::make_shared<QByteArray>();
  QTimer::singleShot(playlistTimeoutMs_, reply, [reply, failure] {
    *failure = QStringLiteral("超时");
    reply->abort();
  });
  connect(reply, &QNetworkReply::readyRead, reply, [reply, failure, body] {
    *body += reply->readAll();
    if (body->size() > kMaxPlaylistBytes && failure->isEmpty()) {
      *failure = QStringLiteral("播放列表过大");
      reply->abort();
    }
  });
  connect(reply, &QNetworkReply::finished, this, [reply, failure, body, url, done = std::move(done)] {
    reply->deleteLater();
    if (failure->isEmpty()) *body += reply->readAll();
    QString why = *failure;
    if (why.isEmpty() && reply->error() != QNetworkReply::NoError) why = reply->errorString();
    if (!why.isEmpty()) return done({{}, QStringLiteral("无法取得电台的播放列表：%1").arg(why), {}});
    const TPlaylist list = ParsePlaylist(*body, reply->url());
    if (list.Kind == TPlaylist::pkHls) return done({url.toString(), {}, {}});
    if (list.Streams.isEmpty()) return done({{}, QStringLiteral("电台的播放列表中没有可播放的地址。"), {}});
    // A list naming itself (or only lists) would be fetched round and round.
    if (QUrl(list.Streams.front()).matches(url, QUrl::None) || LooksLikePlaylist(QUrl(list.Streams.front())))
      return done({{}, QStringLiteral("电台的播放列表只指向播放列表，没有可播放的地址。"), {}});
    done({list.Streams.front(), {}, QStringLiteral("已从播放列表取得电台地址")});
  });
}
