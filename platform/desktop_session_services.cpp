#include "platform/desktop_session_services.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusUnixFileDescriptor>
#include <QVariantMap>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");
const QString kLogin = QStringLiteral("org.freedesktop.login1");
} // namespace

bool SendDesktopNotification(const QString& title, const QString& text, const QString& icon, const QString& busAddress)
{
  QDBusConnection bus = busAddress.isEmpty() ? QDBusConnection::sessionBus()
                                             : QDBusConnection::connectToBus(busAddress, QStringLiteral("velmora-notify"));
  if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kNotifications).value()) return false;
  QDBusMessage m = QDBusMessage::createMethodCall(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                                                  kNotifications, QStringLiteral("Notify"));
  m << QStringLiteral("Velmora") << quint32(0) << icon << title << text << QStringList() << QVariantMap() << qint32(-1);
  // Not waited for: a slow notification daemon never holds the program up.
  return bus.send(m);
}

TSleepInhibitor::~TSleepInhibitor()
{
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<TSleepInhibitor> TSleepInhibitor::Acquire(const QString& who, const QString& why, QString* error,
                                                          const QString& busAddress)
{
  QDBusConnection bus = busAddress.isEmpty() ? QDBusConnection::systemBus()
                                             : QDBusConnection::connectToBus(busAddress, QStringLiteral("velmora-inhibit"));
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return std::unique_ptr<TSleepInhibitor>();
  };
  if (!bus.isConnected()) return fail(QString::fromUtf8("没有系统总线"));
  if (!bus.interface() || !bus.interface()->isServiceRegistered(kLogin).value()) return fail(QString::fromUtf8("系统总线上没有 logind"));
  QDBusMessage m = QDBusMessage::createMethodCall(kLogin, QStringLiteral("/org/freedesktop/login1"),
                                                  QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
  m << QStringLiteral("sleep") << who << why << QStringLiteral("block");
  const QDBusReply<QDBusUnixFileDescriptor> reply = bus.call(m, QDBus::Block, 5000);
  if (!reply.isValid()) return fail(reply.error().message());
  // The reply's descriptor closes with it: keep a copy of our own.
  const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) return fail(QString::fromUtf8("logind 没有给出文件描述符"));
  return std::unique_ptr<TSleepInhibitor>(new TSleepInhibitor(fd));
}
