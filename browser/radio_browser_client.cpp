#include "browser/radio_browser_client.h"

#include "platform/host_lookup.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>

QString TStationQuery::FieldName(TField f)
{
  switch (f) {
  case fdTag: return QStringLiteral("tag");
  case fdLanguage: return QStringLiteral("language");
  case fdCountry: return QStringLiteral("country");
  case fdName: break;
  }
  return QStringLiteral("name");
}

TStationQuery::TField TStationQuery::FieldFromName(const QString& name)
{
  if (name == QLatin1String("tag")) return fdTag;
  if (name == QLatin1String("language")) return fdLanguage;
  if (name == QLatin1String("country")) return fdCountry;
  return fdName;
}

QString TStationQuery::CacheKey() const
{
  const QString what = Text.trimmed().isEmpty() ? QStringLiteral("top") : FieldName(Field) + u':' + Text.trimmed().toLower();
  return what + QStringLiteral("@%1+%2").arg(Offset).arg(Limit);
}

QUrl TRadioBrowserClient::SearchUrl(const QUrl& mirror, const TStationQuery& query)
{
  QUrlQuery q;
  const QString text = query.Text.trimmed();
  if (text.isEmpty()) {
    q.addQueryItem("language", kTopLanguage);
  } else if (query.Field == TStationQuery::fdCountry && text.size() == 2 && text.front().isLetter() &&
             text.back().isLetter()) {
    q.addQueryItem("countrycode", text.toUpper());
  } else {
    q.addQueryItem(TStationQuery::FieldName(query.Field), text);
  }
  q.addQueryItem("order", "clickcount");
  q.addQueryItem("reverse", "true");
  q.addQueryItem("hidebroken", "true");
  q.addQueryItem("offset", QString::number(qMax(0, query.Offset)));
  q.addQueryItem("limit", QString::number(qBound(1, query.Limit, 1000)));
  QUrl url = mirror;
  url.setPath(mirror.path() + QStringLiteral("/json/stations/search"));
  url.setQuery(q);
  return url;
}

TRadioBrowserClient::TRadioBrowserClient(TDirectoryConfig config, THostLookup* lookup, QObject* parent)
    : QObject(parent), config_(std::move(config)), lookup_(lookup), network_(new QNetworkAccessManager(this)),
      random_(QRandomGenerator::global()->generate())
{
  // Every redirect is checked against the directory asked (RedirectAllowed).
  network_->setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);
}

TRadioBrowserClient::~TRadioBrowserClient() = default;

namespace {
// This machine, by address or by name (localhost and its subdomains).
bool IsLocalHost(const QString& host)
{
  QString name = host.toLower();
  if (name.endsWith(u'.')) name.chop(1);
  if (name == u"localhost" || name.endsWith(u".localhost")) return true;
  QHostAddress address;
  if (!address.setAddress(name)) return false;
  bool mapped = false;
  const QHostAddress v4(address.toIPv4Address(&mapped));
  if (mapped) address = v4;
  return address.isLoopback() || address == QHostAddress(QHostAddress::AnyIPv4) || address == QHostAddress(QHostAddress::AnyIPv6);
}
} // namespace

bool TRadioBrowserClient::RedirectAllowed(const QUrl& configured, const QUrl& target)
{
  const QString scheme = target.scheme().toLower();
  if ((scheme != u"http" && scheme != u"https") || target.host().isEmpty()) return false;
  if (configured.scheme() == u"https" && scheme != u"https") return false;
  return !IsLocalHost(target.host()) || IsLocalHost(configured.host());
}

void TRadioBrowserClient::WithMirrors(std::function<void(QString error)> then)
{
  if (!config_.Enabled) return then(QStringLiteral("在线电台目录已关闭"));
  if (discovered_) return then(QString());
  if (!config_.Mirrors.isEmpty()) {
    mirrors_ = config_.Mirrors;
    std::shuffle(mirrors_.begin(), mirrors_.end(), random_);
    discovered_ = true;
    return then(QString());
  }
  waitingForMirrors_.push_back(std::move(then));
  if (discovering_) return;
  discovering_ = true;
  auto finish = [this](QStringList names, QString error) {
    discovering_ = false;
    mirrors_.clear();
    for (const QString& name : names) mirrors_.push_back(QUrl(QStringLiteral("https://") + name));
    std::shuffle(mirrors_.begin(), mirrors_.end(), random_);
    // Without the mirrors' names the discovery name itself still reaches one of them.
    if (mirrors_.isEmpty()) mirrors_.push_back(QUrl(QStringLiteral("https://") + config_.DiscoveryName));
    else discovered_ = true;
    current_ = 0;
    Q_UNUSED(error);
    auto waiting = std::move(waitingForMirrors_);
    waitingForMirrors_.clear();
    for (auto& w : waiting) w(QString());
  };
  if (!lookup_) return finish({}, QStringLiteral("no resolver"));
  QPointer<TRadioBrowserClient> self(this);
  lookup_->LookupMirrors(config_.DiscoveryName, [self, finish](QStringList names, QString error) {
    if (self) finish(std::move(names), std::move(error));
  });
}

void TRadioBrowserClient::Get(const QString& path, const QUrlQuery& query, TBodyDone done, qint64 keepBytes)
{
  QPointer<TRadioBrowserClient> self(this);
  WithMirrors([self, path, query, keepBytes, done = std::move(done)](QString error) mutable {
    if (!self) return;
    if (!error.isEmpty() || self->mirrors_.isEmpty()) return done({}, error, {}, 0, false);
    self->TryMirror(path, query, keepBytes, 0, QString(), std::move(done));
  });
}

void TRadioBrowserClient::TryMirror(const QString& path, const QUrlQuery& query, qint64 keepBytes, int tried,
                                    QString lastError, TBodyDone done)
{
  if (tried >= mirrors_.size() || tried >= maxAttempts_) {
    done({}, QStringLiteral("无法连接在线电台目录（已尝试 %1 个服务器）：%2").arg(tried).arg(lastError), {}, tried, false);
    return;
  }
  const int index = (current_ + tried) % int(mirrors_.size());
  const QUrl mirror = mirrors_[index];
  QUrl url = mirror;
  url.setPath(mirror.path() + path);
  if (!query.isEmpty()) url.setQuery(query);

  QNetworkRequest request(url);
  request.setHeader(QNetworkRequest::UserAgentHeader, DirectoryUserAgent());
  request.setRawHeader("Accept", "application/json");
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setMaximumRedirectsAllowed(5);
  QNetworkReply* reply = network_->get(request);

  struct TState {
    QByteArray Body;
    QString Failure;  // set when we abort
    bool Cut = false;  // we stopped reading at keepBytes
  };
  auto state = std::make_shared<TState>();
  auto* timer = new QTimer(reply);
  timer->setSingleShot(true);
  connect(timer, &QTimer::timeout, reply, [reply, state, ms = timeoutMs_] {
    state->Failure = QStringLiteral("%1 秒内没有应答").arg(ms / 1000.0);
    reply->abort();
  });
  timer->start(timeoutMs_);
  connect(reply, &QNetworkReply::redirected, reply, [reply, state, mirror](const QUrl& target) {
    if (RedirectAllowed(mirror, target)) {
      emit reply->redirectAllowed();
      return;
    }
    state->Failure = QStringLiteral("拒绝转向 %1").arg(target.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemoveQuery));
    reply->abort();
  });
  const qint64 cap = keepBytes > 0 ? qMin(keepBytes, maxAnswerBytes_) : maxAnswerBytes_;
  connect(reply, &QNetworkReply::readyRead, reply, [reply, state, cap, keep = keepBytes > 0] {
    if (!state->Failure.isEmpty() || state->Cut) return;
    state->Body += reply->readAll();
    if (state->Body.size() <= cap) return;
    if (keep) {
      state->Body.truncate(cap);
      state->Cut = true;
    } else {
      state->Failure = QStringLiteral("应答过大（超过 %1 KB）").arg(cap / 1024);
      state->Body.clear();
    }
    reply->abort();
  });
  QPointer<TRadioBrowserClient> self(this);
  connect(reply, &QNetworkReply::finished, this,
          [self, reply, state, path, query, keepBytes, cap, tried, index, mirror, done = std::move(done)]() mutable {
            reply->deleteLater();
            if (!self) return;
            if (state->Failure.isEmpty() && !state->Cut) state->Body += reply->readAll();
            QString failure = state->Failure;
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (failure.isEmpty() && !state->Cut && reply->error() != QNetworkReply::NoError)
              failure = status >= 400 ? QStringLiteral("服务器返回错误 HTTP %1").arg(status) : reply->errorString();
            if (failure.isEmpty() && state->Body.size() > cap) {
              if (keepBytes > 0) state->Body.truncate(cap), state->Cut = true;
              else failure = QStringLiteral("应答过大（超过 %1 KB）").arg(cap / 1024);
            }
            if (!failure.isEmpty()) {
              self->TryMirror(path, query, keepBytes, tried + 1, mirror.host() + QStringLiteral("：") + failure, std::move(done));
              return;
            }
            self->current_ = index;
            done(std::move(state->Body), QString(), mirror, tried + 1, state->Cut);
          });
}

void TRadioBrowserClient::Search(const TStationQuery& query, TStationsDone done)
{
  const QUrl shape = SearchUrl(QUrl(), query);
  const int limit = qBound(1, query.Limit, 1000);
  const qint64 keep = qMin(SearchAnswerBytes(limit), maxAnswerBytes_);
  Get(shape.path(), QUrlQuery(shape), [done = std::move(done), limit, keep](QByteArray body, QString error, QUrl mirror, int attempts, bool cut) {
    TStationsResult result;
    result.Mirror = mirror;
    result.Attempts = attempts;
    if (!error.isEmpty()) {
      result.Error = error;
      return done(result);
    }
    // Never more than was asked for, however much the directory sends.
    TStationParse parsed = ParseDirectoryStations(body, limit, cut);
    if (parsed.Error.isEmpty() && cut && parsed.Stations.empty())
      parsed.Error = QStringLiteral("应答过大（超过 %1 KB）").arg(keep / 1024);
    if (!parsed.Error.isEmpty()) {
      result.Error = parsed.Error;
      return done(result);
    }
    result.Ok = true;
    result.Stations = std::move(parsed.Stations);
    result.Skipped = parsed.Skipped;
    done(result);
  });
}

void TRadioBrowserClient::CountClick(const QString& uuid, std::function<void(bool, const QString&)> done)
{
  // Ids are the directory's UUIDs: nothing else goes into the path.
  static const QRegularExpression uuidShape(QStringLiteral("^[0-9A-Fa-f-]{8,64}$"));
  if (!uuidShape.match(uuid).hasMatch()) {
    if (done) done(false, QStringLiteral("电台编号无效"));
    return;
  }
  Get(QStringLiteral("/json/url/") + uuid, {}, [done = std::move(done)](QByteArray, QString error, QUrl, int, bool) {
    if (done) done(error.isEmpty(), error);
  });
}
