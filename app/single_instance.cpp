#include "app/single_instance.h"

#include "platform/local_socket.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
const QByteArray kRequest = QByteArrayLiteral("show\n");
// A failed accept (no descriptors left) is tried again after this long.
constexpr int kAcceptRetryMs = 200;
const char* const kDropped = "velmoraDropped";

quint64 FileInode(const QByteArray& path)
{
  struct stat st {};
  return ::lstat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode) ? quint64(st.st_ino) : 0;
}
} // namespace

TSingleInstance::TSingleInstance(QString name, QObject* parent) : TSingleInstance(std::move(name), TLimits{}, parent) {}

TSingleInstance::TSingleInstance(QString name, TLimits limits, QObject* parent)
    : QObject(parent), name_(std::move(name)), limits_(limits)
{
}

TSingleInstance::~TSingleInstance()
{
  if (listenFd_ < 0) return;
  delete notifier_;
  ::close(listenFd_);
  // Removed only when the file is still the one we made: a later program may own the name now.
  const QByteArray path = QFile::encodeName(name_);
  if (socketInode_ != 0 && FileInode(path) == socketInode_) ::unlink(path.constData());
}

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

bool TSingleInstance::Bind()
{
  const QByteArray path = QFile::encodeName(name_);
  sockaddr_un address;
  if (!LocalSocketAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const auto bindPrivately = [&] {
    // Only the user may connect; the mode comes from the umask at bind time.
    const mode_t old = ::umask(077);
    const int rc = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(old);
    return rc == 0;
  };
  bool bound = bindPrivately();
  if (!bound && errno == EADDRINUSE && !LocalSocketListens(path)) {
    // A socket left by a program that died: nothing answers on it any more.
    ::unlink(path.constData());
    bound = bindPrivately();
  }
  if (!bound || ::listen(fd, 16) != 0) {
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  socketInode_ = FileInode(path);
  return true;
}

bool TSingleInstance::Listen(std::function<void()> onRequest)
{
  onRequest_ = std::move(onRequest);
  if (listenFd_ >= 0) return true;
  if (!Bind()) return false;
  notifier_ = new QSocketNotifier(qintptr(listenFd_), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { AcceptPending(); });
  retry_ = new QTimer(this);
  retry_->setSingleShot(true);
  retry_->setInterval(kAcceptRetryMs);
  connect(retry_, &QTimer::timeout, this, [this] { AcceptPending(); });
  return true;
}

void TSingleInstance::AcceptPending()
{
  while (connections_ < limits_.MaxConnections) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        notifier_->setEnabled(true);
        return;
      }
      // Out of descriptors, or memory: the socket stays, the caller waits in
      // the backlog and is taken a moment later.
      notifier_->setEnabled(false);
      retry_->start();
      return;
    }
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(fd, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
      ::close(fd);
      delete socket;
      continue;
    }
    ++connections_;
    Serve(socket);
  }
  // Full: the rest wait in the backlog until a connection ends.
  notifier_->setEnabled(false);
}

void TSingleInstance::Serve(QLocalSocket* socket)
{
  connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Drop(socket); });
  connect(socket, &QLocalSocket::errorOccurred, this, [this, socket] { Drop(socket); });
  // A connection that says nothing in time holds a place (and a descriptor) for nothing.
  QTimer::singleShot(limits_.IdleMs, socket, [this, socket] { Drop(socket); });
  const auto take = [this, socket] {
    if (socket->property(kDropped).toBool()) return;
    if (!socket->canReadLine()) {
      if (socket->bytesAvailable() > kRequest.size()) Drop(socket);
      return;
    }
    const bool asked = socket->readLine(64) == kRequest;
    if (asked) {
      socket->write("ok\n");
      socket->flush();
    }
    Drop(socket);
    if (asked && onRequest_) onRequest_();
  };
  connect(socket, &QLocalSocket::readyRead, this, take);
  if (socket->bytesAvailable() > 0) take();
}

void TSingleInstance::Drop(QLocalSocket* socket)
{
  if (socket->property(kDropped).toBool()) return;
  socket->setProperty(kDropped, true);
  --connections_;
  socket->disconnect(this);
  // The answer written just before still goes out: close, not abort.
  socket->disconnectFromServer();
  socket->deleteLater();
  if (!retry_->isActive()) AcceptPending();
}
