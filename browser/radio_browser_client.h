// The community Radio Browser directory, asked from the UI thread without
// ever blocking it: the mirrors are found once (given, or resolved from the
// discovery name), one is picked at random and the next is tried whenever a
// request fails; the one that answered is kept for later requests. Every
// request has a time-out and a size cap, and carries our User-Agent.
#pragma once

#include "browser/directory_config.h"
#include "browser/directory_station.h"

#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrlQuery>
#include <deque>
#include <functional>

class QNetworkAccessManager;
class THostLookup;

struct TStationQuery {
  enum TField { fdName, fdTag, fdLanguage, fdCountry };
  QString Text;          // empty: the top stations of `topLanguage`
  TField Field = fdName;
  int Offset = 0;
  int Limit = 100;

  // "top" or "name:text", with paging: names a result in the offline cache.
  QString CacheKey() const;
  static TField FieldFromName(const QString& name);
  static QString FieldName(TField f);
};

struct TStationsResult {
  bool Ok = false;
  std::vector<TDirectoryStation> Stations;
  int Skipped = 0;      // entries dropped for a missing or non-http(s) address
  QString Error;        // why it failed, in the user's words
  QUrl Mirror;          // the mirror that answered
  int Attempts = 0;     // mirrors asked
};

class TRadioBrowserClient : public QObject {
  Q_OBJECT
public:
  // The language of the first page ("chinese" for this program's users).
  static constexpr const char* kTopLanguage = "chinese";

  // `lookup` (not owned) finds the mirrors when the config names none.
  TRadioBrowserClient(TDirectoryConfig config, THostLookup* lookup, QObject* parent = nullptr);
  ~TRadioBrowserClient() override;

  bool Enabled() const { return config_.Enabled; }
  const TDirectoryConfig& Config() const { return config_; }

  // Time allowed for one request to one mirror, and the largest answer taken.
  void SetTimeout(int ms) { timeoutMs_ = ms; }
  int Timeout() const { return timeoutMs_; }
  void SetMaxAnswerBytes(qint64 bytes) { maxAnswerBytes_ = bytes; }
  void SetRandomSeed(quint32 seed) { random_.seed(seed); }
  // Mirrors tried for one request at most, so an unreachable network is
  // reported in bounded time.
  void SetMaxAttempts(int n) { maxAttempts_ = qMax(1, n); }

  using TStationsDone = std::function<void(const TStationsResult&)>;
  // /json/stations/search, broken stations hidden, most listened first.
  void Search(const TStationQuery& query, TStationsDone done);
  // Tells the directory a station was played (/json/url/<uuid>), as it asks.
  void CountClick(const QString& uuid, std::function<void(bool ok, const QString& error)> done = {});

  // Finds the mirrors (once; again after a failed discovery), then calls `then`.
  void FindMirrors(std::function<void(QString error)> then) { WithMirrors(std::move(then)); }
  // The mirrors in the order they are tried (after discovery).
  QList<QUrl> Mirrors() const { return mirrors_; }

  // For the tools and tests: the request URL of a query on a mirror.
  static QUrl SearchUrl(const QUrl& mirror, const TStationQuery& query);
  // Bytes of a search answer read at most for `limit` stations (directory
  // entries are about a kilobyte): a directory that ignores the limit is cut off there.
  static qint64 SearchAnswerBytes(int limit) { return 64 * 1024 + qint64(qMax(1, limit)) * 8 * 1024; }

  // Whether an answer from the directory at `configured` may send the client
  // on to `target`: http(s) only, never from https to http, and never to this
  // machine unless the directory itself is on it.
  static bool RedirectAllowed(const QUrl& configured, const QUrl& target);

private:
  // `cut`: the answer was longer than the caller takes and ends where it was cut off.
  using TBodyDone = std::function<void(QByteArray body, QString error, QUrl mirror, int attempts, bool cut)>;
  // GET path+query on the current mirror, failing over to the others. With
  // `keepBytes` set, a longer answer is cut there instead of failing.
  void Get(const QString& path, const QUrlQuery& query, TBodyDone done, qint64 keepBytes = 0);
  void WithMirrors(std::function<void(QString error)> then);
  void TryMirror(const QString& path, const QUrlQuery& query, qint64 keepBytes, int tried, QString lastError, TBodyDone done);

  TDirectoryConfig config_;
  THostLookup* lookup_;
  QNetworkAccessManager* network_;
  QRandomGenerator random_;
  QList<QUrl> mirrors_;
  int current_ = 0;
  bool discovering_ = false;
  bool discovered_ = false;
  std::vector<std::function<void(QString)>> waitingForMirrors_;
  int timeoutMs_ = 8000;
  int maxAttempts_ = 3;
  qint64 maxAnswerBytes_ = 8 * 1024 * 1024;
};
