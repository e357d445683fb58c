#include "app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
const QByteArray kRequest = QByteArrayLiteral("show\n");
}

TSingleInstance::TSingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

QString TSingleInstance::DefaultName()
{
  return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).filePath(QStringLiteral("velmora.instance"));
}

bool TSingleInstance::AskRunningInstance(int timeoutMs) const
{
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeoutMs)) return false;
  socket.write(kRequest);
  if (!socket.waitForBytesWritten(timeoutMs)) return false;
  // The running program answers once it has taken the request.
  return socket.waitForReadyRead(timeoutMs) && socket.readAll().startsWith("ok");
}

bool TSingleInstance::Listen(std::function<void()> onRequest)
{
  onRequest_ = std::move(onRequest);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_->listen(name_)) {
    // A socket left by a program that died: nothing answers on it any more.
    QLocalServer::removeServer(name_);
    if (!server_->listen(name_)) return false;
  }
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        if (!socket->readAll().startsWith(kRequest.trimmed())) return;
        socket->write("ok\n");
        socket->flush();
        if (onRequest_) onRequest_();
      });
    }
  });
  return true;
}
