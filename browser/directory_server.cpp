#include "browser/directory_server.h"

#include "browser/site_addresses.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

static void InitSiteResources() { Q_INIT_RESOURCE(velmora_site); }

namespace {

std::vector<TStation> BundledStations()
{
  std::vector<TStation> out;
  QFile f(QStringLiteral(":/velmora/stations/stations.json"));
  if (!f.open(QIODevice::ReadOnly)) return out;
  const QJsonArray list = QJsonDocument::fromJson(f.readAll()).object().value("stations").toArray();
  for (const QJsonValue& v : list) {
    const QJsonObject o = v.toObject();
    out.push_back({o.value("category").toString(), o.value("name").toString(), o.value("url").toString()});
  }
  return out;
}

bool IsPlayableUrl(const QString& text)
{
  const QUrl url(text, QUrl::StrictMode);
  return url.isValid() && !url.host().isEmpty() &&
         (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

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
  case 404: return "Not Found";
  case 405: return "Method Not Allowed";
  case 431: return "Request Header Fields Too Large";
  default: return "Error";
  }
}

} // namespace

TUserStationList ParseUserStationList(const QString& text)
{
  TUserStationList out;
  const QStringList lines = text.split(u'\n');
  for (int i = 0; i < lines.size(); ++i) {
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(u'#')) continue;
    QStringList parts = line.split(u'|');
    for (QString& p : parts) p = p.trimmed();
    TStation s;
    if (parts.size() == 2) {
      s = {QStringLiteral("我的电台"), parts[0], parts[1]};
    } else if (parts.size() == 3) {
      s = {parts[0].isEmpty() ? QStringLiteral("我的电台") : parts[0], parts[1], parts[2]};
    } else {
      out.skippedLines.push_back(i + 1);
      continue;
    }
    if (s.name.isEmpty() || !IsPlayableUrl(s.url)) {
      out.skippedLines.push_back(i + 1);
      continue;
    }
    out.stations.push_back(s);
  }
  return out;
}

TDirectoryServer::TDirectoryServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
  InitSiteResources();
  userListFile_ = QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
                      .filePath(QStringLiteral("stations.txt"));
  connect(server_, &QTcpServer::newConnection, this, &TDirectoryServer::OnNewConnection);
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

QJsonObject TDirectoryServer::StationListJson() const
{
  QJsonArray stations;
  auto add = [&](const TStation& s) {
    stations.append(QJsonObject{{"category", s.category}, {"name", s.name}, {"url", s.url}});
  };
  for (const TStation& s : BundledStations()) add(s);
  QJsonObject out;
  QFile user(userListFile_);
  if (user.exists()) {
    out.insert("userFile", userListFile_);
    if (user.size() <= 1024 * 1024 && user.open(QIODevice::ReadOnly)) {
      const TUserStationList parsed = ParseUserStationList(QString::fromUtf8(user.readAll()));
      for (const TStation& s : parsed.stations) add(s);
      QJsonArray skipped;
      for (int n : parsed.skippedLines) skipped.append(n);
      out.insert("skippedLines", skipped);
    } else {
      out.insert("userFileError", QStringLiteral("无法读取自定义电台列表"));
    }
  }
  out.insert("stations", stations);
  return out;
}

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
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  }
}

void TDirectoryServer::OnReadyRead(QTcpSocket* socket)
{
  if (socket->property("answered").toBool()) {
    socket->readAll();
    return;
  }
  QByteArray head = socket->property("head").toByteArray() + socket->readAll();
  const qsizetype end = head.indexOf("\r\n\r\n");
  if (end < 0) {
    if (head.size() > kMaxRequestHead) Respond(socket, 431, "text/plain", "request too large\n", false);
    else socket->setProperty("head", head);
    return;
  }
  const QList<QByteArray> requestLine = head.left(head.indexOf("\r\n")).split(' ');
  if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
    Respond(socket, 400, "text/plain", "bad request\n", false);
    return;
  }
  const QByteArray method = requestLine[0];
  const bool isHead = method == "HEAD";
  if (method != "GET" && !isHead) {
    Respond(socket, 405, "text/plain", "method not allowed\n", false);
    return;
  }
  const QUrl url = QUrl::fromEncoded(requestLine[1]);
  QString path = url.path();
  const QString base = StationDirectoryPath();  // "/qq/"
  if (path == base.chopped(1)) path = base;
  if (!path.startsWith(base)) {
    Respond(socket, 404, "text/plain", "not found\n", isHead);
    return;
  }
  QString name = path.mid(base.size());
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

void TDirectoryServer::Respond(QTcpSocket* socket, int status, const QByteArray& contentType, const QByteArray& body,
                               bool head)
{
  socket->setProperty("answered", true);
  QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
  out += "Content-Type: " + contentType + "\r\n";
  out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
  out += "Cache-Control: no-cache\r\nConnection: close\r\n\r\n";
  if (!head) out += body;
  socket->write(out);
  socket->disconnectFromHost();
}

QUrl StationDirectoryUrl()
{
  QUrl url = TDirectoryServer::Instance()->BaseUrl();
  url.setPath(StationDirectoryPath());
  url.setQuery(StationDirectoryQuery());
  return url;
}
