// Desktop notifications and logind's sleep inhibitor over a private bus whose
// services the test plays: the notification arrives with its texts, the
// inhibitor asks for "sleep" and lets go of its descriptor when it goes, and
// without the services both say so.
#include "platform/desktop_session_services.h"
#include "support/private_session_bus.h"
#include "support/pump.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QThread>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

class TFakeLogin : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
public slots:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why, const QString& mode)
  {
    asked = QStringList{what, who, why, mode}.join('|');
    int fds[2];
    if (::pipe(fds) != 0) return {};
    readEnd = fds[0];
    QDBusUnixFileDescriptor handed(fds[1]);  // copies it
    ::close(fds[1]);
    return handed;
  }

public:
  QString asked;
  int readEnd = -1;
};

namespace {

class DesktopServicesTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    if (!bus.Start()) GTEST_SKIP() << "needs dbus-daemon (scripts/setup)";
    address = bus.Address();
  }
  TPrivateSessionBus bus;
  QString address;
};

// The other end of a pipe is closed.
bool HungUp(int fd)
{
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

TEST_F(DesktopServicesTest, NotificationsReachTheServiceOrSayThereIsNone)
{
  EXPECT_FALSE(SendDesktopNotification("t", "x", QString(), address));
  TFakeNotifications fake;
  ASSERT_TRUE(fake.Register(address));
  EXPECT_TRUE(SendDesktopNotification(QString::fromUtf8("预约录音完成"), QString::fromUtf8("甲台 已录好"), "velmora", address));
  ASSERT_TRUE(PumpUntil([&] { return !fake.shown.isEmpty(); }, 5000));
  EXPECT_EQ(fake.shown, QStringList{QString::fromUtf8("Velmora|预约录音完成|甲台 已录好")});
}

TEST_F(DesktopServicesTest, TheSleepInhibitorHoldsLogindsDescriptorWhileItLives)
{
  QString error;
  EXPECT_EQ(TSleepInhibitor::Acquire("Velmora", "why", &error, address), nullptr);
  EXPECT_EQ(error, QString::fromUtf8("系统总线上没有 logind"));
  // The service answers from a thread of its own: the inhibitor waits for it.
  QThread thread;
  thread.start();
  TFakeLogin fake;
  fake.moveToThread(&thread);
  QDBusConnection service = QDBusConnection::connectToBus(address, "fake-login");
  ASSERT_TRUE(service.registerObject("/org/freedesktop/login1", &fake, QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(service.registerService("org.freedesktop.login1"));
  std::unique_ptr<TSleepInhibitor> held =
      TSleepInhibitor::Acquire("Velmora", QString::fromUtf8("正在预约录音：甲台"), &error, address);
  thread.quit();
  thread.wait();
  ASSERT_NE(held, nullptr) << error.toStdString();
  EXPECT_EQ(fake.asked, QString::fromUtf8("sleep|Velmora|正在预约录音：甲台|block"));
  ASSERT_GE(fake.readEnd, 0);
  EXPECT_FALSE(HungUp(fake.readEnd));
  held.reset();
  // The bus's own copies of the reply's descriptor go on its threads, soon after.
  EXPECT_TRUE(PumpUntil([&] { return HungUp(fake.readEnd); }, 3000));
  ::close(fake.readEnd);
}

} // namespace

#include "desktop_services_test.moc"
