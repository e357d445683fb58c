// The single-instance socket under connections that say nothing: the socket
// stays when descriptors run out, idle connections are closed and only a few
// are served at once, and a later start is still answered.
#include "app/single_instance.h"
#include "support/pump.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {

// Connects an existing socket; false (and the socket closed) when refused.
bool Connect(int fd, const QString& path)
{
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray name = QFile::encodeName(path);
  std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return true;
  ::close(fd);
  return false;
}

// An idle client: connected (or waiting in the backlog) and silent.
int ConnectIdle(const QString& path)
{
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  return Connect(fd, path) ? fd : -1;
}

// The server closed this client's connection.
bool ClosedByServer(int fd)
{
  char c;
  return ::recv(fd, &c, 1, MSG_DONTWAIT) == 0;
}

// A second start, asking on the event loop the server runs on.
bool AskedAndAnswered(const QString& path)
{
  QLocalSocket socket;
  socket.connectToServer(path);
  if (!PumpUntil([&] { return socket.state() == QLocalSocket::ConnectedState; }, 5000)) return false;
  socket.write("show\n");
  return PumpUntil([&] { return socket.bytesAvailable() > 0; }, 5000) && socket.readAll() == "ok\n";
}

class SingleInstanceTest : public ::testing::Test {
protected:
  void TearDown() override
  {
    for (int fd : clients) ::close(fd);
  }
  QTemporaryDir dir;
  QString path = dir.filePath("velmora.instance");
  std::vector<int> clients;
  int requests = 0;
};

TEST_F(SingleInstanceTest, RunningOutOfDescriptorsNeverLosesTheSocket)
{
  TSingleInstance instance(path, {1000, 60000});
  ASSERT_TRUE(instance.Listen([this] { ++requests; }));
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  {
    // The clients' sockets exist before the limit drops, so only the server's
    // accept competes for the few descriptors left.
    std::vector<int> sockets;
    for (int i = 0; i < 40; ++i) sockets.push_back(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    ASSERT_TRUE(std::none_of(sockets.begin(), sockets.end(), [](int fd) { return fd < 0; }));
    // Counted, not the highest number: one inherited high up (a shell's 255)
    // would leave hundreds free.
    const qsizetype open = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System).size();
    rlimit low = old;
    low.rlim_cur = rlim_t(open + 5);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    for (int fd : sockets) {
      if (Connect(fd, path)) clients.push_back(fd);
      QCoreApplication::processEvents();
    }
    setrlimit(RLIMIT_NOFILE, &old);
  }
  EXPECT_LT(instance.ConnectionCount(), int(clients.size())) << "some waited for a descriptor";
  EXPECT_TRUE(QFileInfo::exists(path)) << "the socket was deleted";
  for (int fd : clients) ::close(fd);
  clients.clear();
  EXPECT_TRUE(AskedAndAnswered(path));
  EXPECT_EQ(requests, 1);
}

TEST_F(SingleInstanceTest, IdleConnectionsAreClosedAndOnlyAFewServedAtOnce)
{
  TSingleInstance instance(path, {3, 100});
  ASSERT_TRUE(instance.Listen([this] { ++requests; }));
  for (int i = 0; i < 6; ++i) clients.push_back(ConnectIdle(path));
  int most = 0;
  EXPECT_TRUE(PumpUntil([&] {
    most = std::max(most, instance.ConnectionCount());
    return std::all_of(clients.begin(), clients.end(), ClosedByServer);
  }, 10000)) << "idle connections stay open";
  EXPECT_EQ(most, 3);
  EXPECT_TRUE(AskedAndAnswered(path));
  EXPECT_EQ(requests, 1);
  EXPECT_TRUE(PumpUntil([&] { return instance.ConnectionCount() == 0; }, 5000));
}

} // namespace
