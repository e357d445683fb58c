// Who is at the other end of a TCP connection made on this machine: the
// kernel's socket table knows the user owning the connecting socket, which
// lets a loopback server tell its clients apart (they all come from 127.0.0.1).
#pragma once

#include <QHostAddress>
#include <optional>

// The user id owning the socket at `peer`:`peerPort` that is connected to
// `self`:`selfPort`; nullopt when the kernel does not say (no such socket, no
// socket diagnostics).
std::optional<uint> LocalPeerUser(const QHostAddress& peer, quint16 peerPort, const QHostAddress& self, quint16 selfPort);
