#include "platform/local_socket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

bool LocalSocketAddress(const QByteArray& path, sockaddr_un& address)
{
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
  return true;
}

bool LocalSocketListens(const QByteArray& path)
{
  sockaddr_un address;
  if (!LocalSocketAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  const int err = errno;
  ::close(fd);
  return rc == 0 || err == EAGAIN;
}
