// One running program per user: a second start hands over to the first
// (which brings its window to the front) and ends. The meeting point is a
// local socket in the user's runtime folder.
//
// The listening socket is our own rather than QLocalServer's: QLocalServer
// closes and deletes its socket on the first failed accept (no descriptors
// left), after which every start would run a program of its own. Here a
// failed accept is tried again shortly, at most `maxConnections` are served
// at once, and a connection that says nothing within `idleMs` is closed.
#pragma once

#include <QObject>
#include <functional>

class QLocalSocket;
class QSocketNotifier;
class QTimer;

class TSingleInstance : public QObject {
public:
  struct TLimits {
    int MaxConnections = 8;
    int IdleMs = 2000;
  };
  explicit TSingleInstance(QString name = DefaultName(), QObject* parent = nullptr);
  TSingleInstance(QString name, TLimits limits, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // True when a running program took the request to come forward.
  bool AskRunningInstance(int timeoutMs = 2000) const;
  // Listens for later starts; `onRequest` runs on the UI thread for each.
  // False when the socket cannot be made (the program then runs alone).
  bool Listen(std::function<void()> onRequest);
  // Connections being served now.
  int ConnectionCount() const { return connections_; }

  // <runtime folder>/velmora.instance
  static QString DefaultName();

private:
  bool Bind();
  void AcceptPending();
  void Serve(QLocalSocket* socket);
  void Drop(QLocalSocket* socket);

  QString name_;
  TLimits limits_;
  int listenFd_ = -1;
  quint64 socketInode_ = 0;  // the socket file we made: removed at the end only if still ours
  QSocketNotifier* notifier_ = nullptr;
  QTimer* retry_ = nullptr;
  int connections_ = 0;
  std::function<void()> onRequest_;
};
