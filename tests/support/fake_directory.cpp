#include "support/fake_directory.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {
// Reads a request head, then calls `answer` once.
void OnRequest(QTcpServer& server, QObject* context, std::function<void(QTcpSocket*, QByteArray)> answer)
{
  QObject::connect(&server, &QTcpServer::newConnection, context, [&server, answer] {
    while (QTcpSocket* s = server.nextPendingConnection()) {
      QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
      QObject::connect(s, &QTcpSocket::readyRead, s, [s, answer] {
        QByteArray head = s->property("head").toByteArray() + s->readAll();
        s->setProperty("head", head);
        if (!head.contains("\r\n\r\n") || s->property("done").toBool()) return;
        s->setProperty("done", true);
        answer(s, head);
      });
    }
  });
}

void Send(QTcpSocket* s, int status, const QByteArray& type, const QByteArray& body)
{
  s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
  s->disconnectFromHost();
}
} // namespace

TFakeDirectory::TFakeDirectory()
{
  server_.listen(QHostAddress::LocalHost, 0);
  OnRequest(server_, this, [this](QTcpSocket* s, QByteArray head) {
    if (delayMs > 0) QTimer::singleShot(delayMs, s, [this, s, head] { Answer(s, head); });
    else Answer(s, head);
  });
}

QUrl TFakeDirectory::BaseUrl() const { return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort())); }

QJsonObject TFakeDirectory::Station(int i, const QString& name, const QString& url)
{
  return QJsonObject{{"stationuuid", QStringLiteral("9617a958-0601-11e8-ae97-52543be0%1").arg(i, 4, 10, QChar('0'))},
                     {"name", name},
                     {"url", url},
                     {"url_resolved", url},
                     {"homepage", "http://example.org/"},
                     {"favicon", ""},
                     {"tags", i % 2 ? "news,talk" : "music,pop"},
                     {"country", "China"},
                     {"countrycode", "CN"},
                     {"language", "chinese"},
                     {"codec", "MP3"},
                     {"bitrate", 128},
                     {"votes", i},
                     {"clickcount", 100000 - i},
                     {"lastcheckok", 1}};
}

void TFakeDirectory::Fill(int count)
{
  for (int i = 0; i < count; ++i) {
    QJsonObject s = Station(i, QStringLiteral("电台 %1").arg(i), QStringLiteral("http://127.0.0.1:9/s%1.mp3").arg(i));
    if (i % 5 == 4) s["language"] = "english";
    stations.append(s);
  }
}

QByteArray TFakeDirectory::Search(const QUrlQuery& q) const
{
  std::vector<QJsonObject> hits;
  auto contains = [](const QJsonObject& o, const char* field, const QString& text) {
    return o.value(QLatin1String(field)).toString().contains(text, Qt::CaseInsensitive);
  };
  for (const QJsonValue& v : stations) {
    const QJsonObject o = v.toObject();
    if (q.hasQueryItem("name") && !contains(o, "name", q.queryItemValue("name", QUrl::FullyDecoded))) continue;
    if (q.hasQueryItem("tag") && !contains(o, "tags", q.queryItemValue("tag", QUrl::FullyDecoded))) continue;
    if (q.hasQueryItem("language") && !contains(o, "language", q.queryItemValue("language", QUrl::FullyDecoded))) continue;
    if (q.hasQueryItem("country") && !contains(o, "country", q.queryItemValue("country", QUrl::FullyDecoded))) continue;
    if (q.hasQueryItem("countrycode") && o.value("countrycode").toString() != q.queryItemValue("countrycode")) continue;
    if (q.queryItemValue("hidebroken") == "true" && o.value("lastcheckok").toInt(1) == 0) continue;
    hits.push_back(o);
  }
  if (q.queryItemValue("order") == "clickcount")
    std::stable_sort(hits.begin(), hits.end(), [&](const QJsonObject& a, const QJsonObject& b) {
      const bool up = a.value("clickcount").toInt() < b.value("clickcount").toInt();
      const bool down = a.value("clickcount").toInt() > b.value("clickcount").toInt();
      return q.queryItemValue("reverse") == "true" ? down : up;
    });
  const int offset = q.queryItemValue("offset").toInt();
  const int limit = q.hasQueryItem("limit") ? q.queryItemValue("limit").toInt() : 100000;
  QJsonArray out;
  for (int i = offset; i < int(hits.size()) && out.size() < limit; ++i) out.append(hits[i]);
  return QJsonDocument(out).toJson(QJsonDocument::Compact);
}

void TFakeDirectory::Answer(QTcpSocket* s, const QByteArray& head)
{
  const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
  const QUrl url = QUrl::fromEncoded(line.value(1));
  TRequest r{url.path(), QUrlQuery(url), {}};
  for (const QByteArray& h : head.split('\n'))
    if (h.toLower().startsWith("user-agent:")) r.UserAgent = h.mid(11).trimmed();
  requests.push_back(r);
  switch (mode) {
  case fmSilent: return;
  case fmHttpError: return Send(s, 503, "text/plain", "overloaded");
  case fmMalformed: return Send(s, 200, "application/json", "[{\"name\": \"cut off");
  case fmHuge: return Send(s, 200, "application/json", "[" + QByteArray(4 * 1024 * 1024, ' ') + "]");
  case fmRaw: return Send(s, 200, "application/json", raw);
  case fmRedirect: {
    QUrl to = redirectTo;
    to.setPath(url.path());
    to.setQuery(url.query());
    s->write("HTTP/1.1 302 Found\r\nLocation: " + to.toEncoded() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return s->disconnectFromHost();
  }
  case fmNormal: break;
  }
  if (r.Path == "/json/stations/search") return Send(s, 200, "application/json", Search(r.Query));
  if (r.Path.startsWith("/json/url/")) {
    clicks.push_back(r.Path.mid(10));
    return Send(s, 200, "application/json", "{\"ok\":true}");
  }
  Send(s, 404, "text/plain", "no");
}

TTestHttpServer::TTestHttpServer()
{
  server_.listen(QHostAddress::LocalHost, 0);
  OnRequest(server_, this, [this](QTcpSocket* s, QByteArray head) {
    const QString path = QUrl::fromEncoded(head.left(head.indexOf("\r\n")).split(' ').value(1)).path();
    ++hits_[path];
    const auto it = replies_.find(path);
    if (it == replies_.end()) return Send(s, 404, "text/plain", "not found");
    Send(s, it->second.Status, it->second.ContentType, it->second.Body);
  });
}

QString TTestHttpServer::Url(const QString& path) const
{
  return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
}

int TTestHttpServer::Hits(const QString& path) const
{
  const auto it = hits_.find(path);
  return it == hits_.end() ? 0 : it->second;
}

QByteArray MakeToneMp3(const QString& folder)
{
  const QString wav = folder + "/tone.wav", mp3 = folder + "/tone.mp3";
  QFile f(wav);
  if (!f.open(QIODevice::WriteOnly)) return {};
  const int rate = 44100, seconds = 2, samples = rate * seconds;
  QByteArray pcm(samples * 2, '\0');
  for (int i = 0; i < samples; ++i) {
    const qint16 v = qint16(8000 * std::sin(2 * M_PI * 440 * i / rate));
    pcm[2 * i] = char(v & 0xFF);
    pcm[2 * i + 1] = char((v >> 8) & 0xFF);
  }
  auto le32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
  auto le16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
  f.write("RIFF" + le32(36 + pcm.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(1) + le32(rate) + le32(rate * 2) +
          le16(2) + le16(16) + "data" + le32(pcm.size()) + pcm);
  f.close();
  QProcess::execute("lame", {"--quiet", "-b", "64", wav, mp3});
  QFile out(mp3);
  if (!out.open(QIODevice::ReadOnly)) return {};
  return out.readAll();
}
