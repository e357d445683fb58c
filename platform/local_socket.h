// Local (Unix) stream sockets named by a path: the program's own
// single-instance socket, and the sockets of the desktop's servers.
#pragma once

#include <QByteArray>
#include <sys/un.h>

// The address of the socket at `path`; false when the path is empty or too long.
bool LocalSocketAddress(const QByteArray& path, sockaddr_un& address);
// Whether a program listens at `path` (one with a full queue counts); false
// for a socket left behind by a program that died, or no socket at all.
bool LocalSocketListens(const QByteArray& path);
