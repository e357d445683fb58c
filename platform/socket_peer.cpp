#include "platform/socket_peer.h"

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#include <cstring>

namespace {
// Fills one end of a diagnostics socket id; false for an address of another family.
bool PutAddress(const QHostAddress& address, int family, __be32 (&out)[4])
{
  if (family == AF_INET) {
    bool ok = false;
    const quint32 v4 = address.toIPv4Address(&ok);
    if (!ok) return false;
    out[0] = htonl(v4);
    return true;
  }
  const Q_IPV6ADDR v6 = address.toIPv6Address();
  std::memcpy(out, v6.c, sizeof v6.c);
  return true;
}
} // namespace

std::optional<uint> LocalPeerUser(const QHostAddress& peer, quint16 peerPort, const QHostAddress& self, quint16 selfPort)
{
  const int family = peer.protocol() == QAbstractSocket::IPv4Protocol ? AF_INET : AF_INET6;
  struct {
    nlmsghdr Header;
    inet_diag_req_v2 Request;
  } message{};
  message.Header.nlmsg_len = sizeof message;
  message.Header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.Header.nlmsg_flags = NLM_F_REQUEST;
  message.Request.sdiag_family = quint8(family);
  message.Request.sdiag_protocol = IPPROTO_TCP;
  message.Request.idiag_states = ~0u;
  // The connecting socket: its own end is the peer, its far end us.
  message.Request.id.idiag_sport = htons(peerPort);
  message.Request.id.idiag_dport = htons(selfPort);
  if (!PutAddress(peer, family, message.Request.id.idiag_src) || !PutAddress(self, family, message.Request.id.idiag_dst))
    return std::nullopt;
  message.Request.id.idiag_cookie[0] = message.Request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;

  const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
  if (fd < 0) return std::nullopt;
  const timeval wait{0, 200 * 1000};  // the kernel answers at once; never hang the caller
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  std::optional<uint> user;
  if (::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) == ssize_t(sizeof message)) {
    alignas(nlmsghdr) char answer[4096];
    const ssize_t n = ::recv(fd, answer, sizeof answer, 0);
    int left = int(n);
    for (auto* h = reinterpret_cast<nlmsghdr*>(answer); n > 0 && NLMSG_OK(h, left); h = NLMSG_NEXT(h, left)) {
      if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) break;
      user = static_cast<const inet_diag_msg*>(NLMSG_DATA(h))->idiag_uid;
      break;
    }
  }
  ::close(fd);
  return user;
}
