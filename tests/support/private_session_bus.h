// A D-Bus daemon of the test's own, and a notification service the test
// plays on it: desktop services are tested against these, never the
// machine's buses.
#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

class TPrivateSessionBus {
public:
  // Starts the daemon; false when there is none (scripts/setup installs it).
  bool Start();
  ~TPrivateSessionBus();
  QString Address() const { return address_; }

private:
  QProcess bus_;
  QString address_;
};

// org.freedesktop.Notifications; each notification as "app|summary|body".
class TFakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
  uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
              const QVariantMap&, int);

public:
  ~TFakeNotifications() override;
  // Registers the service on the bus at `address`.
  bool Register(const QString& address);
  QStringList shown;
};
