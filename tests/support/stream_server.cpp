#include "support/stream_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

struct TStreamServer::TClient : QObject {
  QString Path;
  TRoute Route;
  bool Icy = false;
  qint64 Sent = 0;          // stream bytes sent (metadata not counted)
  qint64 Position = 0;      // in the route's data
  int Block = 0;
  QElapsedTimer Since;
  QTimer Tick;
};

TStreamServer::TStreamServer(QObject* parent) : QObject(parent), server_(new QTcpServer(this))
{
  server_->listen(QHostAddress::LocalHost, 0);
  clock_.start();
  connect(server_, &QTcpServer::newConnection, this, &TStreamServer::OnConnection);
}

TStreamServer::~TStreamServer() = default;

QString TStreamServer::Url(const QString& path) const
{
  return QStringLiteral("http://127.0.0.1:%1%2").arg(server_->serverPort()).arg(path);
}

int TStreamServer::Requests(const QString& path) const
{
  auto it = requests_.find(path);
  return it == requests_.end() ? 0 : it->second;
}

QByteArray TStreamServer::IcyBlock(const QByteArray& text)
{
  QByteArray meta = "StreamTitle='" + text + "';";
  const int blocks = int((meta.size() + 15) / 16);
  meta.append(QByteArray(blocks * 16 - meta.size(), '\0'));
  return char(blocks) + meta;
}

void TStreamServer::OnConnection()
{
  while (QTcpSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto* head = new QByteArray;
    connect(socket, &QObject::destroyed, [head] { delete head; });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, head] {
      if (head->endsWith("\r\n\r\n")) return (void)socket->readAll();
      *head += socket->readAll();
      if (head->contains("\r\n\r\n")) {
        head->truncate(head->indexOf("\r\n\r\n") + 4);
        const QString path = QUrl(QString::fromUtf8(head->split(' ').value(1))).path();
        auto it = routes_.find(path);
        const int delay = it == routes_.end() ? 0 : it->second.AnswerAfterMs;
        if (delay > 0) QTimer::singleShot(delay, socket, [this, socket, head] { Serve(socket, *head); });
        else Serve(socket, *head);
      }
    });
  }
}

void TStreamServer::Serve(QTcpSocket* socket, const QByteArray& head)
{
  const QList<QByteArray> line = head.left(head.indexOf("\r\n")).split(' ');
  const QString path = line.size() > 1 ? QUrl(QString::fromUtf8(line[1])).path() : QString();
  ++requests_[path];
  auto it = routes_.find(path);
  if (it == routes_.end()) {
    socket->write("HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n\r\nnot found\n");
    socket->disconnectFromHost();
    return;
  }
  const TRoute& route = it->second;
  if (route.Silent) return;
  if (downUntil_[path] > clock_.elapsed()) {
    socket->abort();
    return;
  }
  QByteArray answer = "HTTP/1.0 " + QByteArray::number(route.Status) + (route.Status == 200 ? " OK" : " Moved") + "\r\n";
  if (!route.Location.isEmpty()) answer += "Location: " + route.Location + "\r\n";
  answer += "Content-Type: " + route.ContentType + "\r\n";
  const bool stream = route.BytesPerSecond > 0;
  const bool icy = stream && route.MetaInterval > 0 && head.toLower().contains("icy-metadata: 1");
  if (icy) answer += "icy-metaint: " + QByteArray::number(route.MetaInterval) + "\r\nicy-name: test\r\n";
  if (!stream) answer += "Content-Length: " + QByteArray::number(route.Body.size()) + "\r\n";
  socket->write(answer + "\r\n");
  if (!stream) {
    socket->write(route.Body);
    socket->disconnectFromHost();
    return;
  }
  auto* client = new TClient;
  client->setParent(socket);
  client->Path = path;
  client->Route = route;
  client->Icy = icy;
  client->Since.start();
  connect(&client->Tick, &QTimer::timeout, socket, [this, socket, client] { Pump(socket, client); });
  client->Tick.start(50);
  Pump(socket, client);
}

void TStreamServer::Pump(QTcpSocket* socket, TClient* client)
{
  const TRoute& route = client->Route;
  const qint64 ms = client->Since.elapsed();
  if (route.DropAfterMs > 0 && ms >= route.DropAfterMs) {
    downUntil_[client->Path] = clock_.elapsed() + route.DownForMs;
    client->Tick.stop();
    socket->abort();
    return;
  }
  const qint64 due = qint64(route.BytesPerSecond) * (ms + 2000) / 1000;
  QByteArray out;
  while (client->Sent < due) {
    if (client->Position >= route.Body.size()) {
      if (!route.Loop) {
        client->Tick.stop();
        socket->write(out);
        socket->disconnectFromHost();
        return;
      }
      client->Position = 0;
    }
    qint64 n = qMin(due - client->Sent, route.Body.size() - client->Position);
    if (client->Icy) n = qMin(n, route.MetaInterval - client->Sent % route.MetaInterval);
    out += route.Body.mid(client->Position, n);
    client->Position += n;
    client->Sent += n;
    if (client->Icy && client->Sent % route.MetaInterval == 0) {
      const int block = client->Block++;
      if (route.MetaBlock) {
        out += route.MetaBlock(block);
      } else {
        const int n = route.Titles.isEmpty() ? 0 : int(client->Since.elapsed() / route.TitleMs) % route.Titles.size();
        out += route.Titles.isEmpty() ? QByteArray(1, '\0') : IcyBlock(route.Titles[n].toUtf8());
      }
    }
  }
  socket->write(out);
}
