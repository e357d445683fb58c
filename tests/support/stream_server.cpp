#include "support/stream_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

struct TStreamServer::TClient : QObject {
  QString path;
  TRoute route;
  bool icy = false;
  qint64 sent = 0;          // stream bytes sent (metadata not counted)
  qint64 position = 0;      // in the route's data
  int block = 0;
  QElapsedTimer since;
  QTimer tick;
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
        const int delay = it == routes_.end() ? 0 : it->second.answerAfterMs;
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
  if (route.silent) return;
  if (downUntil_[path] > clock_.elapsed()) {
    socket->abort();
    return;
  }
  QByteArray answer = "HTTP/1.0 " + QByteArray::number(route.status) + (route.status == 200 ? " OK" : " Moved") + "\r\n";
  if (!route.location.isEmpty()) answer += "Location: " + route.location + "\r\n";
  answer += "Content-Type: " + route.contentType + "\r\n";
  const bool stream = route.bytesPerSecond > 0;
  const bool icy = stream && route.metaInterval > 0 && head.toLower().contains("icy-metadata: 1");
  if (icy) answer += "icy-metaint: " + QByteArray::number(route.metaInterval) + "\r\nicy-name: test\r\n";
  if (!stream) answer += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
  socket->write(answer + "\r\n");
  if (!stream) {
    socket->write(route.body);
    socket->disconnectFromHost();
    return;
  }
  auto* client = new TClient;
  client->setParent(socket);
  client->path = path;
  client->route = route;
  client->icy = icy;
  client->since.start();
  connect(&client->tick, &QTimer::timeout, socket, [this, socket, client] { Pump(socket, client); });
  client->tick.start(50);
  Pump(socket, client);
}

void TStreamServer::Pump(QTcpSocket* socket, TClient* client)
{
  const TRoute& route = client->route;
  const qint64 ms = client->since.elapsed();
  if (route.dropAfterMs > 0 && ms >= route.dropAfterMs) {
    downUntil_[client->path] = clock_.elapsed() + route.downForMs;
    client->tick.stop();
    socket->abort();
    return;
  }
  const qint64 due = qint64(route.bytesPerSecond) * (ms + 2000) / 1000;
  QByteArray out;
  while (client->sent < due) {
    if (client->position >= route.body.size()) {
      if (!route.loop) {
        client->tick.stop();
        socket->write(out);
        socket->disconnectFromHost();
        return;
      }
      client->position = 0;
    }
    qint64 n = qMin(due - client->sent, route.body.size() - client->position);
    if (client->icy) n = qMin(n, route.metaInterval - client->sent % route.metaInterval);
    out += route.body.mid(client->position, n);
    client->position += n;
    client->sent += n;
    if (client->icy && client->sent % route.metaInterval == 0) {
      const int block = client->block++;
      if (route.metaBlock) {
        out += route.metaBlock(block);
      } else {
        const int n = route.titles.isEmpty() ? 0 : int(client->since.elapsed() / route.titleMs) % route.titles.size();
        out += route.titles.isEmpty() ? QByteArray(1, '\0') : IcyBlock(route.titles[n].toUtf8());
      }
    }
  }
  socket->write(out);
}
