#include "support/private_session_bus.h"

#include <QDBusConnection>

bool TPrivateSessionBus::Start()
{
  bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
  if (!bus_.waitForStarted() || !bus_.waitForReadyRead(10000)) return false;
  address_ = QString::fromUtf8(bus_.readLine()).trimmed();
  return !address_.isEmpty();
}

TPrivateSessionBus::~TPrivateSessionBus()
{
  bus_.kill();
  bus_.waitForFinished();
}

uint TFakeNotifications::Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                                const QStringList&, const QVariantMap&, int)
{
  shown << app + u'|' + summary + u'|' + body;
  return uint(shown.size());
}

TFakeNotifications::~TFakeNotifications() { QDBusConnection::disconnectFromBus("fake-notifications"); }

bool TFakeNotifications::Register(const QString& address)
{
  QDBusConnection service = QDBusConnection::connectToBus(address, "fake-notifications");
  return service.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots) &&
         service.registerService("org.freedesktop.Notifications");
}
