#include "browser/directory_server.h"

#include "audio/station_player.h"
#include "browser/embedded_browser.h"
#include "browser/player_api.h"
#include "browser/site_addresses.h"
#include "browser/station_directory.h"
#include "platform/socket_peer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMetaMethod>
#include <QPointer>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

static void InitSiteResources() { Q_INIT_RESOURCE(velmora_site); }

namespace {

QByteArray ContentType(const QString& path)
{
  if (path.endsWith(".html")) return "text/html; charset=utf-8";
  if (path.endsWith(".js")) return "text/javascript; charset=utf-8";
  if (path.endsWith(".css")) return "text/css; charset=utf-8";
  if (path.endsWith(".json")) return "application/json; charset=utf-8";
  return "application/octet-stream";
}

QByteArray ReasonPhrase(int status)
{
  switch (status) {
  case 200: return "OK";
  case 400: return "Bad Request";
  case 403: return "Forbidden";
  case 404: return "Not Found";
  case 405: return "Method Not Allowed";
  case 408: return "Request Timeout";
  case 413: return "Content Too Large";
  case 415: return "Unsupported Media Type";
  case 431: return "Request Header Fields Too Large";
  case 503: return "Service Unavailable";
  default: return "Error";
  }
}

// A header's value from a request head (names without regard to case).
QByteArray HeaderValue(const QByteArray& head, const QByteArray& name)
{
  const QList<QByteArray> lines = head.split('\n');
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QByteArray line = lines[i].trimmed();
    const qsizetype colon = line.indexOf(':');
    if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) return line.mid(colon + 1).trimmed();
  }
  return {};
}

// One client connection while its request arrives: the bytes so far, who
// connected, and the clock that ends a stuck one.
class TConnection : public QObject {
public:
  explicit TConnection(QTcpSocket* socket) : QObject(socket) {}
  QByteArray data;
  QString client;
  QTimer clock;
  bool admitted = false;  // its head carried the secret
  bool complete = false;  // the whole request is in; the answer may still be pending
  bool answered = false;
};

// Equal texts, in a time that does not tell how much of them matched.
bool SameSecret(const QByteArray& a, const QByteArray& b)
{
  if (a.size() != b.size() || a.isEmpty()) return false;
  unsigned char diff = 0;
  for (qsizetype i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// The client behind a connection: the user owning the connecting socket when
// the kernel says, else its address.
QString ClientOf(const QTcpSocket* socket)
{
  if (const auto user = LocalPeerUser(socket->peerAddress(), socket->peerPort(), socket->localAddress(), socket->localPort()))
    return QStringLiteral("user %1").arg(*user);
  return socket->peerAddress().toString();
}

const char* const kConnection = "velmoraConnection";

TConnection* ConnectionOf(QTcpSocket* socket)
{
  return static_cast<TConnection*>(socket->property(kConnection).value<QObject*>());
}

} // namespace

TDirectoryServer::TDirectoryServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
  InitSiteResources();
  // The user's configuration folder is ~/.config/Velmora (not Qt's
  // organisation/application pair).
  userListFile_ = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                      .filePath(QStringLiteral("Velmora/stations.txt"));
  connect(server_, &QTcpServer::newConnection, this, &TDirectoryServer::OnNewConnection);
  quint32 words[4];
  QRandomGenerator::system()->fillRange(words);
  secret_ = QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

TDirectoryServer::~TDirectoryServer() = default;

bool TDirectoryServer::Start()
{
  if (server_->isListening()) return true;
  return server_->listen(QHostAddress::LocalHost, 0);
}

bool TDirectoryServer::IsListening() const { return server_->isListening(); }
quint16 TDirectoryServer::Port() const { return server_->serverPort(); }

QUrl TDirectoryServer::BaseUrl() const
{
  QUrl url;
  url.setScheme(QStringLiteral("http"));
  url.setHost(QStringLiteral("127.0.0.1"));
  url.setPort(Port());
  return url;
}

void TDirectoryServer::SetDirectory(TStationDirectory* directory) { directory_ = directory; }

TStationDirectory* TDirectoryServer::Directory()
{
  if (!directory_) directory_ = TStationDirectory::CreateDefault(this);
  directory_->SetUserListFile(userListFile_);
  return directory_;
}

TStationPlayer* TDirectoryServer::Player() { return player_ ? player_ : TStationPlayer::Instance(); }

void TDirectoryServer::Admit(TEmbeddedBrowser& browser) const
{
  browser.SetOriginHeader(BaseUrl(), kSecretHeader, secret_);
}

void TDirectoryServer::SetLimits(int headMs, int requestMs, int maxWaiting, int perClient)
{
  headMs_ = headMs;
  requestMs_ = requestMs;
  maxWaiting_ = qMax(1, maxWaiting);
  perClient_ = qMax(1, perClient);
}

int TDirectoryServer::WaitingConnections() const
{
  return int(std::count_if(waiting_.begin(), waiting_.end(), [](const QPointer<QTcpSocket>& s) { return !s.isNull(); }));
}

QJsonObject TDirectoryServer::StationListJson() const { return UserStationListJson(userListFile_); }

TDirectoryServer* TDirectoryServer::Instance()
{
  static TDirectoryServer* server = [] {
    auto* s = new TDirectoryServer(QCoreApplication::instance());
    s->Start();
    return s;
  }();
  return server;
}

void TDirectoryServer::OnNewConnection()
{
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    ++openConnections_;
    connect(socket, &QObject::destroyed, this, [this] { --openConnections_; });
    auto* c = new TConnection(socket);
    socket->setProperty(kConnection, QVariant::fromValue<QObject*>(c));
    c->client = ClientOf(socket);
    MakeRoomFor(c->client);
    waiting_.push_back(socket);
    c->clock.setSingleShot(true);
    QPointer<QTcpSocket> guard(socket);
    connect(&c->clock, &QTimer::timeout, socket, [guard] {
      if (guard) guard->abort();
    });
    c->clock.start(headMs_);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
  }
}

void TDirectoryServer::MakeRoomFor(const QString& client)
{
  std::erase_if(waiting_, [](const QPointer<QTcpSocket>& s) { return s.isNull() || s->state() != QAbstractSocket::ConnectedState; });
  std::map<QString, int> count;
  for (const auto& s : waiting_) ++count[ConnectionOf(s)->client];
  // The client's own oldest when it has its share, else the busiest client's
  // oldest when all places are taken: a newcomer always gets in, and one
  // client holding connections open only ever pushes out its own.
  QString evict;
  if (count[client] >= perClient_) {
    evict = client;
  } else if (int(waiting_.size()) >= maxWaiting_) {
    evict = std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
  } else {
    return;
  }
  const auto oldest = std::find_if(waiting_.begin(), waiting_.end(), [&](const auto& s) { return ConnectionOf(s)->client == evict; });
  if (oldest == waiting_.end()) return;
  QPointer<QTcpSocket> victim = *oldest;
  waiting_.erase(oldest);
  victim->abort();
}

bool TDirectoryServer::Admitted(const QByteArray& head) const
{
  // A page of another site whose name was pointed at this machine sends its
  // own name; anything else on the machine lacks the secret.
  const QByteArray host = HeaderValue(head, "Host");
  const QByteArray port = ':' + QByteArray::number(Port());
  if (host != "127.0.0.1" + port && host != "localhost" + port) return false;
  return SameSecret(HeaderValue(head, kSecretHeader), secret_);
}

void TDirectoryServer::OnReadyRead(QTcpSocket* socket)
{
  TConnection* c = ConnectionOf(socket);
  if (!c || c->complete) {
    socket->readAll();
    return;
  }
  c->data += socket->readAll();
  const qsizetype end = c->data.indexOf("\r\n\r\n");
  if (end < 0) {
    if (c->data.size() > kMaxRequestHead) Respond(socket, 431, "text/plain", "request too large\n", false);
    return;
  }
  std::erase(waiting_, QPointer<QTcpSocket>(socket));
  const QByteArray head = c->data.left(end + 2);  // every line ends in CRLF
  const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
  if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
    Respond(socket, 400, "text/plain", "bad request\n", false);
    return;
  }
  // The one gate: every path, every method.
  if (!c->admitted) {
    if (!Admitted(head)) return Respond(socket, 403, "text/plain", "forbidden\n", false);
    c->admitted = true;
    c->clock.start(requestMs_);  // the page's body may take its time
  }
  QByteArray body;
  const QByteArray method = requestLine[0];
  const bool toApi = requestLine[1].startsWith(StationDirectoryPath().toLatin1() + "api/");
  if (method == "POST" && toApi) {
    bool ok = false;
    const qint64 length = HeaderValue(head, "Content-Length").toLongLong(&ok);
    if (!ok || length < 0) return Respond(socket, 400, "text/plain", "length required\n", false);
    if (length > kMaxRequestBody) return Respond(socket, 413, "text/plain", "request too large\n", false);
    if (c->data.size() - (end + 4) < length) return;  // the rest of the body is on its way
    body = c->data.mid(end + 4, length);
  }
  c->complete = true;
  c->clock.stop();
  c->data.clear();
  Route(socket, method, QUrl::fromEncoded(requestLine[1]), head, body);
}

void TDirectoryServer::Route(QTcpSocket* socket, const QByteArray& method, const QUrl& url, const QByteArray& head,
                             const QByteArray& body)
{
  const bool isHead = method == "HEAD";
  QString path = url.path();
  const QString base = StationDirectoryPath();  // "/qq/"
  if (path == base.chopped(1)) path = base;
  if (method != "GET" && !isHead && !(method == "POST" && path.startsWith(base + QStringLiteral("api/")) && !body.isNull())) {
    Respond(socket, 405, "text/plain", "method not allowed\n", false);
    return;
  }
  if (!path.startsWith(base)) {
    Respond(socket, 404, "text/plain", "not found\n", isHead);
    return;
  }
  QString name = path.mid(base.size());
  if (name.startsWith(QLatin1String("api/"))) return RouteApi(socket, method, name.mid(4), url, head, body);
  if (name.isEmpty()) name = QStringLiteral("index.html");
  if (name == QLatin1String("stations.json")) {
    Respond(socket, 200, ContentType(name), QJsonDocument(StationListJson()).toJson(QJsonDocument::Compact), isHead);
    return;
  }
  // Only the site's own files, by plain name.
  if (name.contains(u'/') || name.contains(u'\\') || name.startsWith(u'.')) {
    Respond(socket, 404, "text/plain", "not found\n", isHead);
    return;
  }
  QFile file(QStringLiteral(":/velmora/site/") + name);
  if (!file.open(QIODevice::ReadOnly)) {
    Respond(socket, 404, "text/plain", "not found\n", isHead);
    return;
  }
  Respond(socket, 200, ContentType(name), file.readAll(), isHead);
}

void TDirectoryServer::RouteApi(QTcpSocket* socket, const QByteArray& method, const QString& name, const QUrl& url,
                                const QByteArray& head, const QByteArray& body)
{
  QPointer<QTcpSocket> reply(socket);
  if (name == QLatin1String("list") && method == "GET") {
    const QUrlQuery q(url);
    TStationQuery query;
    query.Text = q.queryItemValue("q", QUrl::FullyDecoded).left(200);
    query.Field = TStationQuery::FieldFromName(q.queryItemValue("by"));
    query.Offset = qMax(0, q.queryItemValue("offset").toInt());
    if (q.hasQueryItem("limit")) query.Limit = qBound(1, q.queryItemValue("limit").toInt(), 1000);
    Directory()->List(
        query, [this, reply](const TStationListing& listing) {
          if (reply) RespondJson(reply, 200, listing.ToJson());
        },
        q.queryItemValue("online") != QLatin1String("0"));
    return;
  }
  if (name == QLatin1String("player") && method == "GET") {
    WatchPlayer();
    bool known = false;
    const quint64 after = QUrlQuery(url).queryItemValue("after").toULongLong(&known);
    if (!known || after != playerVersion_) return RespondPlayerState(socket);
    playerWaiters_.push_back(reply);
    QTimer::singleShot(playerHoldMs_, socket, [this, reply] {
      if (reply) RespondPlayerState(reply);
    });
    return;
  }
  if (method != "POST") return Respond(socket, 405, "text/plain", "method not allowed\n", false);
  // Only our own page changes anything: other sites' pages cannot send JSON
  // here without asking first (which this server refuses), and say where they come from.
  const QByteArray origin = HeaderValue(head, "Origin");
  if (!origin.isEmpty() && origin != BaseUrl().toEncoded()) return Respond(socket, 403, "text/plain", "forbidden\n", false);
  if (!HeaderValue(head, "Content-Type").startsWith("application/json"))
    return Respond(socket, 415, "text/plain", "json expected\n", false);
  QJsonParseError err{};
  const QJsonObject request = QJsonDocument::fromJson(body, &err).object();
  if (err.error != QJsonParseError::NoError) return RespondJson(socket, 400, {{"error", QStringLiteral("请求无法解析")}});

  if (name == QLatin1String("play")) {
    TDirectoryStation station;
    if (!StationFromJson(request.value("station").toObject(), station))
      return RespondJson(socket, 200, {{"error", QStringLiteral("该电台的地址不是 http(s) 地址，不能播放。")}});
    Directory()->Play(station, [this, reply, station](const TPlayAnswer& a) {
      // The program plays it, whether or not the page is still there to hear.
      if (!a.Url.isEmpty()) Player()->Play(PlayingStation(station, a.Url));
      if (!reply) return;
      QJsonObject o = a.Url.isEmpty() ? QJsonObject() : PlayerStateJson(*Player());
      if (!a.Url.isEmpty()) o.insert("url", a.Url);
      if (!a.Error.isEmpty()) o.insert("error", a.Error);
      if (!a.Note.isEmpty()) o.insert("note", a.Note);
      RespondJson(reply, 200, o);
    });
    return;
  }
  if (name == QLatin1String("player")) return RespondJson(socket, 200, PlayerRequest(*Player(), request));
  if (name == QLatin1String("schedule")) {
    TDirectoryStation station;
    if (!StationFromJson(request.value("station").toObject(), station))
      return RespondJson(socket, 200, {{"error", QStringLiteral("该电台的地址不是 http(s) 地址，不能预约录音。")}});
    if (!isSignalConnected(QMetaMethod::fromSignal(&TDirectoryServer::ScheduleRequested)))
      return RespondJson(socket, 200, {{"error", QStringLiteral("现在不能预约录音。")}});
    emit ScheduleRequested(station.Name, station.UrlResolved.isEmpty() ? station.Url : station.UrlResolved);
    return RespondJson(socket, 200, {{"ok", true}});
  }
  if (name == QLatin1String("favourite")) {
    TStationStore& store = Directory()->Store();
    QString error;
    bool ok = true;
    if (request.contains("add")) {
      TDirectoryStation station;
      if (StationFromJson(request.value("add").toObject(), station)) ok = store.AddFavourite(station, &error);
      else ok = false, error = QStringLiteral("该电台的地址不是 http(s) 地址，不能收藏。");
    } else {
      ok = store.RemoveFavourite(request.value("remove").toString(), &error);
    }
    QJsonObject o{{"ok", ok}, {"favourites", StationsToJson(store.Favourites())}};
    if (!ok) o.insert("error", error);
    return RespondJson(socket, 200, o);
  }
  Respond(socket, 404, "text/plain", "not found\n", false);
}

void TDirectoryServer::RespondPlayerState(QTcpSocket* socket)
{
  std::erase(playerWaiters_, QPointer<QTcpSocket>(socket));
  QJsonObject o = PlayerStateJson(*Player());
  o.insert("version", QString::number(playerVersion_));
  RespondJson(socket, 200, o);
}

void TDirectoryServer::WatchPlayer()
{
  TStationPlayer* player = Player();
  if (player == watchedPlayer_) return;
  disconnect(playerWatch_);
  watchedPlayer_ = player;
  const auto moved = [this] {
    ++playerVersion_;
    const std::vector<QPointer<QTcpSocket>> waiters = std::exchange(playerWaiters_, {});
    for (const QPointer<QTcpSocket>& s : waiters)
      if (s) RespondPlayerState(s);
  };
  playerWatch_ = connect(player, &TStationPlayer::Changed, this, moved);
  moved();  // another player: whatever the page knew is out of date
}

int TDirectoryServer::HeldPlayerRequests() const
{
  return int(std::count_if(playerWaiters_.begin(), playerWaiters_.end(), [](const QPointer<QTcpSocket>& s) {
    return !s.isNull() && s->state() == QAbstractSocket::ConnectedState;
  }));
}

void TDirectoryServer::RespondJson(QTcpSocket* socket, int status, const QJsonObject& body)
{
  Respond(socket, status, "application/json; charset=utf-8", QJsonDocument(body).toJson(QJsonDocument::Compact), false);
}

void TDirectoryServer::Respond(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
                               bool head)
{
  int lingerMs = headMs_;
  if (TConnection* c = ConnectionOf(socket)) {
    if (c->answered) return;
    c->answered = c->complete = true;
    c->clock.stop();
    if (c->admitted) lingerMs = requestMs_;
  }
  QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
  out += "Content-Type: " + contentType + "\r\n";
  out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
  out += "Cache-Control: no-cache\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n";
  if (!head) out += body;
  socket->write(out);
  socket->disconnectFromHost();
  // A client that never reads its answer does not keep the connection.
  QPointer<QTcpSocket> guard(socket);
  QTimer::singleShot(lingerMs, socket, [guard] {
    if (guard) guard->abort();
  });
}

QUrl StationDirectoryUrl()
{
  QUrl url = TDirectoryServer::Instance()->BaseUrl();
  url.setPath(StationDirectoryPath());
  url.setQuery(StationDirectoryQuery());
  return url;
}

void OpenStationDirectory(TEmbeddedBrowser& browser)
{
  TDirectoryServer::Instance()->Admit(browser);
  browser.Navigate(StationDirectoryUrl());
}
